#include "drawing.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QSvgRenderer>

namespace datagen {

namespace {

constexpr int kJpegQuality = 90;
// A fixed resolution, not the one of whatever screen is about, keeps the files
// the same on every build.
constexpr int kDotsPerMeter = 2835;  // 72 dots an inch

} // namespace

QImage renderDrawing(const QByteArray &svg, int size, QImage::Format format, const QColor &background,
                     const QString &what, Issues &issues)
{
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        issues.append({0, QStringLiteral("not a drawing that can be read (SVG)")});
        return {};
    }
    const QRectF box = renderer.viewBoxF();
    if (box.isEmpty() || !qFuzzyCompare(box.width(), box.height())) {
        issues.append({0, QStringLiteral("the view box is %1 × %2; %3 is square")
                              .arg(box.width())
                              .arg(box.height())
                              .arg(what)});
        return {};
    }
    QImage image(size, size, format);
    image.fill(background);
    image.setDotsPerMeterX(kDotsPerMeter);
    image.setDotsPerMeterY(kDotsPerMeter);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(0, 0, size, size));
    return image;
}

QByteArray encodeImage(const QImage &image, const char *format, Issues &issues)
{
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
