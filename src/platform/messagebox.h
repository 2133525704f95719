#pragma once

#include <QString>

class QWidget;

// Modal message boxes with the program's title in their title bar.
class MessageBoxes
{
public:
    enum Buttons { Ok, OkCancel };
    // An OK-and-Cancel box shut with Escape or its close button answers
    // AnswerDismissed, which is not AnswerCancel: callers decide what it means.
    // An OK box answers AnswerOk however it is shut.
    enum Answer { AnswerDismissed = 0, AnswerOk = 1, AnswerCancel = 2 };

    virtual ~MessageBoxes() = default;
    // Returns one of Answer once the box is closed.
    virtual int show(const QString &text, Buttons buttons) = 0;
};

// The real boxes, over QMessageBox. `parent` may be null (before the window exists).
class QtMessageBoxes final : public MessageBoxes
{
public:
    explicit QtMessageBoxes(QWidget *parent = nullptr);
    void setParent(QWidget *parent) { m_parent = parent; }
    int show(const QString &text, Buttons buttons) override;

    static QString title();
    // The least width of a box with this title, so that the title bar shows it
    // whole beside its icon and buttons.
    static int titleBarWidth(const QString &title);

private:
    QWidget *m_parent;
};
