#include "common/DesktopStart.h"

#include "common/MessageBox.h"

#include <QDir>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QStandardPaths>
#include <QTranslator>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace larkspan {

namespace {

StartFolder failed(const QString &path, const std::error_code &error)
{
    return {path, QStringLiteral("The folder for the phone book, %1, cannot be used: %2.")
                      .arg(QDir::toNativeSeparators(path), QString::fromStdString(error.message()))};
}

} // namespace

StartFolder enterStartFolder(int argc, const char *const *argv)
{
    bool fromMenu = false;
    for (int i = 1; i < argc; ++i)
        fromMenu = fromMenu || std::strcmp(argv[i], kMenuStartOption) == 0;
    if (!fromMenu)
        return {QDir::currentPath(), {}};

    // GenericDataLocation is $XDG_DATA_HOME, or ~/.local/share when that is unset.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return failed(QStringLiteral("~/.local/share/larkspan-cardindex"),
                      std::make_error_code(std::errc::no_such_file_or_directory));
    const QString path = data + QStringLiteral("/larkspan-cardindex");
    const std::filesystem::path folder(path.toStdString());
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!error)
        std::filesystem::current_path(folder, error);
    if (error)
        return failed(path, error);
    return {path, {}};
}

bool loadQtTranslations(const QLocale &locale)
{
    static QTranslator translator; // lives as long as the program
    QCoreApplication::removeTranslator(&translator);
    if (!translator.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&translator);
}

bool startOnDesktop(const StartFolder &folder, const QString &caption)
{
    loadQtTranslations(QLocale::system());
    QGuiApplication::setDesktopFileName(QStringLiteral("org.larkspan.cardindex"));
    if (folder.failure.isEmpty())
        return true;
    std::fprintf(stderr, "%s\n", qPrintable(folder.failure));
    MsgBox(folder.failure, QMessageBox::Ok, QMessageBox::Critical, caption);
    return false;
}

} // namespace larkspan
