#pragma once
// The window's shape from its skin: every pixel of the key colour is cut out.
#include <QImage>
#include <QRegion>
#include <optional>

// The region of the pixels of rows W4 wide (W4 the largest multiple of 4 not
// above the width) whose colour is not (red, green, blue); none when the bitmap
// has no pixels to read, and the window then stays rectangular.
std::optional<QRegion> BitmapToRegion(const QImage& bitmap, int red, int green, int blue);
