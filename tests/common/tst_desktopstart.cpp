// Starting on a Linux desktop: the folder a menu start runs in, and Qt's own texts in the user's
// language.
#include "common/DesktopStart.h"
#include "common/MessageBox.h"
#include "common/WindowLook.h"
#include "support/TestFiles.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

using namespace larkspan;

class TestDesktopStart : public QObject
{
    Q_OBJECT

    QTemporaryDir temp;
    QString started; // the current folder the test program was started in

private slots:
    void init()
    {
        started = QDir::currentPath();
        QVERIFY(temp.isValid());
    }

    void cleanup()
    {
        QDir::setCurrent(started);
        qunsetenv("XDG_DATA_HOME");
        setMessageBoxHandler({});
        loadQtTranslations(QLocale::c());
    }

    void startFolder_data()
    {
        QTest::addColumn<bool>("fromMenu");
        QTest::addColumn<QString>("xdgDataHome"); // relative to the temporary folder; "-" unset
        QTest::addColumn<QString>("expected");    // likewise; empty: the current folder
        QTest::addColumn<bool>("fails");

        QTest::newRow("terminal keeps the current folder") << false << "xdg"
                                                           << "" << false;
        QTest::newRow("menu, XDG_DATA_HOME") << true << "xdg"
                                             << "xdg/larkspan-cardindex" << false;
        QTest::newRow("menu, XDG_DATA_HOME unset") << true << "-"
                                                   << "home/.local/share/larkspan-cardindex" << false;
        QTest::newRow("menu, a file in the way") << true << "file"
                                                 << "" << true;
    }

    void startFolder()
    {
        QFETCH(bool, fromMenu);
        QFETCH(QString, xdgDataHome);
        QFETCH(QString, expected);
        QFETCH(bool, fails);
        const QString root = temp.path() + QLatin1Char('/');
        test::writeBytes(root + "file", "not a folder");
        if (xdgDataHome == "-")
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", (root + xdgDataHome).toUtf8());
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", (root + "home").toUtf8());
        const char *argv[] = {"cardindex", fromMenu ? kMenuStartOption : "-style=fusion"};
        const StartFolder folder = enterStartFolder(2, argv);
        qputenv("HOME", home);

        const QString folderNow = QDir::currentPath();
        QDir::setCurrent(started);
        const QString want = expected.isEmpty() ? started : QDir(root + expected).canonicalPath();
        QCOMPARE(folderNow, want);
        QCOMPARE(folder.failure.isEmpty(), !fails);
        QVERIFY(!QFileInfo::exists(root + "xdg") || fromMenu);
        if (!fails)
            return;
        QVERIFY2(folder.failure.contains(root + "file/larkspan-cardindex"), qPrintable(folder.failure));
        // The failure is shown in a box and the program does not go on.
        QList<MessageBoxRequest> boxes;
        setMessageBoxHandler([&](const MessageBoxRequest &box) {
            boxes << box;
            return QMessageBox::Ok;
        });
        QVERIFY(!startOnDesktop(folder, "Larkspan Card Index"));
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, folder.failure);
        QCOMPARE(boxes[0].caption, QStringLiteral("Larkspan Card Index"));
        QCOMPARE(boxes[0].icon, QMessageBox::Critical);
    }

    // The window shows the picture the desktop menu shows, in every size the menu has.
    void windowIcon_isTheInstalledIcon()
    {
        const QIcon icon = appIcon();
        const QDir sizes(QStringLiteral(CARDINDEX_SOURCE_DIR "/assets/icons"));
        const QStringList folders = sizes.entryList({"*x*"}, QDir::Dirs);
        QVERIFY(folders.size() >= 4);
        QCOMPARE(icon.availableSizes().size(), folders.size());
        for (const QString &folder : folders) {
            const QImage installed(sizes.filePath(folder + "/org.larkspan.cardindex.png"));
            QVERIFY2(!installed.isNull(), qPrintable(folder));
            QCOMPARE(
                icon.pixmap(installed.size()).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
                installed.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        }
    }

    void messageBoxButtons_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("yes");
        QTest::addColumn<QString>("no");
        QTest::newRow("German") << "de_DE"
                                << "&Ja"
                                << "&Nein";
        QTest::newRow("French") << "fr_FR"
                                << "&Oui"
                                << "&Non";
        QTest::newRow("C") << "C"
                           << "&Yes"
                           << "&No";
    }

    void messageBoxButtons()
    {
        QFETCH(QString, locale);
        QFETCH(QString, yes);
        QFETCH(QString, no);
        QCOMPARE(loadQtTranslations(QLocale(locale)), locale != "C");
        QMessageBox box(QMessageBox::NoIcon, "Larkspan Card Index", "Are you sure you want to save?",
                        QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.button(QMessageBox::Yes)->text(), yes);
        QCOMPARE(box.button(QMessageBox::No)->text(), no);
        QCOMPARE(box.text(), QStringLiteral("Are you sure you want to save?"));
    }
};

QTEST_MAIN(TestDesktopStart)
#include "tst_desktopstart.moc"
