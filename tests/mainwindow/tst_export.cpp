// "Export All Entries..." of the Entry list's context menu: what the file dialog's type and the
// typed name make of the file, that every entry comes back from it in list order, and that a
// target that cannot be written is reported once and leaves no file.
#include "data/exchange/ContactImport.h"
#include "mainwindow/ExportFlow.h"
#include "support/FormDriver.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QTest>
#include <QTimer>

using namespace larkspan;
using namespace larkspan::test;

namespace {

std::vector<Contact> bookContacts()
{
    Contact awkward = filledContact(QStringLiteral("Ann, \"the\" Second"));
    awkward[Comments] = QStringLiteral("two\nlines; with \\ and ,");
    awkward[Address] = QStringLiteral(" spaced ");
    Contact onlyComments;
    onlyComments[Comments] = QStringLiteral("Note: nothing else");
    return {filledContact(QStringLiteral("Zed")), awkward, onlyComments,
            filledContact(QStringLiteral("Юлия"))};
}

// Opens the list's context menu with the Menu key and picks its one action, with the file dialog
// answering `target`.
void exportAllAs(FormDriver &ui, const ExportTarget &target)
{
    const ExportFileChooser previous =
        setExportFileChooser([&](QWidget *, const QString &) { return target; });
    QTimer::singleShot(0, [] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (menu && !menu->actions().isEmpty())
            menu->actions().first()->trigger();
        if (menu)
            menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5), ui.list().mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(ui.list().viewport(), &event);
    setExportFileChooser(previous);
}

} // namespace

class TestExport : public QObject
{
    Q_OBJECT
private slots:
    void exportAll_writesEveryEntryInListOrder_data();
    void exportAll_writesEveryEntryInListOrder();
    void exportAll_unwritableTarget_reportedOnceAndNoFile();
};

void TestExport::exportAll_writesEveryEntryInListOrder_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("written");
    QTest::newRow("vCard filter") << "out" << kVCardFilter << "out.vcf";
    QTest::newRow("CSV filter") << "out" << kCsvFilter << "out.csv";
    QTest::newRow("typed .csv wins") << "out.CSV" << kVCardFilter << "out.CSV";
    QTest::newRow("typed .vcf wins") << "out.vcf" << kCsvFilter << "out.vcf";
}

void TestExport::exportAll_writesEveryEntryInListOrder()
{
    QFETCH(QString, typed);
    QFETCH(QString, filter);
    QFETCH(QString, written);
    FormDriver ui(bookContacts());
    const QString path = QDir(ui.folder()).filePath(written);
    exportAllAs(ui, {QDir(ui.folder()).filePath(typed), filter});

    QVERIFY2(ui.boxes().texts().isEmpty(), qPrintable(ui.boxes().texts().join(QLatin1Char('\n'))));
    const ContactFile file = readContactFile(path, LegacyCodePage::Windows1252);
    QVERIFY(file.readable);
    QCOMPARE(file.kind,
             written.endsWith(QLatin1String("vcf")) ? ContactFileKind::VCard : ContactFileKind::Csv);
    QCOMPARE(file.found.unreadable, 0);
    std::vector<Contact> listed;
    for (int row = 0; row < ui.book().count(); ++row)
        listed.push_back(ui.book().entry(row).toContact());
    QCOMPARE(file.found.contacts, listed);
}

void TestExport::exportAll_unwritableTarget_reportedOnceAndNoFile()
{
    FormDriver ui(bookContacts());
    const QString notAFolder = QDir(ui.folder()).filePath(QStringLiteral("plain"));
    writeBytes(notAFolder, "x");
    exportAllAs(ui, {notAFolder + QStringLiteral("/book.vcf"), kVCardFilter});

    QCOMPARE(ui.boxes().boxes().size(), 1);
    QVERIFY(ui.boxes().texts().first().contains(QStringLiteral("\"book.vcf\"")));
    QCOMPARE(QDir(ui.folder()).entryList(QDir::Files | QDir::NoDotAndDotDot),
             QStringList({QStringLiteral("Numbers.dat"), QStringLiteral("plain")}));
}

QTEST_MAIN(TestExport)
#include "tst_export.moc"
