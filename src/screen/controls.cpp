#include "screen/controls.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace {

QColor fromRgb(int rgb)
{
    return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

} // namespace

Label::Label(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setWordWrap(true);
    setForeColor(0);
}

void Label::setCaption(const QString &caption)
{
    m_caption = caption;
    QString shown = caption;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    setText(shown);
}

void Label::setForeColor(int rgb)
{
    m_foreColor = rgb;
    QPalette p = palette();
    p.setColor(QPalette::WindowText, fromRgb(rgb));
    setPalette(p);
}

void Label::setBorderSingle(bool single)
{
    setFrameShape(single ? QFrame::Box : QFrame::NoFrame);
}

CommandButton::CommandButton(const QString &caption, QWidget *parent)
    : QPushButton(caption, parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

void CommandButton::setBackground(const QColor &colour)
{
    QPalette p = palette();
    p.setColor(QPalette::Button, colour);
    p.setColor(QPalette::ButtonText, Qt::black);
    setPalette(p);
}

void CommandButton::mousePressEvent(QMouseEvent *event)
{
    emit mouseDown(event->button(), event->modifiers(), event->position().toPoint());
    QPushButton::mousePressEvent(event);
}

void CommandButton::keyPressEvent(QKeyEvent *event)
{
    // Outside a dialog Qt's push buttons leave Return and Enter alone.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (!event->isAutoRepeat())  // holding the key down is one press, as with Space
            click();
        event->accept();
        return;
    }
    QPushButton::keyPressEvent(event);
}

ListBox::ListBox(QWidget *parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(false);
    setUniformItemSizes(true);
    // The selection, not the current row, is what the player chose: the current
    // row moves first and the selection follows it.
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        if (listIndex() >= 0)
            emit listClicked();
    });
}

int ListBox::listIndex() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void ListBox::setListIndex(int row)
{
    if (row < 0 || row >= count()) {
        clearSelection();
        setCurrentRow(-1);
        emit listClicked();
        return;
    }
    if (listIndex() == row)
        emit listClicked();
    else
        setCurrentRow(row);
}

QString ListBox::list(int row) const
{
    const QListWidgetItem *it = item(row);
    return it ? it->text() : QString();
}

void ListBox::addRow(const QString &text)
{
    addItem(text);
}

void ListBox::insertRow(int row, const QString &text)
{
    insertItem(row, text);
}

void ListBox::removeRow(int row)
{
    delete takeItem(row);
}

void ListBox::clearRows()
{
    clear();
}

void ListBox::setColours(const QColor &background, const QColor &text)
{
    QPalette p = palette();
    p.setColor(QPalette::Base, background);
    p.setColor(QPalette::Text, text);
    setPalette(p);
}

void ListBox::mousePressEvent(QMouseEvent *event)
{
    // Only the left button selects; the others are the game's to interpret.
    if (event->button() == Qt::LeftButton)
        QListWidget::mousePressEvent(event);
    emit mouseDown(event->button(), event->modifiers(), event->position().toPoint());
}

void ListBox::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        QListWidget::mouseReleaseEvent(event);
}

void setFontSize(QWidget *control, int points)
{
    QFont font = control->font();
    font.setPointSize(points);
    control->setFont(font);
}
