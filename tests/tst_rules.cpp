#include "camera/rules.h"
#include "explore/wander.h"
#include "platform/codepage.h"
#include "screen/layout.h"
#include "support/scripted.h"

#include <QTest>

// The rules that need no window, at their edges: what a shot catches, what the
// professor pays, the 4:3 arithmetic and the code page. (How a step leans the
// places is played through the window in tst_play.)
Q_DECLARE_METATYPE(PlacePoints)

class TestRules : public QObject
{
    Q_OBJECT

private slots:
    void catchKey_data();
    void catchKey();
    void payment_data();
    void payment();
    void layoutArithmetic_data();
    void layoutArithmetic();
    void codePage932_data();
    void codePage932();
};

namespace {

// A draw that rolls exactly `roll` from a best value of 100.
float rollOf(int roll)
{
    return (static_cast<float>(roll) + 0.5f) / 100.0f;
}

} // namespace

void TestRules::catchKey_data()
{
    QTest::addColumn<PlacePoints>("places");
    QTest::addColumn<QList<float>>("draws");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("drawsTaken");
    // Forest highest and at most 10, or lowest and at least 90: one of six, 49 in 100.
    QTest::newRow("start, roll 50: nothing") << PlacePoints{0, 0, 0} << QList<float>{0.505f} << "" << 1;
    QTest::newRow("all high, forest lowest") << PlacePoints{90, 95, 90} << QList<float>{0.7f, 0.5f, 0.4f} << "11" << 3;
    // Otherwise the best place rolls; ties go to the lower place; the roll picks the band.
    QTest::newRow("50,50,20: forest") << PlacePoints{50, 50, 20} << QList<float>{0.5f, 0.99f} << "02" << 2;
    QTest::newRow("roll 10: nothing") << PlacePoints{100, 0, 0} << QList<float>{rollOf(10)} << "" << 1;
    QTest::newRow("roll 11: of three") << PlacePoints{100, 0, 0} << QList<float>{rollOf(11), 0.99f} << "02" << 2;
    QTest::newRow("roll 31: of five") << PlacePoints{100, 0, 0} << QList<float>{rollOf(31), 0.99f} << "04" << 2;
    QTest::newRow("roll 51: of seven") << PlacePoints{0, 100, 0} << QList<float>{rollOf(51), 0.99f} << "16" << 2;
    QTest::newRow("roll 71: of nine") << PlacePoints{0, 0, 100} << QList<float>{rollOf(71), 0.99f} << "28" << 2;
    QTest::newRow("roll 98: of nine") << PlacePoints{100, 0, 0} << QList<float>{rollOf(98), 0.0f} << "00" << 2;
    QTest::newRow("roll 99: legendary") << PlacePoints{100, 0, 0} << QList<float>{rollOf(99)} << "09" << 1;
}

void TestRules::catchKey()
{
    QFETCH(PlacePoints, places);
    QFETCH(QList<float>, draws);
    QFETCH(QString, key);
    QFETCH(int, drawsTaken);
    ScriptedRandom random;
    for (float r : draws)
        random.pushAll({r});
    QCOMPARE(::catchKey(places, random), key);
    QCOMPARE(random.taken(), drawsTaken);
}

void TestRules::payment_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("words");
    QTest::addColumn<int>("amount");
    QTest::newRow("undeveloped") << "現像前" << "29" << "現像前じゃないか" << 1;
    QTest::newRow("unjudged") << "判定前" << "19" << "判定前じゃないか" << 3;
    const QList<int> paid{40, 80, 120, 160, 200, 300, 360, 560, 640, 10000};
    for (int d = 0; d <= 9; ++d) {
        const QString words = d == 9 ? "これは珍しい！！" : d >= 7 ? "珍しいぞ" : d >= 5 ? "少し珍しいぞ" : "あんまり珍しくないな";
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

void TestRules::layoutArithmetic_data()
{
    QTest::addColumn<double>("height");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("font");
    QTest::newRow("7275: 1212.5 rounds to even") << 7275.0 << 9696 << 9;
    QTest::newRow("7281: 1213.5 rounds to even") << 7281.0 << 9712 << 9;
    QTest::newRow("799") << 799.0 << 1064 << 2;
    QTest::newRow("10000") << 10000.0 << 13336 << 12;
    // Past where the old 16-bit product ended: a 2160-pixel screen.
    QTest::newRow("25920") << 25920.0 << 34560 << 27;
}

void TestRules::layoutArithmetic()
{
    QFETCH(double, height);
    QFETCH(int, width);
    QFETCH(int, font);
    QCOMPARE(layout::aspectWidth(height), std::optional<int>(width));
    QCOMPARE(layout::baseFontSize(height), font);
}

void TestRules::codePage932_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("trail byte 5C is no backslash") << QStringLiteral("表") << QByteArray("\x95\x5c");
    // Microsoft's table, not plain Shift_JIS.
    QTest::newRow("fullwidth tilde") << QStringLiteral("\uff5e") << QByteArray("\x81\x60");
    QTest::newRow("circled one") << QStringLiteral("①") << QByteArray("\x87\x40");
    QTest::newRow("backslash and tilde") << QStringLiteral("\\~") << QByteArray("\x5c\x7e");
}

void TestRules::codePage932()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(codepage::encode(text).toHex(' '), bytes.toHex(' '));
    QCOMPARE(codepage::decode(bytes), text);
    QVERIFY(codepage::canEncode(text));
    QVERIFY(!codepage::canEncode(QStringLiteral("\u301c")));  // the wave dash has no form here
}

QTEST_GUILESS_MAIN(TestRules)
#include "tst_rules.moc"
