#pragma once

#include <QRect>
#include <QRectF>

// The pixel rectangle of `units` on a grid of units spread over `area`. Edges, not
// sizes, are rounded to whole pixels, so controls that meet in the grid meet on
// the screen.
QRect gridToPixels(const QRectF &grid, const QRect &area, const QRectF &units);
