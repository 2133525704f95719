#include "core/fom.h"
#include "platform/messagebox.h"
#include "platform/picturebox.h"
#include "screen/controls.h"
#include "support/gamefixture.h"

#include <QTest>

namespace {

// Puts photographs straight into the current album: status and key per row.
void addPhotographs(Fom &w, const QList<QPair<QString, QString>> &photographs)
{
    for (const auto &[status, key] : photographs) {
        w.Lst[0]->addRow(status);
        w.Lst[1]->addRow(key);
    }
}

QStringList statuses(const Fom &w)
{
    QStringList result;
    for (int i = 0; i < w.Lst[0]->listCount(); ++i)
        result << w.Lst[0]->list(i);
    return result;
}

} // namespace

// The camera buttons after the shutter: the selection they work on, developing,
// judging, sending, and money.
class TestCamera : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void nothingSelected_data();
    void nothingSelected();
    void judgingNamesEveryDevelopedPhotographOfTheKind();
    void judgingTwiceIsRefused();
    void developingTwiceIsRefused();
    void emptyNameActsLikeNoSelection();
    void viewingAnUndevelopedPhotographSetsTheCreature();
    void viewWithoutDescriptionShowsAnEmptyOne();
    void developingTheLastRowKeepsTheSelection();
    void sendingMovesTheSelection();
    void sendingAKnownCreatureAddsNothing();
    void sendingAnUnjudgedRarePhotograph();
    void moneyIsCappedAndMayGoNegative();
    void newRowKeepsTheSelection();

private:
    std::unique_ptr<GameFixture> m_game;
};

void TestCamera::init()
{
    m_game = std::make_unique<GameFixture>();
    m_game->startPlaying();
}

void TestCamera::cleanup()
{
    m_game.reset();
}

void TestCamera::nothingSelected_data()
{
    QTest::addColumn<int>("button");
    for (int i = 1; i <= 4; ++i)
        QTest::addRow("button %d", i) << i;
}

void TestCamera::nothingSelected()
{
    QFETCH(int, button);
    Fom &w = m_game->window();
    addPhotographs(w, {{"現像前", "03"}});
    w.BakSee->show();
    w.Lbl->setCaption(QStringLiteral("前の言葉"));
    QTest::mouseClick(w.ComMove[button], Qt::LeftButton);
    QCOMPARE(m_game->messages.shown.size(), 1);
    QCOMPARE(m_game->messages.shown[0].text, QStringLiteral("獣が選ばれてないよ"));
    QCOMPARE(m_game->messages.shown[0].buttons, MessageBoxes::Ok);
    QCOMPARE(w.Lbl->caption(), QString());
    QCOMPARE(w.LblSee->caption(), QString());
    QVERIFY(!w.BakSee->isVisible());
    QCOMPARE(statuses(w), QStringList{QStringLiteral("現像前")});
    QCOMPARE(w.Money, 0);
}

void TestCamera::judgingNamesEveryDevelopedPhotographOfTheKind()
{
    Fom &w = m_game->window();
    addPhotographs(w, {{"判定前", "14"}, {"判定前", "03"}, {"判定前", "14"}, {"現像前", "14"}});
    w.Lst[0]->setListIndex(2);
    QTest::mouseClick(w.ComMove[3], Qt::LeftButton);
    QCOMPARE(w.Lbl->caption(), QStringLiteral("これは生き物14だな。\r\nよく見つけたね"));
    QCOMPARE(statuses(w), (QStringList{"生き物14", "判定前", "生き物14", "現像前"}));
    QVERIFY(w.BeastKnown[14]);
    QCOMPARE(w.Money, -100);
    QCOMPARE(w.Lst[0]->listIndex(), 2);
    // The undeveloped one of a known kind develops straight to its name.
    w.Lst[0]->setListIndex(3);
    QTest::mouseClick(w.ComMove[2], Qt::LeftButton);
    QCOMPARE(w.Lst[0]->list(3), QStringLiteral("生き物14"));
    QCOMPARE(w.Money, -110);
}

void TestCamera::judgingTwiceIsRefused()
{
    Fom &w = m_game->window();
    addPhotographs(w, {{"判定前", "22"}, {"現像前", "07"}});
    w.Lst[0]->setListIndex(0);
    QTest::mouseClick(w.ComMove[3], Qt::LeftButton);
    QTest::mouseClick(w.ComMove[3], Qt::LeftButton);
    QCOMPARE(w.Lbl->caption(), QStringLiteral("それは判定できないよ"));
    QCOMPARE(w.Money, -100);
    w.Lst[0]->setListIndex(1);
    QTest::mouseClick(w.ComMove[3], Qt::LeftButton);
    QCOMPARE(w.Lbl->caption(), QStringLiteral("それは判定できないよ"));
    QCOMPARE(w.Money, -100);
    QVERIFY(!w.BeastKnown[7]);
}

void TestCamera::developingTwiceIsRefused()
{
    Fom &w = m_game->window();
    addPhotographs(w, {{"現像前", "01"}});
    w.Lst[0]->setListIndex(0);
    QTest::mouseClick(w.ComMove[2], Qt::LeftButton);
    QTest::mouseClick(w.ComMove[2], Qt::LeftButton);
    QCOMPARE(w.Lbl->caption(), QStringLiteral("それは現像できないよ"));
    QCOMPARE(statuses(w), QStringList{QStringLiteral("判定前")});
    QCOMPARE(w.LblMoney->caption(), QStringLiteral("-10円"));
}

void TestCamera::emptyNameActsLikeNoSelection()
{
    Fom &w = m_game->window();
    w.BeastName[6] = QString();
    addPhotographs(w, {{"判定前", "06"}});
    w.Lst[0]->setListIndex(0);
    QTest::mouseClick(w.ComMove[3], Qt::LeftButton);
    QCOMPARE(statuses(w), QStringList{QString()});
    QTest::mouseClick(w.ComMove[4], Qt::LeftButton);
    QCOMPARE(m_game->messages.shown.size(), 1);
    QCOMPARE(w.Lst[0]->listCount(), 1);
}

void TestCamera::viewingAnUndevelopedPhotographSetsTheCreature()
{
    Fom &w = m_game->window();
    addPhotographs(w, {{"現像前", "27"}});
    w.Lst[0]->setListIndex(0);
    QTest::mouseClick(w.ComMove[1], Qt::LeftButton);
    QCOMPARE(w.NowBeast, QStringLiteral("27"));
    QVERIFY(w.BakSee->isVisible());
    QVERIFY(!w.Pic->isVisible());
    QCOMPARE(w.Money, 0);
}

void TestCamera::viewWithoutDescriptionShowsAnEmptyOne()
{
    Fom &w = m_game->window();
    addPhotographs(w, {{"生き物11", "11"}});
    w.Lst[0]->setListIndex(0);
    QTest::mouseClick(w.ComMove[1], Qt::LeftButton);  // neither picture nor description exists
    QVERIFY(w.BakSee->isVisible());
    QCOMPARE(w.LblSee->caption(), QString());
    QCOMPARE(w.NowBeast, QStringLiteral("11"));
    QVERIFY(!w.files().isOpen(w.FileNo));
}

void TestCamera::developingTheLastRowKeepsTheSelection()
{
    Fom &w = m_game->window();
    addPhotographs(w, {{"現像前", "00"}, {"現像前", "01"}});
    w.Lst[0]->setListIndex(1);
    QTest::mouseClick(w.ComMove[2], Qt::LeftButton);
    QCOMPARE(w.Lst[0]->listIndex(), 1);
    QCOMPARE(statuses(w), (QStringList{"現像前", "判定前"}));
}

void TestCamera::sendingMovesTheSelection()
{
    Fom &w = m_game->window();
    addPhotographs(w, {{"現像前", "00"}, {"判定前", "01"}, {"現像前", "02"}});
    w.Lst[0]->setListIndex(2);
    QTest::mouseClick(w.ComMove[4], Qt::LeftButton);
    QCOMPARE(w.Lbl->caption(), QStringLiteral("現像前じゃないか\r\n1円支払おう"));
    QCOMPARE(w.Lst[0]->listIndex(), 1);
    QTest::mouseClick(w.ComMove[4], Qt::LeftButton);
    QCOMPARE(w.Lbl->caption(), QStringLiteral("判定前じゃないか\r\n3円支払おう"));
    QCOMPARE(w.Lst[0]->listIndex(), 0);
    QTest::mouseClick(w.ComMove[4], Qt::LeftButton);
    QCOMPARE(w.Lst[0]->listIndex(), -1);
    QCOMPARE(w.Lst[1]->listCount(), 0);
    QCOMPARE(w.Money, 5);
    QCOMPARE(w.Lst[2]->listCount(), 0);
}

void TestCamera::sendingAKnownCreatureAddsNothing()
{
    Fom &w = m_game->window();
    w.Lst[2]->addRow(QStringLiteral("生き物18"));
    w.Lst[3]->addRow(QStringLiteral("18"));
    addPhotographs(w, {{"生き物18", "18"}, {"生き物25", "25"}});
    w.Lst[0]->setListIndex(0);
    QTest::mouseClick(w.ComMove[4], Qt::LeftButton);
    QCOMPARE(w.Lbl->caption(), QStringLiteral("珍しいぞ\r\n640円支払おう"));
    QCOMPARE(w.Lst[2]->listCount(), 1);
    QTest::mouseClick(w.ComMove[4], Qt::LeftButton);
    QCOMPARE(w.Lbl->caption(), QStringLiteral("少し珍しいぞ\r\n300円支払おう"));
    QCOMPARE(w.Lst[2]->list(1), QStringLiteral("生き物25"));
    QCOMPARE(w.Lst[3]->list(1), QStringLiteral("25"));
    QCOMPARE(w.Money, 940);
}

void TestCamera::sendingAnUnjudgedRarePhotograph()
{
    Fom &w = m_game->window();
    addPhotographs(w, {{"判定前", "29"}});
    w.Lst[0]->setListIndex(0);
    QTest::mouseClick(w.ComMove[4], Qt::LeftButton);
    QCOMPARE(w.Money, 3);
    QCOMPARE(w.Lst[2]->listCount(), 0);
    QCOMPARE(w.Lst[3]->listCount(), 0);
}

void TestCamera::moneyIsCappedAndMayGoNegative()
{
    Fom &w = m_game->window();
    w.m_henka(95000);
    w.m_henka(10000);
    QCOMPARE(w.Money, 100000);
    QCOMPARE(w.LblMoney->caption(), QStringLiteral("100000円"));
    w.m_henka(10000);
    QCOMPARE(w.Money, 100000);
    w.m_henka(-100000 - 19);
    QCOMPARE(w.LblMoney->caption(), QStringLiteral("-19円"));
    w.LblMoney->setCaption(QString());
    w.m_henka(0);
    QCOMPARE(w.LblMoney->caption(), QStringLiteral("-19円"));
}

void TestCamera::newRowKeepsTheSelection()
{
    Fom &w = m_game->window();
    addPhotographs(w, {{"現像前", "00"}, {"現像前", "01"}});
    w.Lst[0]->setListIndex(0);
    m_game->random.pushAll({0.9f, 0.0f, 0.0f});
    QTest::mouseClick(w.ComMove[0], Qt::LeftButton);
    QCOMPARE(w.Lst[0]->listCount(), 3);
    QCOMPARE(w.Lst[0]->listIndex(), 0);
}

QTEST_MAIN(TestCamera)
#include "tst_camera.moc"
