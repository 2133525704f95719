#include "camera/rules.h"
#include "explore/wander.h"
#include "platform/random.h"
#include "support/scripted.h"

#include <QSet>
#include <QTest>

// The rules that need no window: what a shot catches, what the professor pays,
// and how a step leans the wandering points.
class TestRules : public QObject
{
    Q_OBJECT

private slots:
    void catchKey_data();
    void catchKey();
    void startOfGameCatchesAboutHalf();
    void nothingBelowABestValueOfTwelve_data();
    void nothingBelowABestValueOfTwelve();
    void rarityNineOnlyAtOneHundred();
    void rarityNeedsItsRoll();
    void payment_data();
    void payment();
    void wander_data();
    void wander();
};

namespace {

// A draw that gives exactly `roll` when multiplied by a best value of 100.
float rollOf(int roll)
{
    return (static_cast<float>(roll) + 0.5f) / 100.0f;
}

} // namespace

void TestRules::catchKey_data()
{
    QTest::addColumn<QList<int>>("points");
    QTest::addColumn<QList<float>>("draws");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("drawsTaken");

    // The extreme case: forest highest of the three and at most 10, or lowest and at least 90.
    QTest::newRow("start: roll 50 catches nothing") << QList<int>{0, 0, 0} << QList<float>{0.505f} << "" << 1;
    QTest::newRow("start: roll 51 catches") << QList<int>{0, 0, 0} << QList<float>{0.515f, 0.6f, 0.9f} << "12" << 3;
    QTest::newRow("start: first of six") << QList<int>{0, 0, 0} << QList<float>{0.99f, 0.1f, 0.1f} << "00" << 3;
    QTest::newRow("all low, forest highest") << QList<int>{-50, -60, -70} << QList<float>{0.8f, 0.0f, 0.5f} << "01" << 3;
    QTest::newRow("all high, forest lowest") << QList<int>{90, 95, 90} << QList<float>{0.7f, 0.5f, 0.4f} << "11" << 3;
    // The normal case.
    QTest::newRow("95,92,99 is not extreme: earth, roll 98")
        << QList<int>{95, 92, 99} << QList<float>{0.9999f, 0.5f} << "24" << 2;
    QTest::newRow("50,50,20: a tie goes to the forest") << QList<int>{50, 50, 20} << QList<float>{0.5f, 0.99f} << "02" << 2;
    QTest::newRow("0,5,3: water, never above 4") << QList<int>{0, 5, 3} << QList<float>{0.9999f} << "" << 1;
    QTest::newRow("water best of negatives") << QList<int>{-50, -40, -70} << QList<float>{0.9f} << "" << 1;
    QTest::newRow("roll 10: nothing") << QList<int>{100, 0, 0} << QList<float>{rollOf(10)} << "" << 1;
    QTest::newRow("roll 11: rarity of three") << QList<int>{100, 0, 0} << QList<float>{rollOf(11), 0.99f} << "02" << 2;
    QTest::newRow("roll 30: rarity of three") << QList<int>{100, 0, 0} << QList<float>{rollOf(30), 0.99f} << "02" << 2;
    QTest::newRow("roll 31: rarity of five") << QList<int>{100, 0, 0} << QList<float>{rollOf(31), 0.99f} << "04" << 2;
    QTest::newRow("roll 51: rarity of seven") << QList<int>{0, 100, 0} << QList<float>{rollOf(51), 0.99f} << "16" << 2;
    QTest::newRow("roll 70: rarity of seven") << QList<int>{0, 0, 100} << QList<float>{rollOf(70), 0.99f} << "26" << 2;
    QTest::newRow("roll 71: rarity of nine") << QList<int>{0, 0, 100} << QList<float>{rollOf(71), 0.99f} << "28" << 2;
    QTest::newRow("roll 98: rarity of nine") << QList<int>{100, 0, 0} << QList<float>{rollOf(98), 0.0f} << "00" << 2;
    QTest::newRow("roll 99: legendary, no draw") << QList<int>{100, 0, 0} << QList<float>{rollOf(99)} << "09" << 1;
}

void TestRules::catchKey()
{
    QFETCH(QList<int>, points);
    QFETCH(QList<float>, draws);
    QFETCH(QString, key);
    QFETCH(int, drawsTaken);
    ScriptedRandom random;
    for (float r : draws)
        random.push(r);
    const PlacePoints p{static_cast<std::int16_t>(points[0]), static_cast<std::int16_t>(points[1]),
                        static_cast<std::int16_t>(points[2])};
    QCOMPARE(::catchKey(p, random), key);
    QCOMPARE(random.taken(), drawsTaken);
}

void TestRules::startOfGameCatchesAboutHalf()
{
    ClockRandom random(20261206);
    const QSet<QString> allowed{"00", "01", "02", "10", "11", "12"};
    QHash<QString, int> seen;
    const int shots = 200000;
    int caught = 0;
    for (int i = 0; i < shots; ++i) {
        const QString key = ::catchKey(PlacePoints{0, 0, 0}, random);
        if (key.isEmpty())
            continue;
        ++caught;
        QVERIFY2(allowed.contains(key), qPrintable(key));
        ++seen[key];
    }
    // 49 in 100, spread evenly over the six.
    QVERIFY2(qAbs(caught / double(shots) - 0.49) < 0.005, qPrintable(QString::number(caught)));
    QCOMPARE(seen.size(), 6);
    for (int count : seen)
        QVERIFY(qAbs(count / double(caught) - 1.0 / 6) < 0.01);
}

void TestRules::nothingBelowABestValueOfTwelve_data()
{
    QTest::addColumn<QList<int>>("points");
    QTest::addColumn<bool>("catches");
    QTest::newRow("forest 11") << QList<int>{11, 0, -5} << false;
    QTest::newRow("water 11") << QList<int>{5, 11, 0} << false;
    QTest::newRow("earth 11") << QList<int>{-3, -90, 11} << false;
    QTest::newRow("forest 12") << QList<int>{12, 0, 0} << true;
    QTest::newRow("earth 12") << QList<int>{0, -20, 12} << true;
}

void TestRules::nothingBelowABestValueOfTwelve()
{
    QFETCH(QList<int>, points);
    QFETCH(bool, catches);
    ClockRandom random(7);
    const PlacePoints p{static_cast<std::int16_t>(points[0]), static_cast<std::int16_t>(points[1]),
                        static_cast<std::int16_t>(points[2])};
    int caught = 0;
    for (int i = 0; i < 20000; ++i)
        caught += !::catchKey(p, random).isEmpty();
    QCOMPARE(caught > 0, catches);
}

void TestRules::rarityNineOnlyAtOneHundred()
{
    ClockRandom random(99);
    int legendary = 0;
    const int shots = 200000;
    for (int i = 0; i < shots; ++i)
        legendary += ::catchKey(PlacePoints{100, 0, 0}, random) == u"09";
    QVERIFY2(qAbs(legendary / double(shots) - 0.01) < 0.001, qPrintable(QString::number(legendary)));
    for (int i = 0; i < shots; ++i)
        QVERIFY(!::catchKey(PlacePoints{0, 99, 0}, random).endsWith(u'9'));
}

void TestRules::rarityNeedsItsRoll()
{
    // Above 2 needs a best value of at least 32, above 4 at least 52, above 6 at least 72.
    ClockRandom random(3);
    const auto highest = [&](int best) {
        int top = -1;
        for (int i = 0; i < 50000; ++i) {
            const QString key = ::catchKey(PlacePoints{0, static_cast<std::int16_t>(best), 0}, random);
            if (!key.isEmpty())
                top = std::max(top, key[1].digitValue());
        }
        return top;
    };
    QCOMPARE(highest(31), 2);
    QCOMPARE(highest(32), 4);
    QCOMPARE(highest(51), 4);
    QCOMPARE(highest(52), 6);
    QCOMPARE(highest(71), 6);
    QCOMPARE(highest(72), 8);
}

void TestRules::payment_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("words");
    QTest::addColumn<int>("amount");
    QTest::newRow("undeveloped") << "現像前" << "29" << "現像前じゃないか" << 1;
    QTest::newRow("unjudged rare") << "判定前" << "19" << "判定前じゃないか" << 3;
    const QList<int> paid{40, 80, 120, 160, 200, 300, 360, 560, 640, 10000};
    for (int d = 0; d <= 9; ++d) {
        const QString words = d == 9   ? "これは珍しい！！"
                              : d >= 7 ? "珍しいぞ"
                              : d >= 5 ? "少し珍しいぞ"
                                       : "あんまり珍しくないな";
        QTest::addRow("rarity %d", d) << "生き物" << QStringLiteral("1%1").arg(d) << words << paid[d];
    }
}

void TestRules::payment()
{
    QFETCH(QString, status);
    QFETCH(QString, key);
    QFETCH(QString, words);
    QFETCH(int, amount);
    const Payment p = paymentFor(status, key);
    QCOMPARE(p.words, words);
    QCOMPARE(p.amount, amount);
}

void TestRules::wander_data()
{
    QTest::addColumn<QList<int>>("before");
    QTest::addColumn<int>("place");
    QTest::addColumn<int>("gain");
    QTest::addColumn<int>("loss");
    QTest::addColumn<QList<int>>("after");
    QTest::newRow("forest leans water away") << QList<int>{0, 0, 0} << 0 << 7 << 4 << QList<int>{7, -4, 0};
    QTest::newRow("water leans earth away") << QList<int>{0, 0, 0} << 1 << 2 << 9 << QList<int>{0, 2, -9};
    QTest::newRow("earth leans forest away") << QList<int>{5, 0, 0} << 2 << 3 << 8 << QList<int>{-3, 0, 3};
    QTest::newRow("98 + 9 stops at 100") << QList<int>{98, 0, 0} << 0 << 9 << 0 << QList<int>{100, 0, 0};
    QTest::newRow("-95 - 9 stops at -100") << QList<int>{0, -95, 0} << 0 << 0 << 9 << QList<int>{0, -100, 0};
}

void TestRules::wander()
{
    QFETCH(QList<int>, before);
    QFETCH(int, place);
    QFETCH(int, gain);
    QFETCH(int, loss);
    QFETCH(QList<int>, after);
    PlacePoints p{static_cast<std::int16_t>(before[0]), static_cast<std::int16_t>(before[1]),
                  static_cast<std::int16_t>(before[2])};
    ::wander(p, place, gain, loss);
    QCOMPARE((QList<int>{p[0], p[1], p[2]}), after);
}

QTEST_GUILESS_MAIN(TestRules)
#include "tst_rules.moc"
