// The shared file test: true exactly when the file system can report on the named file.
#pragma once

#include <QString>

namespace larkspan {
bool FileExists(const QString &path);
}
