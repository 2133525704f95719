#include "platform/messagebox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QSpacerItem>

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

// A box is as wide as its text and buttons need; its title, drawn by the window
// manager or (on Wayland) by Qt, can need more: Qt's own title bar centres the
// title between an icon on the left and three buttons on the right, and clips it
// at 77 px from the right edge, so a box of 157 px showed "shas". The layout is
// given a row as wide as the title plus that room on both sides.
void makeRoomForTitle(QMessageBox &box)
{
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (grid == nullptr)
        return;
    const QMargins margins = grid->contentsMargins();
    const int width = QtMessageBoxes::titleBarWidth(box.windowTitle()) - margins.left() - margins.right();
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

} // namespace

int QtMessageBoxes::titleBarWidth(const QString &title)
{
    QFont font = QApplication::font();
    font.setPixelSize(14);  // Qt's Wayland title bar; window managers draw theirs about as large
    return QFontMetrics(font).horizontalAdvance(title) + 2 * 80;
}

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

    makeRoomForTitle(box);

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
