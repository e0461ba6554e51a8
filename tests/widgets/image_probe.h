// image_probe.h — small helpers for looking at rendered components pixel by pixel.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <functional>

namespace velorin::test {

// Liberation Sans at `pixelSize`, drawn without anti-aliasing so that every pixel is
// either text or not, and images can be compared exactly.
QFont AliasedFont(int pixelSize, bool bold = false);
QFont SmoothFont(int pixelSize, bool bold = false);

QImage TransparentImage(QSize size);

// The colour of a pixel without its alpha, and whether it is fully opaque.
QRgb RgbAt(const QImage& image, int x, int y);
bool OpaqueAt(const QImage& image, int x, int y);
bool TransparentAt(const QImage& image, int x, int y);

int CountPixels(const QImage& image, const std::function<bool(QRgb)>& test);
int CountRgb(const QImage& image, const QColor& color);  // opaque pixels of that colour

// The smallest rectangle around the pixels that pass `test` (null when none do).
QRect Bounds(const QImage& image, const std::function<bool(QRgb)>& test);
QRect OpaqueBounds(const QImage& image);

// Draws the pixels of `mask` that are not transparent onto `target` at (dx, dy), in
// `color`.
void Stamp(QImage& target, const QImage& mask, int dx, int dy, const QColor& color);

// Saves an image under the build directory when VELORIN_KEEP_IMAGES is set, for looking.
void Keep(const QImage& image, const QString& name);

}  // namespace velorin::test
