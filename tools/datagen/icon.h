#pragma once

#include "content.h"

#include <QByteArray>

namespace datagen {

// The icon: the drawing (SVG, square view box) rendered as a
// `size` × `size` PNG. On failure the PNG is empty and `issues` says why.
QByteArray renderIcon(const QByteArray &svg, int size, Issues &issues);

} // namespace datagen
