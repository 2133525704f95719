#pragma once

#include <QRectF>

#include <optional>

// The arithmetic of the proportional layout, apart from any window.
namespace layout {

// Below this outer height (twips) the controls are left where they are.
constexpr double kMinimumHeightTwips = 800;

// The window's grid: 8 × 6 usable units with a margin of 0.1 unit on every side.
inline const QRectF kWindowGrid{-0.1, -0.1, 8.2, 6.2};

// The 4:3 outer width for an outer height: height / 6 rounded half to even, times
// 8. In a 16-bit integer that overflowed from 24,573 twips (a screen about 2,048
// pixels high) and left tall windows unshaped; it is computed wide enough for any
// screen. Nothing only for a height no window has.
std::optional<int> aspectWidth(double outerHeightTwips);

// Base font size in points: Int(height / 100 / 10) + 2.
int baseFontSize(double outerHeightTwips);

} // namespace layout
