#include "screen/controls.h"

#include "platform/picturebox.h"

#include <QAccessibleWidget>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

QColor fromRgb(int rgb)
{
    return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

constexpr int kFocusBand = 5;

// Space, Return and keypad Enter press a control, held down or not, once.
bool isPress(const QKeyEvent *event)
{
    const int key = event->key();
    return (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)
           && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

// A label as a reader sees it: text it can read, not only a name, and a
// notification, the one kind of object whose news Qt 6.4 can bring to a
// reader on Linux without the focus.
class LabelAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit LabelAccessible(QLabel *label)
        : QAccessibleWidget(label, QAccessible::Notification)
    {
    }
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::TextInterface ? static_cast<QAccessibleTextInterface *>(this)
                                                  : QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? shown() : QAccessibleWidget::text(t);
    }
    QString text(int start, int end) const override { return shown().mid(start, end - start); }
    int characterCount() const override { return int(shown().size()); }
    void selection(int, int *start, int *end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int *start, int *end) const override
    {
        *start = 0;
        *end = characterCount();
        return {};
    }

private:
    QString shown() const { return static_cast<QLabel *>(widget())->text(); }
};

// A key list: hidden, with no rows a reader could place over the buttons.
class KeyListAccessible : public QAccessibleWidget
{
public:
    explicit KeyListAccessible(QWidget *list)
        : QAccessibleWidget(list, QAccessible::List)
    {
    }
    int childCount() const override { return 0; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = true;
        return s;
    }
};

QAccessibleInterface *accessibleFor(const QString &className, QObject *object)
{
    if (className == QLatin1String("Label"))
        return new LabelAccessible(static_cast<QLabel *>(object));
    if (className == QLatin1String("ListBox") && static_cast<ListBox *>(object)->keysOnly())
        return new KeyListAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

void installAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(accessibleFor);
        return true;
    }();
    Q_UNUSED(installed);
}

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
    if (QAccessible::isActive() && !m_telling) {
        m_telling = true;
        QMetaObject::invokeMethod(this, &Label::tell, Qt::QueuedConnection);
    }
}

void Label::tell()
{
    m_telling = false;
    if (m_told == text())
        return;
    QAccessibleTextUpdateEvent update(this, 0, m_told, text());
    QAccessible::updateAccessibility(&update);
    m_told = text();
    // A notification shown: what Orca speaks of an object that has not the focus.
    if (!m_told.isEmpty() && isVisible()) {
        QAccessibleEvent shown(this, QAccessible::ObjectShow);
        QAccessible::updateAccessibility(&shown);
    }
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
    if (isPress(event) && event->key() != Qt::Key_Space) {
        if (!event->isAutoRepeat())  // holding the key down is one press, as with Space
            click();
        event->accept();
        return;
    }
    QPushButton::keyPressEvent(event);
}

void CommandButton::paintEvent(QPaintEvent *event)
{
    QPushButton::paintEvent(event);
    if (hasFocus()) {
        QPainter painter(this);
        drawFocusMark(painter, rect(), true);
    }
}

ListBox::ListBox(QWidget *parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(false);
    setUniformItemSizes(true);
    setViewportMargins(kFocusBand, kFocusBand, kFocusBand, kFocusBand);  // room for the focus mark
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
    // The chosen row: dark enough for its text to read at 7:1, focused or not.
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Highlight, QColor(20, 40, 90));
        p.setColor(group, QPalette::HighlightedText, text);
    }
    setPalette(p);
}

void ListBox::setKeysOnly()
{
    m_keysOnly = true;
    setFocusPolicy(Qt::NoFocus);
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

void ListBox::keyPressEvent(QKeyEvent *event)
{
    // Shift+F10 asks for what a right press offers, as the Menu key does.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        emit mouseDown(Qt::RightButton, Qt::NoModifier, QPoint());
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void ListBox::contextMenuEvent(QContextMenuEvent *event)
{
    // The Menu key; a right press has already been told as one.
    if (event->reason() == QContextMenuEvent::Keyboard)
        emit mouseDown(Qt::RightButton, Qt::NoModifier, QPoint());
    event->accept();
}

bool ListBox::event(QEvent *event)
{
    const bool handled = QListWidget::event(event);
    switch (event->type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        update();
        break;
    case QEvent::Paint: {
        // The band around the rows: the rows' colour, or the focus mark.
        QPainter painter(this);
        const QRect band = viewport()->geometry().marginsAdded(viewportMargins());
        painter.fillRect(band, palette().color(QPalette::Base));
        if (hasFocus())
            drawFocusMark(painter, band, false);
        break;
    }
    default:
        break;
    }
    return handled;
}

void ListBox::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    // A list without the focus tells readers of no row taking it.
    if (hasFocus())
        QListWidget::currentChanged(current, previous);
    else
        QAbstractItemView::currentChanged(current, previous);
}

void setFontSize(QWidget *control, int points)
{
    QFont font = control->font();
    font.setPointSize(points);
    control->setFont(font);
}
