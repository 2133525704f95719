#include "core/fom.h"
#include "platform/codepage.h"
#include "platform/messagebox.h"
#include "platform/picturebox.h"
#include "screen/controls.h"
#include "support/gamecopy.h"
#include "support/gamefixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

namespace {

void rightPress(ListBox *list, int row)
{
    const QPoint at = row < 0 ? QPoint(5, list->viewport()->height() - 3)
                              : list->visualItemRect(list->item(row)).center();
    QTest::mousePress(list->viewport(), Qt::RightButton, {}, at);
    QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, at);
}

// What the player sees of Pic: the test picture (yellow top left quarter, green
// elsewhere) filling it, inside a grey line when `bordered`. JPEG is near enough.
bool showsPicture(PictureBox *pic, bool bordered)
{
    const QImage seen = pic->grab().toImage();
    const int w = seen.width();
    const int h = seen.height();
    const auto is = [&](int x, int y, QColor c) {
        const QColor p = seen.pixelColor(x, y);
        return qAbs(p.red() - c.red()) + qAbs(p.green() - c.green()) + qAbs(p.blue() - c.blue()) < 30;
    };
    const QColor yellow(240, 200, 40), green(30, 140, 60);
    return w > 8 && h > 8 && is(w / 4, h / 4, yellow) && is(3 * w / 4, 3 * h / 4, green)
           && is(0, 0, bordered ? QColor(160, 160, 160) : yellow);
}

} // namespace

// The eternal album: its viewer (mouse and keyboard), its count-and-clear box, and
// creatures whose picture or description is missing or broken.
class TestAlbum : public QObject
{
    Q_OBJECT

private slots:
    // In this order: with the viewer's test first, GCC 12's LeakSanitizer finds a
    // stale dynamic-TLS range at exit and its tracer crashes.
    void picturesByTheirContent_data();
    void picturesByTheirContent();
    void selectingShowsTheCreature();
    void countAndClear_data();
    void countAndClear();
};

void TestAlbum::selectingShowsTheCreature()
{
    GameFixture game;
    game.writeBytes(QStringLiteral("txt/abm.dat"), albumBytes(20));
    game.writePicture(QStringLiteral("19"), "BMP");
    game.writeLines(QStringLiteral("txt/19.dat"), {QStringLiteral("一行目"), QString(), QStringLiteral("三行目")});
    game.writeLines(QStringLiteral("txt/18.dat"), {QStringLiteral("十八")});
    game.startPlaying();
    Fom &w = game.window();
    rightPress(w.Lst[2], 19);  // a right press neither selects nor, with nothing selected, asks
    QCOMPARE(w.Lst[2]->listIndex(), -1);
    selectRow(w.Lst[2], 19);
    QVERIFY(w.BakSee->isVisible());
    QVERIFY(showsPicture(w.Pic, true));
    QCOMPARE(w.LblSee->caption(), QStringLiteral("\r\n一行目\r\n\r\n三行目"));
    QCOMPARE(w.NowBeast, QStringLiteral("19"));
    // Pressed, any button: the border goes and the picture fills the box; a click cries.
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        QTest::mousePress(w.Pic, button);
        QVERIFY(showsPicture(w.Pic, false));
        QTest::mouseRelease(w.Pic, button);
        QVERIFY(showsPicture(w.Pic, true));
    }
    game.backend().calls.clear();
    QTest::mouseClick(w.Pic, Qt::LeftButton);
    QTest::keyClick(w.Pic, Qt::Key_Space);  // as the focused picture
    const QString cry = QStringLiteral("playCry ") + w.PathBgm + QStringLiteral("19.wav");
    QCOMPARE(game.backend().calls.filter(QStringLiteral("playCry")), (QStringList{cry, cry}));
    QTest::keyClick(w.Lst[2], Qt::Key_Up);  // the keys show one creature after another
    QCOMPARE(w.NowBeast, QStringLiteral("18"));
    QCOMPARE(w.LblSee->caption(), QStringLiteral("\r\n十八"));
}

void TestAlbum::picturesByTheirContent_data()
{
    QTest::addColumn<QString>("key");  // of the album's second row
    QTest::addColumn<QByteArray>("format");  // the picture of the key written in it
    QTest::addColumn<QByteArray>("bytes");   // or these bytes as it (none: no file)
    const QString creature = QStringLiteral("01");
    for (const char *format : {"BMP", "JPEG", "PNG"})
        QTest::newRow(format) << creature << QByteArray(format) << QByteArray();
    QByteArray hostile("BM");
    hostile += QByteArray(12, '\0') + QByteArray::fromHex("28000000a0860100a08601000100200000") + QByteArray(23, '\0');
    QTest::newRow("no picture") << creature << QByteArray() << QByteArray();
    QTest::newRow("not a picture") << creature << QByteArray() << QByteArray("these are not the pixels");
    QTest::newRow("a bitmap claiming 100000 x 100000") << creature << QByteArray() << hostile;
    // Not a key of two digits: it names no file, though there is one by its name.
    QTest::newRow("a way out of the folder") << QStringLiteral("../name") << QByteArray("PNG") << QByteArray();
    QTest::newRow("three digits") << QStringLiteral("123") << QByteArray("PNG") << QByteArray();
}

void TestAlbum::picturesByTheirContent()
{
    QFETCH(QString, key);
    QFETCH(QByteArray, format);
    QFETCH(QByteArray, bytes);
    const bool creature = key == QStringLiteral("01");
    const bool shown = creature && !format.isEmpty();
    GameFixture game;
    const QByteArray album = codepage::encode(QStringLiteral("生き物00,00\r\n生き物01,") + key + QStringLiteral("\r\n"));
    game.writeBytes(QStringLiteral("txt/abm.dat"), album);
    game.writePicture(QStringLiteral("00"), "PNG");
    if (!format.isEmpty())
        game.writePicture(key, format.constData(), QSize(20, 90));
    else if (!bytes.isEmpty())
        game.writeBytes(QStringLiteral("img/01.dat"), bytes);
    if (!QFile::exists(game.path(QStringLiteral("txt/") + key + QStringLiteral(".dat"))))
        game.writeLines(QStringLiteral("txt/") + key + QStringLiteral(".dat"), {QStringLiteral("説明")});
    game.startPlaying();
    Fom &w = game.window();
    selectRow(w.Lst[2], 0);
    const auto resize = [&w] { w.resize(w.width(), w.height() + 120); };
    QTest::mouseClick(w.Com[0], Qt::LeftButton);  // a step hides the scene; the window is resized meanwhile
    resize();
    selectRow(w.Lst[2], 1);
    // A picture is told by its content, whatever the ".dat"; anything else leaves
    // the box blank (not the creature before), and the game goes on.
    QTRY_COMPARE(showsPicture(w.Pic, true), shown);
    QCOMPARE(blank(w.Pic), !shown);
    QVERIFY(w.BakSee->isVisible());
    QCOMPARE(w.LblSee->caption(), creature ? QStringLiteral("\r\n説明") : QString());
    QCOMPARE(w.NowBeast, key);
    const QSize before = w.Pic->size();
    resize();
    // Drawn again to the new size; nor does a new size bring a creature back.
    QTRY_VERIFY(w.Pic->size() != before);
    QTRY_COMPARE(showsPicture(w.Pic, true), shown);
    QCOMPARE(blank(w.Pic), !shown);
    QVERIFY(!shown || w.Pic->surface().size() == w.Pic->innerRect().size());
    game.backend().calls.clear();
    QTest::mouseClick(w.Pic, Qt::LeftButton);
    QCOMPARE(game.backend().calls.filter(QStringLiteral("playCry")).size(), int(creature));
    // The row itself is the player's: it is saved as it was.
    w.close();
    QCOMPARE(game.readBytes(QStringLiteral("txt/abm.dat")), album);
}

void TestAlbum::countAndClear_data()
{
    QTest::addColumn<int>("ask");  // a key that asks; 0: a right press
    QTest::addColumn<int>("answer");  // a key on the box; 0: a click on キャンセル, -1: the box closed
    QTest::addColumn<bool>("cleared");
    QTest::newRow("キャンセル clears") << 0 << 0 << true;
    // Shut without an answer: not the Cancel that clears an album.
    QTest::newRow("Escape keeps") << 0 << int(Qt::Key_Escape) << false;
    QTest::newRow("closed keeps") << 0 << -1 << false;
    QTest::newRow("the Menu key asks") << int(Qt::Key_Menu) << 0 << true;
    QTest::newRow("Shift+F10 asks, Return keeps") << int(Qt::Key_F10) << int(Qt::Key_Return) << false;
}

void TestAlbum::countAndClear()
{
    QFETCH(int, ask);
    QFETCH(int, answer);
    QFETCH(bool, cleared);
    QtMessageBoxes boxes;  // outlives the window
    GameFixture game;
    game.boxes = &boxes;
    game.writeBytes(QStringLiteral("txt/abm.dat"), albumBytes(7));
    game.writeLines(QStringLiteral("txt/03.dat"), {QStringLiteral("見えている")});
    // The box is answered from inside its own event loop, once it is up.
    QString text, cancel;
    int width = 0;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll.stop();
        text = box->text();
        cancel = box->button(QMessageBox::Cancel)->text();
        width = box->width();
        if (answer > 0)
            QTest::keyClick(box, Qt::Key(answer));
        else if (answer < 0)
            box->close();
        else
            box->button(QMessageBox::Cancel)->click();
    });
    poll.start(10);
    game.startPlaying();
    Fom &w = game.window();
    selectRow(w.Lst[2], 3);
    if (ask == Qt::Key_Menu) {
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(), QPoint());  // what the Menu key sends
        QApplication::sendEvent(w.Lst[2], &menu);
    } else if (ask == Qt::Key_F10) {
        QTest::keyClick(w.Lst[2], Qt::Key_F10, Qt::ShiftModifier);
    } else {
        rightPress(w.Lst[2], -1);  // anywhere on the list
    }
    QCOMPARE(text, QStringLiteral("7枚/全30枚\n\nクリアーする場合はキャンセルを押して下さい"));
    QCOMPARE(cancel, QStringLiteral("キャンセル"));
    // Wide enough for the title bar to show the title whole, however short the text.
    QVERIFY2(width >= QtMessageBoxes::titleBarWidth(QtMessageBoxes::title()), qPrintable(QString::number(width)));
    QCOMPARE(w.Lst[2]->listCount(), cleared ? 0 : 7);
    QCOMPARE(w.Lst[3]->listCount(), cleared ? 0 : 7);
    // What was on show stays on show.
    QVERIFY(w.BakSee->isVisible());
    QCOMPARE(w.NowBeast, QStringLiteral("03"));
    QCOMPARE(w.LblSee->caption(), QStringLiteral("\r\n見えている"));
    // Cleared on the disk at once, before the window closes.
    QCOMPARE(game.readBytes(QStringLiteral("txt/abm.dat")).isEmpty(), cleared);
}

QTEST_MAIN(TestAlbum)
#include "tst_album.moc"
