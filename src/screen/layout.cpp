#include "screen/layout.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace layout {

namespace {

constexpr double kInt16Max = std::numeric_limits<std::int16_t>::max();
constexpr double kInt16Min = std::numeric_limits<std::int16_t>::min();

bool fitsInt16(double value)
{
    return value >= kInt16Min && value <= kInt16Max;
}

} // namespace

std::optional<int> aspectWidth(double outerHeightTwips)
{
    const double sixth = std::nearbyint(outerHeightTwips / 6);  // the default rounding mode: ties to even
    if (!fitsInt16(sixth) || !fitsInt16(sixth * 8))
        return std::nullopt;
    return static_cast<int>(sixth) * 8;
}

int baseFontSize(double outerHeightTwips)
{
    return static_cast<int>(std::floor(outerHeightTwips / 100 / 10)) + 2;
}

} // namespace layout
