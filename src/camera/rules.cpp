#include "camera/rules.h"

#include "platform/random.h"

#include <cmath>

QString catchKey(const PlacePoints &points, RandomSource &random)
{
    const int forest = points[0];
    const int water = points[1];
    const int earth = points[2];
    // Only the forest is measured against the edges: lowest of the three and at
    // least 90, or highest of the three and at most 10 (as at the start of a game).
    const bool extreme = (forest >= 90 && water >= forest && earth >= forest)
                         || (forest <= 10 && water <= forest && earth <= forest);
    if (extreme) {
        if (random.draw(100) <= 50)
            return {};
        const int place = random.draw(2);
        const int rarity = random.draw(3);
        return QString::number(place) + QString::number(rarity);
    }

    int best = 0;
    for (int j = 1; j <= 2; ++j) {
        if (points[best] < points[j])
            best = j;
    }
    const auto roll = static_cast<int>(std::floor(random.next() * static_cast<float>(points[best])));
    int rarity;
    if (roll <= 10)
        return {};
    if (roll <= 30)
        rarity = random.draw(3);
    else if (roll <= 50)
        rarity = random.draw(5);
    else if (roll <= 70)
        rarity = random.draw(7);
    else if (roll >= 99)
        rarity = 9;
    else
        rarity = random.draw(9);
    return QString::number(best) + QString::number(rarity);
}

Payment paymentFor(const QString &status, const QString &key)
{
    if (status == kUndeveloped)
        return {QStringLiteral("現像前じゃないか"), 1};
    if (status == kUnjudged)
        return {QStringLiteral("判定前じゃないか"), 3};
    const int rarity = key.size() >= 2 && key[1].isDigit() ? key[1].digitValue() : 0;
    if (rarity == 9)
        return {QStringLiteral("これは珍しい！！"), 10000};
    if (rarity >= 7)
        return {QStringLiteral("珍しいぞ"), 80 * rarity};
    if (rarity >= 5)
        return {QStringLiteral("少し珍しいぞ"), 60 * rarity};
    return {QStringLiteral("あんまり珍しくないな"), 40 * rarity + 40};
}

QString filmCaption(int shots, int film)
{
    return QString::number(shots) + QStringLiteral("枚／") + QString::number(film) + QStringLiteral("枚");
}

QString moneyCaption(std::int32_t money)
{
    return QString::number(money) + QStringLiteral("円");
}
