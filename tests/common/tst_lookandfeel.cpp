// The shared look of the windows: application title, skin, button-face colouring and the
// hand pointer over push buttons.
#include "addentry/Form2.h"
#include "common/AppTitle.h"
#include "common/FaceColour.h"
#include "common/HoverPointer.h"
#include "common/MessageBox.h"
#include "common/ReadableColours.h"
#include "support/FormDriver.h"

#include <QApplication>
#include <QBuffer>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QScopeGuard>
#include <QStyleOptionGroupBox>
#include <QTest>

using namespace larkspan;
using namespace larkspan::test;

namespace {

QColor background(QWidget *widget)
{
    return widget->palette().color(QPalette::Window);
}

QColor face()
{
    return QApplication::palette().color(QPalette::Active, QPalette::Button);
}

QString sourceFile(const QString &relative)
{
    return QStringLiteral(CARDINDEX_SOURCE_DIR "/") + relative;
}

// Moves the mouse onto `widget` (at `at`, or its centre) the way the window system does.
void moveOnto(QWidget *widget, QPoint at = {-1, -1})
{
    if (at == QPoint(-1, -1))
        at = widget->rect().center();
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

// Puts `kind` at `path`: a regular file of `bytes`, a FIFO whose writer would give them, a link to
// /dev/zero, a dangling link, or nothing.
std::unique_ptr<FifoWithWriter> place(const QString &kind, const QString &path, const QByteArray &bytes)
{
    if (kind == "file")
        writeBytes(path, bytes);
    else if (kind == "FIFO")
        return std::make_unique<FifoWithWriter>(path, bytes);
    else if (kind == "/dev/zero")
        QFile::link("/dev/zero", path);
    else if (kind == "dangling link")
        QFile::link(path + ".gone", path);
    return nullptr;
}

QByteArray redPng()
{
    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    red.save(&buffer, "PNG");
    return png;
}

// The "Add New" button of a window started with a skin that draws it with x/pic.png, put there
// as `kind` (see place()).
QImage buttonWithPicture(const QString &kind)
{
    WorkFolder app;
    QDir(app.path()).mkpath("x");
    writeBytes(app.path("x/o.cjs"), "QPushButton#PushButton2 { border-image: url(pic.png); }");
    const auto fifo = place(kind, app.path("x/pic.png"), redPng());
    MessageRecorder boxes;
    PhoneBook formBook{QLatin1String(kDataFileName)};
    Form1 form(formBook, app.path());
    form.Form_Load();
    form.show();
    if (!boxes.boxes().isEmpty() || !form.isVisible())
        return {};
    return form.findChild<QWidget *>("PushButton2")->grab().toImage();
}

// A dark desktop theme, as many set it: light text on dark window, base and button colours.
QPalette darkPalette()
{
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Base, QColor(0x2a, 0x2a, 0x2a));
    dark.setColor(QPalette::AlternateBase, QColor(0x42, 0x42, 0x42));
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::ButtonText, Qt::white);
    dark.setColor(QPalette::ToolTipBase, Qt::white);
    dark.setColor(QPalette::ToolTipText, Qt::white);
    dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    dark.setColor(QPalette::HighlightedText, Qt::black);
    return dark;
}

// The contrast of the text in `area` of `shot` against what is behind it: the colour most of
// its pixels have is the background, the pixel that stands out most from it is the text.
double textContrast(const QImage &shot, const QRect &area)
{
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[shot.pixel(x, y)];
    QRgb background = 0;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most)
            std::tie(background, most) = std::pair(it.key(), it.value());
    double best = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        best = std::max(best, contrastRatio(QColor(it.key()), QColor(background)));
    return best;
}

// Where each label, frame title, button caption, text box and list of `window` draws its text.
QList<std::pair<QString, QRect>> textAreas(QWidget &window)
{
    QList<std::pair<QString, QRect>> areas;
    const auto add = [&](QWidget *widget, QRect rect) {
        areas.append({widget->objectName(), rect.translated(widget->mapTo(&window, QPoint()))});
    };
    for (QWidget *widget : window.findChildren<QWidget *>()) {
        if (!widget->isVisibleTo(&window))
            continue;
        if (qobject_cast<QLabel *>(widget)) {
            add(widget, widget->rect());
        } else if (auto *frame = qobject_cast<QGroupBox *>(widget)) {
            QStyleOptionGroupBox option;
            option.initFrom(frame);
            option.text = frame->title();
            option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
            add(frame, frame->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel,
                                                      frame));
        } else if (qobject_cast<QPushButton *>(widget) || qobject_cast<QLineEdit *>(widget) ||
                   qobject_cast<QHeaderView *>(widget)) {
            add(widget, widget->rect().adjusted(4, 4, -4, -4));
        } else if (auto *list = qobject_cast<QAbstractItemView *>(widget)) {
            // Row by row: the selected row has a background of its own.
            for (int row = 0; row < list->model()->rowCount(); ++row) {
                const QRect cell = list->visualRect(list->model()->index(row, 0));
                add(list, QRect(0, cell.top(), list->viewport()->width(), cell.height())
                              .translated(list->viewport()->pos()));
            }
        } else if (auto *text = qobject_cast<QPlainTextEdit *>(widget)) {
            add(text->viewport(), text->viewport()->rect());
        }
    }
    return areas;
}

} // namespace

class TestLookAndFeel : public QObject
{
    Q_OBJECT
private slots:
    void appTitle_dropsWords_data();
    void appTitle_dropsWords();
    void messageBoxWithoutCaption_usesAppTitle();

    void noSkin_keepsWhiteLook();
    void skin_appliesFaceColourAndStyleSheet();
    void sampleSkin_drawsTheWindowInItsLook();
    void unusableSkin_neverBreaksTheWindow_data();
    void unusableSkin_neverBreaksTheWindow();
    void setFaceColour_paintsContainersNotInputs();
    void darkTheme_textReadsOnWhatIsBehindIt_data();
    void darkTheme_textReadsOnWhatIsBehindIt();
    void notRegularFiles_countAsAbsent_data();
    void notRegularFiles_countAsAbsent();
    void skinPictures_onlyRegularFilesAreShown_data();
    void skinPictures_onlyRegularFilesAreShown();

    void handCursor_followsButtonsAndResetAreas();
    void withoutCursorFile_pointerStaysDefault();
    void brokenCursorFile_isReportedAndDefaultKept();
};

void TestLookAndFeel::appTitle_dropsWords_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("title");
    QTest::newRow("product name") << "Larkspan Card Index"
                                  << "Larkspan Card";
    QTest::newRow("short name loses its last word") << "alpha beta gamma"
                                                    << "alpha beta";
    QTest::newRow("44 characters, nine words") << "abcd efgh ijkl mnop qrst uvwx yzab cdef ghij"
                                               << "abcd efgh ijkl mnop qrst uvwx yzab cdef";
    QTest::newRow("long name loses words until 40 or fewer")
        << "Larkspan Card Index for the Whole Family and Friends"
        << "Larkspan Card Index for the Whole Family";
    QTest::newRow("two spaces before the last word") << "alpha  beta"
                                                     << "alpha ";
    QTest::newRow("one word is kept") << "Larkspan"
                                      << "Larkspan";
}

void TestLookAndFeel::appTitle_dropsWords()
{
    QFETCH(QString, product);
    QTEST(titleFromProductName(product), "title");
}

void TestLookAndFeel::messageBoxWithoutCaption_usesAppTitle()
{
    FormDriver ui({});
    QCOMPARE(appTitle(), QStringLiteral("Larkspan Card"));
    MsgBox("hello");
    MsgBox("own", QMessageBox::Ok, QMessageBox::NoIcon, "Own caption");
    QCOMPARE(ui.boxes().boxes()[0].caption, QStringLiteral("Larkspan Card"));
    QCOMPARE(ui.boxes().boxes()[1].caption, QStringLiteral("Own caption"));
}

void TestLookAndFeel::noSkin_keepsWhiteLook()
{
    FormDriver ui({});
    QCOMPARE(background(&ui.form()), QColor(Qt::white));
    QCOMPARE(background(ui.form().findChild<QGroupBox *>("Frame1")), QColor(Qt::white));
    QVERIFY(ui.form().styleSheet().isEmpty());
}

void TestLookAndFeel::skin_appliesFaceColourAndStyleSheet()
{
    // A skin that styles only the buttons leaves the face colouring of the window visible.
    WorkFolder app;
    QDir(app.path()).mkpath("x");
    writeBytes(app.path("x/o.cjs"), "QPushButton { border: 2px solid #123456; }");
    MessageRecorder boxes;
    PhoneBook formBook{QLatin1String(kDataFileName)};
    Form1 form(formBook, app.path());
    form.Form_Load();
    form.show();
    QVERIFY(boxes.boxes().isEmpty());
    QCOMPARE(background(&form), face());
    for (const char *name : {"Frame1", "Frame2", "Label9", "Label8", "Label16"})
        QCOMPARE(background(form.findChild<QWidget *>(name)), face());
    QCOMPARE(form.findChild<QWidget *>("lblName")->palette().color(QPalette::Base), QColor(Qt::white));
    QCOMPARE(form.findChild<QWidget *>("PushButton1")->palette().color(QPalette::Button), QColor(Qt::white));
    QVERIFY(form.styleSheet().contains("#123456"));
    QVERIFY(form.findChild<QWidget *>("PushButton1")->style()->inherits("QStyleSheetStyle"));
}

void TestLookAndFeel::sampleSkin_drawsTheWindowInItsLook()
{
    WorkFolder app;
    QDir(app.path()).mkpath("x");
    QVERIFY(QFile::copy(sourceFile("skins/classic-blue.qss"), app.path("x/o.cjs")));
    MessageRecorder boxes;
    PhoneBook formBook{QLatin1String(kDataFileName)};
    Form1 form(formBook, app.path());
    form.Form_Load();
    form.show();
    QVERIFY(boxes.boxes().isEmpty());
    const QImage shot = form.grab().toImage();
    QCOMPARE(shot.pixelColor(2, shot.height() - 2), QColor("#dfe8f5"));
    for (const QLabel *label : form.findChildren<QLabel *>())
        QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->text() + " is cut off"));
}

void TestLookAndFeel::unusableSkin_neverBreaksTheWindow_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("isFolder");
    QTest::addColumn<bool>("faceColour");
    QTest::newRow("a folder named o.cjs") << QByteArray() << true << false;
    QTest::newRow("binary bytes") << QByteArray("\x00\xff\xfe\x01{}\x80", 7) << false << true;
    QTest::newRow("unbalanced braces") << QByteArray("QWidget { color: red; ") << false << true;
    QTest::newRow("empty file") << QByteArray() << false << true;
}

void TestLookAndFeel::unusableSkin_neverBreaksTheWindow()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, isFolder);
    QFETCH(bool, faceColour);
    WorkFolder app;
    QDir(app.path()).mkpath("x");
    if (isFolder)
        QDir(app.path()).mkpath("x/o.cjs");
    else
        writeBytes(app.path("x/o.cjs"), content);
    MessageRecorder boxes;
    PhoneBook formBook{QLatin1String(kDataFileName)};
    Form1 form(formBook, app.path());
    form.Form_Load();
    form.show();
    QVERIFY(boxes.boxes().isEmpty());
    QVERIFY(form.styleSheet().isEmpty());
    QCOMPARE(background(&form), faceColour ? face() : QColor(Qt::white));
    QVERIFY(form.findChild<QWidget *>("PushButton4")->isEnabled());
}

void TestLookAndFeel::setFaceColour_paintsContainersNotInputs()
{
    QWidget window;
    auto *frame = new QGroupBox("frame", &window);
    auto *label = new QLabel("deep label", frame);
    auto *edit = new QLineEdit(frame);
    auto *button = new QPushButton("button", &window);
    const QColor editBase = edit->palette().color(QPalette::Base);
    const QColor buttonFace = button->palette().color(QPalette::Button);
    button->setPalette(QPalette(Qt::white));
    SetFaceColour(window);
    QCOMPARE(background(&window), face());
    QCOMPARE(background(frame), face());
    QCOMPARE(background(label), face());
    QVERIFY(label->autoFillBackground());
    QCOMPARE(edit->palette().color(QPalette::Base), editBase);
    QVERIFY(!edit->autoFillBackground());
    QCOMPARE(button->palette().color(QPalette::Button), QColor(Qt::white));
    Q_UNUSED(buttonFace);
}

void TestLookAndFeel::darkTheme_textReadsOnWhatIsBehindIt_data()
{
    QTest::addColumn<bool>("addWindow");
    QTest::addColumn<bool>("skin");
    QTest::addColumn<bool>("themeFirst"); // the theme is set before the window is made, or after
    QTest::newRow("main window, theme first") << false << false << true;
    QTest::newRow("main window, theme changed") << false << false << false;
    QTest::newRow("skinned main window, theme first") << false << true << true;
    QTest::newRow("skinned main window, theme changed") << false << true << false;
    QTest::newRow("Add New Entry, theme first") << true << false << true;
    QTest::newRow("Add New Entry, theme changed") << true << false << false;
}

void TestLookAndFeel::darkTheme_textReadsOnWhatIsBehindIt()
{
    QFETCH(bool, addWindow);
    QFETCH(bool, skin);
    QFETCH(bool, themeFirst);
    const auto restore = qScopeGuard([light = QApplication::palette()] { QApplication::setPalette(light); });
    if (themeFirst)
        QApplication::setPalette(darkPalette());
    WorkFolder app;
    QDir(app.path()).mkpath("x");
    if (skin)
        QVERIFY(QFile::copy(sourceFile("skins/classic-blue.qss"), app.path("x/o.cjs")));
    MessageRecorder boxes;
    PhoneBook formBook{QLatin1String(kDataFileName)};
    Form1 form(formBook, app.path());
    form.Form_Load();
    Form2 add(formBook, app.path());
    add.Form_Load();
    QWidget &window = addWindow ? static_cast<QWidget &>(add) : form;
    Contact contact;
    contact.fill("Wg");
    formBook.append(std::vector<Contact>{contact, contact});
    form.findChild<QLineEdit *>("txtSearch")->setText("Wg"); // selects it and shows it in the fields
    for (QLineEdit *box : add.findChildren<QLineEdit *>())
        box->setText("Wg");
    add.findChild<QPlainTextEdit *>()->setPlainText("Wg");
    window.show();
    if (!themeFirst)
        QApplication::setPalette(darkPalette());
    QVERIFY(boxes.boxes().isEmpty());
    QCOMPARE(window.palette().color(QPalette::Highlight), darkPalette().color(QPalette::Highlight));

    const QImage shot = window.grab().toImage();
    const auto areas = textAreas(window);
    QVERIFY(areas.size() > 20);
    QStringList unreadable;
    for (const auto &[name, area] : areas) {
        const double contrast = textContrast(shot, area);
        if (contrast < 4.5)
            unreadable << QStringLiteral("%1 %2:1").arg(name).arg(contrast, 0, 'f', 2);
    }
    QVERIFY2(unreadable.isEmpty(), qPrintable(unreadable.join(", ")));
}

void TestLookAndFeel::notRegularFiles_countAsAbsent_data()
{
    // Read as files, the FIFOs would give a good cursor and a skin that paints the window red.
    QFile shipped(sourceFile("assets/HAND-M.CUR"));
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    const QByteArray cursor = shipped.readAll();
    const QByteArray skin = "QWidget#Form1 { background-color: #ff0000; }";
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("bytes");
    for (const char *kind : {"FIFO", "/dev/zero", "dangling link"}) {
        QTest::addRow("%s as HAND-M.CUR", kind) << "HAND-M.CUR" << kind << cursor;
        QTest::addRow("%s as x/o.cjs", kind) << "x/o.cjs" << kind << skin;
    }
}

void TestLookAndFeel::notRegularFiles_countAsAbsent()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QByteArray, bytes);
    WorkFolder app;
    QDir(app.path()).mkpath("x");
    const auto fifo = place(kind, app.path(name), bytes);
    MessageRecorder boxes;
    PhoneBook formBook{QLatin1String(kDataFileName)};
    Form1 form(formBook, app.path());
    form.Form_Load();
    form.show();
    QVERIFY(form.isVisible());
    QVERIFY(boxes.boxes().isEmpty());
    QVERIFY(!form.pointer().hasImage());
    QVERIFY(form.styleSheet().isEmpty());
    QCOMPARE(background(&form), QColor(Qt::white));
}

void TestLookAndFeel::skinPictures_onlyRegularFilesAreShown_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << "FIFO";
    QTest::newRow("link to /dev/zero") << "/dev/zero";
    QTest::newRow("dangling link") << "dangling link";
}

void TestLookAndFeel::skinPictures_onlyRegularFilesAreShown()
{
    QFETCH(QString, kind);
    const QImage missing = buttonWithPicture("missing");
    const QImage shown = buttonWithPicture("file");
    QVERIFY(!missing.isNull());
    QCOMPARE(shown.pixelColor(shown.rect().center()), QColor(Qt::red));
    QVERIFY(missing != shown);
    QCOMPARE(buttonWithPicture(kind), missing);
}

void TestLookAndFeel::handCursor_followsButtonsAndResetAreas()
{
    WorkFolder app;
    QVERIFY(QFile::copy(sourceFile("assets/HAND-M.CUR"), app.path("HAND-M.CUR")));
    MessageRecorder boxes;
    PhoneBook formBook{QLatin1String(kDataFileName)};
    Form1 form(formBook, app.path());
    form.Form_Load();
    form.show();
    QVERIFY(boxes.boxes().isEmpty());
    HoverPointer &pointer = form.pointer();
    QVERIFY(pointer.hasImage());
    QCOMPARE(pointer.image()->hotSpot(), QPoint(10, 0));
    QCOMPARE(pointer.mode(), 0);

    struct Step
    {
        const char *over;
        int mode;
    };
    const Step steps[] = {{"PushButton2", 99}, {"Label9", 99}, {"lblPhNo", 99},     {"Form1", 0},
                          {"PushButton3", 99}, {"Frame1", 0},  {"PushButton5", 99}, {"txtSearch", 0},
                          {"PushButton1", 99}, {"lblName", 0}, {"PushButton4", 99}, {"lblComments", 99}};
    for (const Step &step : steps) {
        QWidget *widget = QLatin1String(step.over) == QLatin1String("Form1")
                              ? &form
                              : form.findChild<QWidget *>(QLatin1String(step.over));
        QVERIFY2(widget, step.over);
        // Over a frame or the window, move onto a spot that no control covers.
        moveOnto(widget, qobject_cast<QGroupBox *>(widget) || widget == &form
                             ? QPoint(3, widget->height() - 3)
                             : QPoint(-1, -1));
        QVERIFY2(pointer.mode() == step.mode, step.over);
        QCOMPARE(form.cursor().shape(), step.mode == 99 ? Qt::BitmapCursor : Qt::ArrowCursor);
    }
    moveOnto(form.findChild<QWidget *>("PushButton2"));
    moveOnto(form.entryList()->viewport());
    QCOMPARE(pointer.mode(), 0);
}

void TestLookAndFeel::withoutCursorFile_pointerStaysDefault()
{
    FormDriver ui({});
    moveOnto(ui.button("PushButton2"));
    QCOMPARE(ui.form().pointer().mode(), 99);
    QCOMPARE(ui.form().cursor().shape(), Qt::ArrowCursor);
    QVERIFY(ui.boxes().boxes().isEmpty());
}

void TestLookAndFeel::brokenCursorFile_isReportedAndDefaultKept()
{
    WorkFolder app;
    writeBytes(app.path("HAND-M.CUR"), QByteArray("\0\0\2\0\1\0", 6));
    MessageRecorder boxes;
    PhoneBook formBook{QLatin1String(kDataFileName)};
    Form1 form(formBook, app.path());
    form.Form_Load();
    QCOMPARE(boxes.boxes().size(), 1);
    QVERIFY(boxes.texts()[0].contains("\r\nin Larkspanapp2021/08/31.Form1.Form_Load at line 106\r\r"));
    QVERIFY(!form.pointer().hasImage());
    // The rest of the start-up still ran.
    QCOMPARE(form.windowTitle(), QStringLiteral("Larkspan Card Index"));
    QCOMPARE(form.entryList()->header()->count(), 16);
}

QTEST_MAIN(TestLookAndFeel)
#include "tst_lookandfeel.moc"
