#include "platform/grid.h"

#include <cmath>

QRect gridToPixels(const QRectF &grid, const QRect &area, const QRectF &units)
{
    const auto x = [&](double u) {
        return area.left() + static_cast<int>(std::lround((u - grid.left()) / grid.width() * area.width()));
    };
    const auto y = [&](double u) {
        return area.top() + static_cast<int>(std::lround((u - grid.top()) / grid.height() * area.height()));
    };
    const int left = x(units.left());
    const int top = y(units.top());
    return QRect(left, top, x(units.right()) - left, y(units.bottom()) - top);
}
