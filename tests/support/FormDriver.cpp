#include "support/FormDriver.h"

#include "addentry/Form2.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDir>
#include <QTest>
#include <QTimer>

namespace larkspan::test {

FormDriver::FormDriver(const std::vector<Contact> &contacts, bool writeFile)
{
    if (writeFile)
        writeBytes(folder_.path("Numbers.dat"), recordBytes(contacts));
    QDir(folder_.path()).mkdir("app");
    book_ = std::make_unique<PhoneBook>(QLatin1String(kDataFileName));
    form_ = std::make_unique<Form1>(*book_, folder_.path("app"));
    form_->Form_Load();
    form_->show();
    form_->activateWindow();
    if (!QTest::qWaitForWindowActive(form_.get()))
        qWarning("the main window did not become active");
}

void FormDriver::clickRow(int row)
{
    EntryList &view = list();
    const QRect rect = view.visualRect(view.model()->index(row, 0));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, rect.center());
}

void FormDriver::clickButton(const char *name)
{
    QTest::mouseClick(button(name), Qt::LeftButton);
}

bool FormDriver::withAddWindow(const std::function<void(Form2 &)> &act)
{
    bool ran = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<Form2 *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        if (!QTest::qWaitForWindowActive(dialog))
            qWarning("the Add New Entry window did not become active");
        ran = true;
        act(*dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
    clickButton("PushButton2");
    return ran;
}

void FormDriver::typeInto(QWidget *field, const QString &text)
{
    QWidget *target = field;
    if (auto *area = qobject_cast<QAbstractScrollArea *>(field))
        target = area->viewport();
    QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(target->width() - 4, target->height() / 2));
    if (auto *line = qobject_cast<QLineEdit *>(field))
        line->end(false);
    QTest::keyClicks(field, text);
}

QStringList FormDriver::names() const
{
    QStringList names;
    for (int row = 0; row < book_->count(); ++row)
        names << book_->text(row, Name);
    return names;
}

} // namespace larkspan::test
