#include "platform/messagebox.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QMessageBox>

namespace {

// QMessageBox turns Escape into a click on Cancel; here Escape shuts the box
// without a click, so that a dismissal can be told from a real Cancel.
class Box final : public QMessageBox
{
public:
    using QMessageBox::QMessageBox;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->matches(QKeySequence::Cancel)) {
            reject();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
};

} // namespace

QtMessageBoxes::QtMessageBoxes(QWidget *parent)
    : m_parent(parent)
{
}

QString QtMessageBoxes::title()
{
    return QStringLiteral("shashin");
}

int QtMessageBoxes::show(const QString &text, Buttons buttons)
{
    Box box(m_parent);
    box.setWindowTitle(title());
    QString shown = text;
    box.setText(shown.replace(QLatin1String("\r\n"), QLatin1String("\n")));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(QMessageBox::NoIcon);
    box.setStandardButtons(buttons == OkCancel ? QMessageBox::Ok | QMessageBox::Cancel
                                               : QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    // The game's texts tell the player to press キャンセル: the button says so too.
    if (QAbstractButton *cancel = box.button(QMessageBox::Cancel))
        cancel->setText(QStringLiteral("キャンセル"));

    // Only buttonClicked tells a real click apart: clickedButton() is also set
    // when the box is closed from its title bar.
    QAbstractButton *chosen = nullptr;
    QObject::connect(&box, &QMessageBox::buttonClicked, &box,
                     [&chosen](QAbstractButton *button) { chosen = button; });
    box.exec();

    if (buttons == Ok)
        return AnswerOk;
    if (chosen != nullptr && chosen == box.button(QMessageBox::Ok))
        return AnswerOk;
    if (chosen != nullptr && chosen == box.button(QMessageBox::Cancel))
        return AnswerCancel;
    return AnswerDismissed;
}
