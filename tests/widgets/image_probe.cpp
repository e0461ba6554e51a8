#include "image_probe.h"

#include <QDir>

namespace velorin::test {

QFont AliasedFont(int pixelSize, bool bold) {
  QFont font = SmoothFont(pixelSize, bold);
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

QFont SmoothFont(int pixelSize, bool bold) {
  QFont font(QStringLiteral("Liberation Sans"));
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

QImage TransparentImage(QSize size) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

QRgb RgbAt(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; }
bool OpaqueAt(const QImage& image, int x, int y) { return qAlpha(image.pixel(x, y)) == 255; }
bool TransparentAt(const QImage& image, int x, int y) { return qAlpha(image.pixel(x, y)) == 0; }

int CountPixels(const QImage& image, const std::function<bool(QRgb)>& test) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (test(image.pixel(x, y))) ++count;
    }
  }
  return count;
}

int CountRgb(const QImage& image, const QColor& color) {
  const QRgb wanted = color.rgb() | 0xFF000000u;
  return CountPixels(image, [wanted](QRgb p) { return p == wanted; });
}

QRect Bounds(const QImage& image, const std::function<bool(QRgb)>& test) {
  QRect result;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (test(image.pixel(x, y))) result = result.united(QRect(x, y, 1, 1));
    }
  }
  return result;
}

QRect OpaqueBounds(const QImage& image) {
  return Bounds(image, [](QRgb p) { return qAlpha(p) != 0; });
}

void Stamp(QImage& target, const QImage& mask, int dx, int dy, const QColor& color) {
  for (int y = 0; y < mask.height(); ++y) {
    for (int x = 0; x < mask.width(); ++x) {
      if (qAlpha(mask.pixel(x, y)) == 0) continue;
      const int tx = x + dx;
      const int ty = y + dy;
      if (tx < 0 || ty < 0 || tx >= target.width() || ty >= target.height()) continue;
      target.setPixel(tx, ty, color.rgb() | 0xFF000000u);
    }
  }
}

void Keep(const QImage& image, const QString& name) {
  if (qEnvironmentVariableIsEmpty("VELORIN_KEEP_IMAGES")) return;
  const QString dir = QStringLiteral(VELORIN_BINARY_DIR "/widget_images");
  QDir().mkpath(dir);
  image.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

}  // namespace velorin::test
