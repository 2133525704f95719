#include "pictures.h"

#include "drawing.h"

namespace datagen {

namespace {

// The creatures of a place are keys P0 to P9: P the place, the digit how rare.
constexpr int kWater = 1;
constexpr int kRarest = 9;

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
    // Opaque: whatever the drawing leaves uncovered shows white, in every format.
    const QImage image = renderDrawing(svg, size, QImage::Format_RGB32, Qt::white,
                                       QStringLiteral("a creature's picture"), issues);
    if (image.isNull())
        return {};
    return encodeImage(image, format, issues);
}

} // namespace datagen
