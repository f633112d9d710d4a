// How the program starts on a Linux desktop: the folder it keeps its phone book in, chosen before
// the full path of "Numbers.dat" is fixed, and Qt's own translations for the user's language.
#pragma once

#include <QLocale>
#include <QString>

namespace larkspan {

// The option the desktop menu entry starts the program with.
inline constexpr char kMenuStartOption[] = "--menu";

struct StartFolder
{
    QString path;    // the folder the program runs in
    QString failure; // why the menu's folder could not be made or entered; empty when it was
};

// Started from the menu (with kMenuStartOption), the program runs in
// ${XDG_DATA_HOME:-$HOME/.local/share}/larkspan-cardindex, made if missing, so that a menu start
// keeps the phone book in one place whatever folder the menu starts programs in. Started any
// other way it keeps the current folder. Needs no QApplication.
StartFolder enterStartFolder(int argc, const char *const *argv);

// Loads Qt's translations of its own texts (the buttons of message boxes) for the locale.
// Returns false when Qt has none for it; the texts then stay in English.
bool loadQtTranslations(const QLocale &locale);

// With the QApplication made: loads Qt's translations for the system's locale, names the menu
// entry the windows belong to, and reports a start folder that failed in a box with the caption.
// Returns false when the program cannot go on.
bool startOnDesktop(const StartFolder &folder, const QString &caption);

} // namespace larkspan
