#pragma once

#include "content.h"

#include <QByteArray>
#include <QString>

// The creatures' pictures: each one is drawn in content/img/<key>.svg and
// stored in bin/img/<key>.dat as an ordinary image file. The game reads a
// picture by what is in the file, never by its ".dat" name, so the pictures
// need not share one format: each is kept in the one that suits it.
namespace datagen {

inline constexpr int kPictureSize = 256;

// "00" to "29": the key of the creature with number `creature`.
QString creatureKey(int creature);

// The image format the creature's picture is stored in ("jpg", "bmp", "png").
// Photographs of the woods and of the earth are JPEG; the water's creatures
// are kept as BMP; the three gods, with their fine gold work, as lossless PNG.
const char *pictureFormat(int creature);

// The drawing (SVG, square view box) rendered on an opaque `size` × `size`
// picture, in `format`. The bytes are the same on every run. On failure they
// are empty and `issues` says why.
QByteArray renderPicture(const QByteArray &svg, int size, const char *format, Issues &issues);

} // namespace datagen
