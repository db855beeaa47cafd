#pragma once
// The illustrations of the home methods: what the motor does to find home,
// drawn on demand so that they follow the desktop's palette and scale.

#include <QPalette>
#include <QPixmap>
#include <QSize>

namespace velkor::setup::ui {

// The home-method illustration `image` (1..9) at `size` logical pixels in the colours of `palette`;
// a null pixmap for any other number.
QPixmap HomePicture(int image, QSize size, const QPalette& palette, qreal devicePixelRatio = 1.0);

}  // namespace velkor::setup::ui
