#pragma once

#include "content.h"

#include <QByteArray>
#include <QColor>
#include <QImage>

namespace datagen {

// A drawing (SVG with a square view box) painted on a `size` × `size` image that
// is first filled with `background`. A null image, with `issues` saying why, when
// the drawing cannot be read or is not square; `what` names it there.
QImage renderDrawing(const QByteArray &svg, int size, QImage::Format format, const QColor &background,
                     const QString &what, Issues &issues);

// `image` as a file in `format` ("png", "jpg", "bmp"), the same bytes on every
// run; empty, with `issues` saying why, on failure.
QByteArray encodeImage(const QImage &image, const char *format, Issues &issues);

} // namespace datagen
