#include "pictures.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QSvgRenderer>

namespace datagen {

namespace {

// The creatures of a place are keys P0 to P9: P the place, the digit how rare.
constexpr int kWater = 1;
constexpr int kRarest = 9;

constexpr int kJpegQuality = 90;

} // namespace

QString creatureKey(int creature)
{
    return QStringLiteral("%1").arg(creature, 2, 10, QLatin1Char('0'));
}

const char *pictureFormat(int creature)
{
    if (creature % 10 == kRarest)
        return "png";
    if (creature / 10 == kWater)
        return "bmp";
    return "jpg";
}

QByteArray renderPicture(const QByteArray &svg, int size, const char *format, Issues &issues)
{
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        issues.append({0, QStringLiteral("not a drawing that can be read (SVG)")});
        return {};
    }
    const QRectF box = renderer.viewBoxF();
    if (box.isEmpty() || !qFuzzyCompare(box.width(), box.height())) {
        issues.append({0, QStringLiteral("the view box is %1 × %2; a creature's picture is square")
                              .arg(box.width())
                              .arg(box.height())});
        return {};
    }

    // Opaque: whatever the drawing leaves uncovered shows white, in every format.
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(Qt::white);
    // A fixed resolution, not the one of whatever screen is about, keeps the
    // file the same on every build.
    constexpr int kDotsPerMeter = 2835; // 72 dots an inch
    image.setDotsPerMeterX(kDotsPerMeter);
    image.setDotsPerMeterY(kDotsPerMeter);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        renderer.render(&painter, QRectF(0, 0, size, size));
    }

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (qstrcmp(format, "jpg") == 0) {
        writer.setQuality(kJpegQuality);
        writer.setOptimizedWrite(false);
        writer.setProgressiveScanWrite(false);
    }
    if (!writer.write(image)) {
        issues.append({0, QStringLiteral("could not be made into a %1 picture: %2")
                              .arg(QString::fromLatin1(format).toUpper(), writer.errorString())});
        return {};
    }
    return bytes;
}

} // namespace datagen
