#pragma once

#include <QRectF>

#include <optional>

// The arithmetic of the proportional layout, apart from any window.
namespace layout {

// Below this outer height (twips) the controls are left where they are.
constexpr double kMinimumHeightTwips = 800;

// The window's grid: 8 × 6 usable units with a margin of 0.1 unit on every side.
inline const QRectF kWindowGrid{-0.1, -0.1, 8.2, 6.2};

// The 4:3 outer width for an outer height: height / 6 rounded half to even into a
// 16-bit integer, times 8 in 16-bit arithmetic. Nothing when that overflows.
std::optional<int> aspectWidth(double outerHeightTwips);

// Base font size in points: Int(height / 100 / 10) + 2.
int baseFontSize(double outerHeightTwips);

} // namespace layout
