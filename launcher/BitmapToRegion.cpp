#include "launcher/BitmapToRegion.h"

#include <QRect>
#include <vector>

std::optional<QRegion> BitmapToRegion(const QImage& bitmap, int red, int green, int blue) {
    if (bitmap.isNull())
        return std::nullopt;
    const QImage pixels = bitmap.convertToFormat(QImage::Format_RGB32);
    const int width4 = pixels.width() / 4 * 4;
    const QRgb key = qRgb(red, green, blue);
    // Runs of kept pixels per row; one region built from all of them at once is
    // far cheaper than cutting single pixels out of a rectangle.
    std::vector<QRect> runs;
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        int x = 0;
        while (x < width4) {
            while (x < width4 && (line[x] & 0xFFFFFFu) == (key & 0xFFFFFFu))
                ++x;
            int start = x;
            while (x < width4 && (line[x] & 0xFFFFFFu) != (key & 0xFFFFFFu))
                ++x;
            if (x > start)
                runs.emplace_back(start, y, x - start, 1);
        }
    }
    QRegion region;
    region.setRects(runs.data(), static_cast<int>(runs.size()));
    return region;
}
