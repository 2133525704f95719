#include "icon.h"

#include "drawing.h"

namespace datagen {

QByteArray renderIcon(const QByteArray &svg, int size, Issues &issues)
{
    const QImage image = renderDrawing(svg, size, QImage::Format_ARGB32_Premultiplied, Qt::transparent,
                                       QStringLiteral("the icon"), issues);
    if (image.isNull())
        return {};
    return encodeImage(image.convertToFormat(QImage::Format_ARGB32), "png", issues);
}

} // namespace datagen
