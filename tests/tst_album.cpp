#include "core/fom.h"
#include "platform/codepage.h"
#include "platform/messagebox.h"
#include "platform/picturebox.h"
#include "screen/controls.h"
#include "support/gamecopy.h"
#include "support/gamefixture.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QTest>

namespace {

const QString kClearQuestion = QStringLiteral("枚/全30枚\r\n\r\nクリアーする場合はキャンセルを押して下さい");

void fillEternalAlbum(GameFixture &game, int rows)
{
    game.writeBytes(QStringLiteral("txt/abm.dat"), albumBytes(rows));
}

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
    void selectingShowsTheCreature();
    void picturesByTheirContent_data();
    void picturesByTheirContent();
    void rowsWithoutATrueKeyNameNoFile_data();
    void rowsWithoutATrueKeyNameNoFile();
    void countAndClear_data();
    void countAndClear();
};

void TestAlbum::selectingShowsTheCreature()
{
    GameFixture game;
    fillEternalAlbum(game, 20);
    game.writePicture(QStringLiteral("19"), "BMP");
    game.writeLines(QStringLiteral("txt/19.dat"), {QStringLiteral("一行目"), QString(), QStringLiteral("三行目")});
    game.writeLines(QStringLiteral("txt/18.dat"), {QStringLiteral("十八")});
    game.startPlaying();
    Fom &w = game.window();
    w.Lbl->setCaption(QStringLiteral("前の言葉"));
    rightPress(w.Lst[2], 19);  // a right press neither selects nor, with nothing selected, asks
    QCOMPARE(w.Lst[2]->listIndex(), -1);
    selectRow(w.Lst[2], 19);
    QVERIFY(w.BakSee->isVisible());
    QVERIFY(showsPicture(w.Pic, true));
    QCOMPARE(w.LblSee->caption(), QStringLiteral("\r\n一行目\r\n\r\n三行目"));
    QCOMPARE(w.NowBeast, QStringLiteral("19"));
    QCOMPARE(w.Lbl->caption(), QStringLiteral("前の言葉"));
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
    QTest::keyClick(w.Pic, Qt::Key_Return);
    QTest::keyClick(w.Pic, Qt::Key_Tab);
    const QString cry = QStringLiteral("playCry ") + w.PathBgm + QStringLiteral("19.wav");
    QCOMPARE(game.backend().calls.filter(QStringLiteral("playCry")), (QStringList{cry, cry, cry}));
    QCOMPARE(w.Pic->accessibleName(), QStringLiteral("生き物19"));
    QTest::keyClick(w.Lst[2], Qt::Key_Up);  // the keys show one creature after another
    QCOMPARE(w.NowBeast, QStringLiteral("18"));
    QCOMPARE(w.LblSee->caption(), QStringLiteral("\r\n十八"));
    // Selecting in the current album shows nothing of it, and no button there asks.
    w.BakSee->hide();
    w.Lst[0]->addRow(QStringLiteral("現像前"));
    w.Lst[1]->addRow(QStringLiteral("05"));
    selectRow(w.Lst[0], 0);
    rightPress(w.Lst[0], 0);
    QTest::mousePress(w.Lst[2]->viewport(), Qt::MiddleButton);
    QVERIFY(!w.BakSee->isVisible());
    QCOMPARE(w.NowBeast, QStringLiteral("18"));
    QVERIFY(game.messages.shown.isEmpty());
    QCOMPARE(w.Lst[2]->listCount(), 20);
}

void TestAlbum::picturesByTheirContent_data()
{
    QTest::addColumn<QByteArray>("format");  // the picture of "01" written in it
    QTest::addColumn<QByteArray>("bytes");   // or these bytes as it (none: no file)
    QTest::addColumn<bool>("withText");
    QTest::addColumn<bool>("hiddenMeanwhile");  // the window resized while a step hid the scene
    for (const char *format : {"BMP", "JPEG", "PNG"})
        QTest::newRow(format) << QByteArray(format) << QByteArray() << true << false;
    QTest::newRow("PNG, resized while a step hid it") << QByteArray("PNG") << QByteArray() << true << true;
    QByteArray hostile("BM");
    hostile += QByteArray(12, '\0') + QByteArray::fromHex("28000000a0860100a08601000100200000") + QByteArray(23, '\0');
    QTest::newRow("no picture, no text") << QByteArray() << QByteArray() << false << false;
    QTest::newRow("not a picture") << QByteArray() << QByteArray("these are not the pixels") << true << false;
    QTest::newRow("a bitmap claiming 100000 x 100000") << QByteArray() << hostile << true << false;
}

void TestAlbum::picturesByTheirContent()
{
    QFETCH(QByteArray, format);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, withText);
    QFETCH(bool, hiddenMeanwhile);
    GameFixture game;
    fillEternalAlbum(game, 2);
    game.writePicture(QStringLiteral("00"), "PNG");
    if (!format.isEmpty())
        game.writePicture(QStringLiteral("01"), format.constData(), QSize(20, 90));
    else if (!bytes.isEmpty())
        game.writeBytes(QStringLiteral("img/01.dat"), bytes);
    if (withText)
        game.writeLines(QStringLiteral("txt/01.dat"), {QStringLiteral("説明")});
    game.startPlaying();
    Fom &w = game.window();
    selectRow(w.Lst[2], 0);
    const QSize before = w.Pic->size();
    const auto resize = [&w] { w.resize(w.width(), w.height() + 120); };
    if (hiddenMeanwhile) {
        QTest::mouseClick(w.Com[0], Qt::LeftButton);
        resize();
    }
    selectRow(w.Lst[2], 1);
    // A picture is told by its content, whatever the ".dat"; anything else leaves
    // the box blank (not the creature before), and the game goes on.
    QTRY_COMPARE(showsPicture(w.Pic, true), !format.isEmpty());
    QCOMPARE(blank(w.Pic), format.isEmpty());
    QVERIFY(w.BakSee->isVisible());
    QCOMPARE(w.LblSee->caption(), withText ? QStringLiteral("\r\n説明") : QString());
    QCOMPARE(w.NowBeast, QStringLiteral("01"));
    if (!hiddenMeanwhile)
        resize();
    // Drawn again to the new size; nor does a new size bring a creature back.
    QTRY_VERIFY(w.Pic->size() != before);
    QTRY_COMPARE(showsPicture(w.Pic, true), !format.isEmpty());
    QCOMPARE(blank(w.Pic), format.isEmpty());
    QVERIFY(format.isEmpty() || w.Pic->surface().size() == w.Pic->innerRect().size());
}

void TestAlbum::rowsWithoutATrueKeyNameNoFile_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("a way out of the folder") << QStringLiteral("../name");
    QTest::newRow("one digit") << QStringLiteral("1");
    QTest::newRow("three digits") << QStringLiteral("123");
    QTest::newRow("full-width digits") << QStringLiteral("０１");
}

void TestAlbum::rowsWithoutATrueKeyNameNoFile()
{
    QFETCH(QString, key);
    GameFixture game;
    const QByteArray album = codepage::encode(QStringLiteral("生き物00,00\r\nおかしな行,") + key + QStringLiteral("\r\n"));
    game.writeBytes(QStringLiteral("txt/abm.dat"), album);
    game.writePicture(QStringLiteral("00"), "PNG");
    // What the key would name if it were taken as a path.
    game.writePicture(key, "PNG");
    if (!QFile::exists(game.path(QStringLiteral("txt/") + key + QStringLiteral(".dat"))))
        game.writeLines(QStringLiteral("txt/") + key + QStringLiteral(".dat"), {QStringLiteral("読まれてはいけない")});
    game.startPlaying();
    Fom &w = game.window();
    selectRow(w.Lst[2], 0);
    selectRow(w.Lst[2], 1);
    QVERIFY(w.BakSee->isVisible());
    QVERIFY(blank(w.Pic));
    QCOMPARE(w.LblSee->caption(), QString());
    game.backend().calls.clear();
    QTest::mouseClick(w.Pic, Qt::LeftButton);
    QVERIFY(game.backend().calls.filter(QStringLiteral("playCry")).isEmpty());
    // The row itself is the player's: it is saved as it was.
    w.close();
    QCOMPARE(game.readBytes(QStringLiteral("txt/abm.dat")), album);
}

void TestAlbum::countAndClear_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("cleared");
    QTest::addColumn<int>("key");  // asked by a key, not a right press
    QTest::newRow("OK keeps") << 7 << int(MessageBoxes::AnswerOk) << false << 0;
    QTest::newRow("Cancel clears") << 7 << int(MessageBoxes::AnswerCancel) << true << 0;
    QTest::newRow("Escape keeps") << 7 << int(MessageBoxes::AnswerDismissed) << false << 0;
    QTest::newRow("31 rows from an edited file") << 31 << int(MessageBoxes::AnswerOk) << false << 0;
    QTest::newRow("the Menu key asks") << 7 << int(MessageBoxes::AnswerCancel) << true << int(Qt::Key_Menu);
    QTest::newRow("Shift+F10 asks") << 7 << int(MessageBoxes::AnswerOk) << false << int(Qt::Key_F10);
}

void TestAlbum::countAndClear()
{
    QFETCH(int, rows);
    QFETCH(int, answer);
    QFETCH(bool, cleared);
    QFETCH(int, key);
    GameFixture game;
    fillEternalAlbum(game, rows);
    game.writeLines(QStringLiteral("txt/03.dat"), {QStringLiteral("見えている")});
    game.startPlaying();
    Fom &w = game.window();
    selectRow(w.Lst[2], 3);
    game.messages.pushAnswer(answer);
    if (key == Qt::Key_Menu) {
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(), QPoint());  // what the Menu key sends
        QApplication::sendEvent(w.Lst[2], &menu);
    } else if (key == Qt::Key_F10) {
        QTest::keyClick(w.Lst[2], Qt::Key_F10, Qt::ShiftModifier);
    } else {
        rightPress(w.Lst[2], -1);  // anywhere on the list
    }
    QCOMPARE(game.messages.shown.size(), 1);
    QCOMPARE(game.messages.shown[0].text, QString::number(rows) + kClearQuestion);
    QCOMPARE(game.messages.shown[0].buttons, MessageBoxes::OkCancel);
    QCOMPARE(w.Lst[2]->listCount(), cleared ? 0 : rows);
    QCOMPARE(w.Lst[3]->listCount(), cleared ? 0 : rows);
    // What was on show stays on show.
    QVERIFY(w.BakSee->isVisible());
    QCOMPARE(w.NowBeast, QStringLiteral("03"));
    QCOMPARE(w.LblSee->caption(), QStringLiteral("\r\n見えている"));
    // Cleared on the disk at once, before the window closes.
    QCOMPARE(game.readBytes(QStringLiteral("txt/abm.dat")).isEmpty(), cleared);
}

QTEST_MAIN(TestAlbum)
#include "tst_album.moc"
