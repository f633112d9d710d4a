#include "common/FileExists.h"

#include <QFile>

#include <sys/stat.h>

namespace larkspan {

bool FileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

} // namespace larkspan
