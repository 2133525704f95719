#include "screen/layout.h"

#include <cmath>
#include <limits>

namespace layout {

std::optional<int> aspectWidth(double outerHeightTwips)
{
    const double sixth = std::nearbyint(outerHeightTwips / 6);  // the default rounding mode: ties to even
    if (!(sixth >= 0 && sixth * 8 <= std::numeric_limits<int>::max()))
        return std::nullopt;
    return static_cast<int>(sixth) * 8;
}

int baseFontSize(double outerHeightTwips)
{
    return static_cast<int>(std::floor(outerHeightTwips / 100 / 10)) + 2;
}

} // namespace layout
