#include "platform/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace twips {

namespace {

constexpr double kFallbackDpi = 96.0;

const QScreen *screenOf(const QWidget *widget)
{
    if (widget != nullptr) {
        if (const QScreen *screen = widget->screen())
            return screen;
    }
    return QGuiApplication::primaryScreen();
}

} // namespace

double fromPixels(double pixels, double dpi)
{
    return pixels * kPerInch / dpi;
}

int toPixels(double twips, double dpi)
{
    return qRound(twips * dpi / kPerInch);
}

double dpiOf(const QWidget *widget)
{
    const QScreen *screen = screenOf(widget);
    if (screen == nullptr)
        return kFallbackDpi;
    const double dpi = screen->logicalDotsPerInchY();
    return dpi > 0 ? dpi : kFallbackDpi;
}

QSizeF screenSize(const QWidget *widget)
{
    const QScreen *screen = screenOf(widget);
    if (screen == nullptr)
        return QSizeF();
    const double dpi = dpiOf(widget);
    const QSize pixels = screen->geometry().size();
    return QSizeF(fromPixels(pixels.width(), dpi), fromPixels(pixels.height(), dpi));
}

} // namespace twips
