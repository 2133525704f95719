#include "core/fom.h"

#include "core/albumfile.h"
#include "platform/picturebox.h"
#include "platform/regularfile.h"

#include <QBuffer>
#include <QImageReader>

void Fom::PicShow(const QString &key)
{
    Pic->clear();
    if (!key.isEmpty()) {
        // The format is told by the content, never by the ".dat" extension. A missing
        // or unreadable picture leaves Pic blank and the game going.
        QImage picture;
        // Never a path out of img/, never a file that is not a file.
        FileRead file = isCreatureKey(key) ? readRegularFile(PathImg + key + QStringLiteral(".dat")) : FileRead{};
        if (file.ok()) {
            QBuffer bytes(&file.bytes);
            QImageReader reader(&bytes);
            reader.setDecideFormatFromContent(true);
            picture = reader.read();
        }
        E->setPicture(picture);
        if (picture.isNull())
            return;
    }
    if (!paintHeldPicture())
        return;
    Pic->show();
}

bool Fom::paintHeldPicture()
{
    if (E->picture().isNull())
        return false;
    Pic->setScalePixels();
    E->setScalePixels();
    Pic->paintPicture(E->picture(), QRect(QPoint(0, 0), Pic->innerRect().size()),
                      QRect(QPoint(0, 0), E->innerRect().size()));
    return true;
}
