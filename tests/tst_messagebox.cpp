#include "platform/messagebox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <functional>

// The message boxes that stand in for the platform's: what each way of shutting
// one answers (the other layers are met through the game's own scenarios).
using BoxAction = std::function<void(QMessageBox *)>;
Q_DECLARE_METATYPE(BoxAction)

class TestMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void messageBoxAnswers_data();
    void messageBoxAnswers();
};

void TestMessageBox::messageBoxAnswers_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<BoxAction>("action");
    QTest::addColumn<int>("answer");
    const BoxAction clickOk = [](QMessageBox *box) { box->button(QMessageBox::Ok)->click(); };
    const BoxAction clickCancel = [](QMessageBox *box) { box->button(QMessageBox::Cancel)->click(); };
    const BoxAction escape = [](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Escape); };
    const BoxAction enter = [](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Return); };
    const BoxAction close = [](QMessageBox *box) { box->close(); };
    const int ok = MessageBoxes::Ok, okCancel = MessageBoxes::OkCancel;
    QTest::newRow("OK box, Escape") << ok << escape << int(MessageBoxes::AnswerOk);
    QTest::newRow("OK box, closed") << ok << close << int(MessageBoxes::AnswerOk);
    QTest::newRow("OK") << okCancel << clickOk << int(MessageBoxes::AnswerOk);
    QTest::newRow("Enter") << okCancel << enter << int(MessageBoxes::AnswerOk);
    QTest::newRow("キャンセル") << okCancel << clickCancel << int(MessageBoxes::AnswerCancel);
    // Shut without an answer: not the Cancel that clears an album.
    QTest::newRow("Escape") << okCancel << escape << int(MessageBoxes::AnswerDismissed);
    QTest::newRow("closed") << okCancel << close << int(MessageBoxes::AnswerDismissed);
}

void TestMessageBox::messageBoxAnswers()
{
    QFETCH(int, buttons);
    QFETCH(BoxAction, action);
    QFETCH(int, answer);
    QString title, text, cancel;
    int width = 0;
    // Acts on the box from inside its own event loop, once it is up.
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll.stop();
        title = box->windowTitle();
        width = box->width();
        text = box->text();
        if (QAbstractButton *b = box->button(QMessageBox::Cancel))
            cancel = b->text();
        action(box);
    });
    poll.start(10);
    QtMessageBoxes boxes;
    QCOMPARE(boxes.show(QStringLiteral("保存しますか？\r\n二行目"), MessageBoxes::Buttons(buttons)), answer);
    QCOMPARE(title, QStringLiteral("shashin"));
    // Wide enough for the title bar to show the title whole, however short the text.
    QVERIFY2(width >= QtMessageBoxes::titleBarWidth(title), qPrintable(QString::number(width)));
    QCOMPARE(text, QStringLiteral("保存しますか？\n二行目"));
    QCOMPARE(cancel, buttons == MessageBoxes::OkCancel ? QStringLiteral("キャンセル") : QString());
}

QTEST_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
