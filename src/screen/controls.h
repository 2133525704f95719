#pragma once

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

// The window's own kinds of control, thin over Qt's, with the operations the game
// uses and the events it handles.

// Windowless-looking text: transparent, beneath its container's other controls.
// The caption is kept exactly as set (line breaks are CR LF) and shown with them.
class Label : public QLabel
{
    Q_OBJECT
public:
    explicit Label(QWidget *parent = nullptr);

    void setCaption(const QString &caption);
    const QString &caption() const { return m_caption; }
    // 24-bit colour red + 256 × green + 65536 × blue.
    void setForeColor(int rgb);
    int foreColor() const { return m_foreColor; }
    void setBorderSingle(bool single);

private:
    // Tells a reader the text as it stands once the event that set it is over,
    // so that a page put up line by line is told once and whole.
    void tell();

    QString m_caption;
    QString m_told;
    bool m_telling = false;
    int m_foreColor = 0;
};

// A push button that also reports which mouse button was pressed on it. Return
// and Enter click it when it has the focus, as Space does.
class CommandButton : public QPushButton
{
    Q_OBJECT
public:
    explicit CommandButton(const QString &caption, QWidget *parent = nullptr);
    void setBackground(const QColor &colour);

signals:
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint position);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};

// An unsorted, single-selection list of texts.
class ListBox : public QListWidget
{
    Q_OBJECT
public:
    explicit ListBox(QWidget *parent = nullptr);

    int listIndex() const;
    // Selects row n, or none for -1; like a selection by the user, it raises listClicked.
    void setListIndex(int row);
    int listCount() const { return count(); }
    // The text of row n; the empty text outside the rows.
    QString list(int row) const;
    void addRow(const QString &text);
    void insertRow(int row, const QString &text);
    void removeRow(int row);
    void clearRows();
    void setColours(const QColor &background, const QColor &text);
    // A list of keys that is never seen: no reader hears of it or of its rows.
    void setKeysOnly();
    bool keysOnly() const { return m_keysOnly; }

signals:
    // A row was selected by mouse, keyboard or the program.
    void listClicked();
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint position);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool event(QEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    bool m_keysOnly = false;
};

// Sets the point size of a control's font.
void setFontSize(QWidget *control, int points);

// What readers are told of the game's own controls: labels offer their text,
// key lists nothing. Installed once, before the first control is asked for.
void installAccessibility();
