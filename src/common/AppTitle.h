// The application title: the caption of every message box that has none of its own.
#pragma once

#include <QString>

namespace larkspan {

// Drops the last word, then keeps dropping words while the text is longer than 40 characters.
QString titleFromProductName(const QString &productName);

// Sets the application title from the product name (the main window's caption).
void SetAppTitle(const QString &productName);
QString appTitle();

} // namespace larkspan
