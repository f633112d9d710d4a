// The "Application Error" report and the step guard.
#include "common/ErrorReport.h"
#include "support/MessageRecorder.h"

#include <QTest>

using namespace larkspan;
using namespace larkspan::test;

class TestErrorReport : public QObject
{
    Q_OBJECT
private slots:
    void reportText_isBuiltFromItsParts_data();
    void reportText_isBuiltFromItsParts();
    void failingSteps_reportInOrderAndProcedureGoesOn();
    void calleeWithoutReport_isReportedByCaller();
};

void TestErrorReport::reportText_isBuiltFromItsParts_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("firstTwoLines");
    QTest::newRow("line 108 of Save_It")
        << "Permission denied" << 108
        << "Permission denied\r\nin Larkspanapp2021/08/31.Form1.Save_It at line 108";
    QTest::newRow("empty description")
        << "" << 100 << "\r\nin Larkspanapp2021/08/31.Form1.Save_It at line 100";
}

void TestErrorReport::reportText_isBuiltFromItsParts()
{
    QFETCH(QString, description);
    QFETCH(int, line);
    QFETCH(QString, firstTwoLines);
    const QString text = errorReportText(procedureLabel("Form1.Save_It"), description, line);
    QCOMPARE(text, firstTwoLines + "\r\rPlease email screenshot of this message to " + kSupportAddress);
}

void TestErrorReport::failingSteps_reportInOrderAndProcedureGoesOn()
{
    MessageRecorder boxes;
    QStringList ran;
    Procedure p("Form1.Sort_it");
    QVERIFY(!p.step(100, [&] { fail("first"); }));
    QVERIFY(p.step(102, [&] { ran << "102"; }));
    QVERIFY(!p.step(104, [&] { throw std::runtime_error("second"); }));
    QVERIFY(p.step(106, [&] { ran << "106"; }));
    QCOMPARE(ran, QStringList({"102", "106"}));
    QCOMPARE(boxes.boxes().size(), 2);
    QVERIFY(boxes.texts()[0].startsWith("first\r\nin Larkspanapp2021/08/31.Form1.Sort_it at line 100\r\r"));
    QVERIFY(boxes.texts()[1].startsWith("second\r\nin Larkspanapp2021/08/31.Form1.Sort_it at line 104\r\r"));
    for (const MessageBoxRequest &box : boxes.boxes()) {
        QCOMPARE(box.caption, QStringLiteral("Application Error"));
        QCOMPARE(box.icon, QMessageBox::Warning);
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
}

void TestErrorReport::calleeWithoutReport_isReportedByCaller()
{
    MessageRecorder boxes;
    bool reachedEnd = false;
    auto callee = [&] {
        fail("inner");
        reachedEnd = true;
    };
    Procedure outer("Form1.Form_Load");
    outer.step(110, callee);
    QVERIFY(!reachedEnd);
    QCOMPARE(boxes.boxes().size(), 1);
    QVERIFY(boxes.texts()[0].startsWith("inner\r\nin Larkspanapp2021/08/31.Form1.Form_Load at line 110"));
}

QTEST_MAIN(TestErrorReport)
#include "tst_errorreport.moc"
