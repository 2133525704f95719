#include "icon.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QSvgRenderer>

namespace datagen {

QByteArray renderIcon(const QByteArray &svg, int size, Issues &issues)
{
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        issues.append({0, QStringLiteral("not a drawing that can be read (SVG)")});
        return {};
    }
    const QRectF box = renderer.viewBoxF();
    if (box.isEmpty() || !qFuzzyCompare(box.width(), box.height())) {
        issues.append({0, QStringLiteral("the view box is %1 × %2; the icon is square")
                              .arg(box.width())
                              .arg(box.height())});
        return {};
    }

    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    // A fixed resolution, not the one of whatever screen is about, keeps the
    // PNG the same on every build.
    constexpr int kDotsPerMeter = 2835; // 72 dots an inch
    image.setDotsPerMeterX(kDotsPerMeter);
    image.setDotsPerMeterY(kDotsPerMeter);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, size, size));
    }

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image.convertToFormat(QImage::Format_ARGB32))) {
        issues.append({0, QStringLiteral("could not be made into a PNG: %1").arg(writer.errorString())});
        return {};
    }
    return png;
}

} // namespace datagen
