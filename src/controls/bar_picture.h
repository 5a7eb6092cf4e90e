#pragma once

// The two pictures of the batch progress window: the bar revealed as the work advances, and the
// same shape in a darker blue behind it. Both share one outline so the reveal has no seam.

#include <QPixmap>

namespace controls {

constexpr int BarPictureWidth = 287;
constexpr int BarPictureHeight = 29;

// back = false: the bright blue bar; back = true: the darker background.
QPixmap makeProgressBarPicture(bool back);

}  // namespace controls
