#include "core/fom.h"
#include "platform/gametimer.h"
#include "platform/picturebox.h"
#include "screen/controls.h"
#include "support/gamefixture.h"

#include <QApplication>
#include <QTest>

// The story texts: pages and their shapes, the fade the player sees, the
// next-page button by mouse and keyboard, its right-press skip, and story files
// that are missing or empty.
namespace {

bool playing(const Fom &w)
{
    return w.ComNext->isVisibleTo(&w) && !w.BakCom->isVisibleTo(&w) && !w.BakMove->isVisibleTo(&w)
           && !w.BakSee->isVisibleTo(&w) && w.TimLbl->isEnabled();
}

bool playPanelsBack(Fom &w)
{
    return !w.ComNext->isVisibleTo(&w) && w.BakCom->isVisibleTo(&w) && w.BakMove->isVisibleTo(&w)
           && !w.TimLbl->isEnabled() && w.Lbl->caption().isEmpty() && w.Lbl->foreColor() == 0xFFFFFF
           && !w.files().isOpen(w.FileNo);
}

// The brightest pixel the player sees of the page's text (above the button).
int brightest(Fom &w)
{
    const QRect page = w.Lbl->geometry();
    const QImage shot = w.grab(page.adjusted(0, 0, 0, -page.height() / 2)).toImage();
    int top = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            top = std::max(top, QColor(shot.pixel(x, y)).value());
    return top;
}

} // namespace

class TestStory : public QObject
{
    Q_OBJECT

private slots:
    void pages_data();
    void pages();
    void pageFadesInFromBlack();
};

void TestStory::pages_data()
{
    QTest::addColumn<QByteArray>("bytes");  // the opening's file; none: no file
    QTest::addColumn<QStringList>("pages");  // what each press shows, in order
    QTest::addColumn<int>("key");  // what turns a page; 0: a left click, -1: a right press
    const QByteArray two("a\r\nb\r\n\r\nc\r\n\r\nnever\r\n");  // the line after the last empty one is never shown
    const QStringList both{QStringLiteral("\r\na\r\nb\r\n"), QStringLiteral("\r\nc\r\n")};
    QTest::newRow("left button") << two << both << 0;
    QTest::newRow("Space") << two << both << int(Qt::Key_Space);
    QTest::newRow("keypad Enter") << two << both << int(Qt::Key_Enter);
    QTest::newRow("Escape skips the rest") << two << QStringList{both[0]} << int(Qt::Key_Escape);
    QTest::newRow("a right press skips the rest") << two << QStringList{both[0]} << -1;
    QTest::newRow("a page and its empty line only: ends at once") << QByteArray("a\r\n\r\n") << QStringList{} << 0;
    QTest::newRow("two empty lines make an empty page") << QByteArray("a\r\n\r\n\r\nx\r\n")
                                                        << QStringList{QStringLiteral("\r\na\r\n"), QStringLiteral("\r\n")} << 0;
    QTest::newRow("lone LF and CR ends") << QByteArray("a\nb\n\nc\r\rz")
                                         << QStringList{QStringLiteral("\r\na\r\nb\r\n"), QStringLiteral("\r\nc\r\n")} << 0;
    // Nothing to show: a box says so.
    QTest::newRow("empty") << QByteArray("") << QStringList{} << 0;
    QTest::newRow("missing") << QByteArray() << QStringList{} << 0;
}

void TestStory::pages()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, pages);
    QFETCH(int, key);
    GameFixture game;
    if (bytes.isNull())
        game.remove(QStringLiteral("txt/opn.dat"));
    else
        game.writeBytes(QStringLiteral("txt/opn.dat"), bytes);
    game.start();
    Fom &w = game.window();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    for (const QString &page : pages) {
        QVERIFY(playing(w));
        QCOMPARE(w.Lbl->caption(), page);
        QCOMPARE(QApplication::focusWidget(), w.ComNext);
        if (key == 0)
            QTest::mouseClick(w.ComNext, Qt::LeftButton);
        else if (key < 0)
            QTest::mousePress(w.ComNext, Qt::RightButton);
        else
            QTest::keyClick(w.ComNext, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    }
    QVERIFY(playPanelsBack(w));
    if (!pages.isEmpty()) {
        // Where one more Return costs nothing, and 森 is one Tab away.
        QCOMPARE(QApplication::focusWidget(), w.Lst[2]);
        QTest::keyClick(w.Lst[2], Qt::Key_Return);
        QVERIFY(w.Lbl->caption().isEmpty());
        QTest::keyClick(w.Lst[2], Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.Com[0]);
    }
    const bool nothing = bytes.isEmpty();
    QCOMPARE(game.messages.shown.size(), int(nothing));
    if (nothing)
        QCOMPARE(game.messages.shown[0].text, w.PathTxt + QStringLiteral("opn.dat not found"));
}

void TestStory::pageFadesInFromBlack()
{
    GameFixture game;
    game.random.setFallback(0.999f);  // 49 a tick, the most a draw gives
    game.start();
    Fom &w = game.window();
    w.TimLbl->setEnabled(false);  // the test ticks it
    QTest::mouseClick(w.ComNext, Qt::LeftButton);
    w.TimLbl->setEnabled(false);
    QCOMPARE(brightest(w), 0);  // a new page starts black
    QList<int> seen;
    for (int tick = 0; tick < 6; ++tick) {
        w.TimLbl->setEnabled(tick == 5);  // on when white comes, to see it go off
        w.TimLbl_Timer();
        seen << brightest(w);
    }
    // Up by a draw of 0 to 49 a tick, to white; there the fade rests.
    QCOMPARE(seen, (QList<int>{49, 98, 147, 196, 245, 255}));
    QVERIFY(!w.TimLbl->isEnabled());
}

QTEST_MAIN(TestStory)
#include "tst_story.moc"
