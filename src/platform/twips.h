#pragma once

#include <QSize>

class QScreen;
class QWidget;

// Twips: 1440 to the inch. Sizes and positions of the window and of the screen are
// measured in them; pixels convert through the logical dots per inch.
namespace twips {

constexpr double kPerInch = 1440.0;

double fromPixels(double pixels, double dpi);
int toPixels(double twips, double dpi);

// The logical dots per inch of the screen the widget is on (or the primary screen).
double dpiOf(const QWidget *widget);
// The whole screen's size in twips, task bars included; empty with no screen.
QSizeF screenSize(const QWidget *widget);

} // namespace twips
