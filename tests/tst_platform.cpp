#include "platform/messagebox.h"
#include "platform/random.h"
#include "platform/textfiles.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

// The layers that stand in for the platform the game was made for: numbered text
// files, the random source and the message boxes.
using BoxAction = std::function<void(QMessageBox *)>;
Q_DECLARE_METATYPE(BoxAction)

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void lineEnds_data();
    void lineEnds();
    void drawsStayBelowOne();
    void messageBoxAnswers_data();
    void messageBoxAnswers();
};

void TestPlatform::lineEnds_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QByteArray>("written");  // the lines written back
    QTest::newRow("empty file") << QByteArray() << QStringList() << QByteArray();
    QTest::newRow("CR LF") << QByteArray("abc\r\ndef\r\n") << QStringList{"abc", "def"} << QByteArray("abc\r\ndef\r\n");
    QTest::newRow("lone CR") << QByteArray("abc\rdef\r") << QStringList{"abc", "def"} << QByteArray("abc\r\ndef\r\n");
    QTest::newRow("lone LF") << QByteArray("abc\ndef\n") << QStringList{"abc", "def"} << QByteArray("abc\r\ndef\r\n");
    QTest::newRow("LF then CR is two ends") << QByteArray("a\n\rb") << QStringList{"a", "", "b"}
                                            << QByteArray("a\r\n\r\nb\r\n");
    QTest::newRow("no last line end") << QByteArray("abc\r\ndef") << QStringList{"abc", "def"}
                                      << QByteArray("abc\r\ndef\r\n");
    QTest::newRow("a last empty line") << QByteArray("abc\r\n\r\n") << QStringList{"abc", ""}
                                       << QByteArray("abc\r\n\r\n");
    QTest::newRow("code page 932") << QByteArray("\x90\x58,00\r\n\x95\x5c") << QStringList{"森,00", "表"}
                                   << QByteArray("\x90\x58,00\r\n\x95\x5c\r\n");
}

void TestPlatform::lineEnds()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QFETCH(QByteArray, written);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("in")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    TextFiles files;
    QVERIFY(files.openForReading(1, file.fileName()));
    QStringList read;
    QString line;
    while (!files.atEnd(1) && files.readLine(1, line))
        read << line;
    QCOMPARE(read, lines);
    QVERIFY(!files.readLine(1, line));  // nothing past the end
    QVERIFY(files.openForWriting(2, dir.filePath(QStringLiteral("out"))));
    for (const QString &l : std::as_const(read))
        QVERIFY(files.writeLine(2, l));
    QVERIFY(files.close(2) && files.close(1));
    QFile out(dir.filePath(QStringLiteral("out")));
    QVERIFY(out.open(QIODevice::ReadOnly));
    QCOMPARE(out.readAll(), written);
}

void TestPlatform::drawsStayBelowOne()
{
    ClockRandom random;
    float lowest = 1, highest = 0;
    for (int i = 0; i < 200000; ++i) {
        const float r = random.next();
        QVERIFY2(r >= 0 && r < 1, qPrintable(QString::number(double(r), 'g', 10)));
        lowest = std::min(lowest, r);
        highest = std::max(highest, r);
    }
    QVERIFY(lowest < 0.001f && highest > 0.999f);
    ClockRandom a(2024), b(2024), later;
    QCOMPARE(a.next(), b.next());
    QVERIFY(a.next() != later.next() || a.next() != later.next());
}

void TestPlatform::messageBoxAnswers_data()
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

void TestPlatform::messageBoxAnswers()
{
    QFETCH(int, buttons);
    QFETCH(BoxAction, action);
    QFETCH(int, answer);
    QString title, text, cancel;
    // Acts on the box from inside its own event loop, once it is up.
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll.stop();
        title = box->windowTitle();
        text = box->text();
        if (QAbstractButton *b = box->button(QMessageBox::Cancel))
            cancel = b->text();
        action(box);
    });
    poll.start(10);
    QtMessageBoxes boxes;
    QCOMPARE(boxes.show(QStringLiteral("保存しますか？\r\n二行目"), MessageBoxes::Buttons(buttons)), answer);
    QCOMPARE(title, QStringLiteral("shashin"));
    QCOMPARE(text, QStringLiteral("保存しますか？\n二行目"));
    QCOMPARE(cancel, buttons == MessageBoxes::OkCancel ? QStringLiteral("キャンセル") : QString());
}

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
