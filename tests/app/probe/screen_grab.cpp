// app_screen_grab — saves what the X display shows to a PNG file and counts the
// pixels in the program's two text colours, maroon (the main window's labels) and
// navy (its button captions):
//   app_screen_grab OUTPUT.png   ->   "maroon <n> navy <n>"
// Anti-aliased text has few pixels of exactly these colours, so near ones count too.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

namespace {
bool Near(QRgb pixel, int red, int green, int blue) {
  return std::abs(qRed(pixel) - red) <= 24 && std::abs(qGreen(pixel) - green) <= 24 &&
         std::abs(qBlue(pixel) - blue) <= 24;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: app_screen_grab OUTPUT.png\n");
    return 2;
  }
  QGuiApplication application(argc, argv);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return 1;
  const QImage image = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
  if (image.isNull() || !image.save(QString::fromLocal8Bit(argv[1]))) return 1;
  long maroon = 0;
  long navy = 0;
  for (int y = 0; y < image.height(); ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if (Near(line[x], 128, 0, 0)) ++maroon;
      if (Near(line[x], 0, 0, 128)) ++navy;
    }
  }
  std::printf("maroon %ld navy %ld\n", maroon, navy);
  return 0;
}
