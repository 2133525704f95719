#pragma once

#include "explore/wander.h"

#include <QString>

#include <cstdint>

class RandomSource;

// What a shot catches from the wandering points: a two-digit creature key (place,
// then rarity), or the empty text for nothing. Draws come from `random` in order.
QString catchKey(const PlacePoints &points, RandomSource &random);

// The professor's words and payment for a photograph sent to him.
struct Payment
{
    QString words;
    int amount;
};
Payment paymentFor(const QString &status, const QString &key);

// The counters' captions: shots taken of a film of `film` ("37枚／100枚"), and money
// ("-16円").
QString filmCaption(int shots, int film);
QString moneyCaption(std::int32_t money);

// The statuses of a photograph before it has a name.
inline const QString kUndeveloped = QStringLiteral("現像前");
inline const QString kUnjudged = QStringLiteral("判定前");
