#include "app/design_look.h"

#include <QPalette>
#include <QWidget>

namespace velorin {

void InstallFontSubstitutes() {
  QFont::insertSubstitution(kArial, QStringLiteral("Liberation Sans"));
  QFont::insertSubstitution(kArialNarrow, QStringLiteral("Liberation Sans Narrow"));
}

QFont DesignFont(const QString& family, int pixelSize, bool bold) {
  QFont font(family);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  // Narrow is a family of its own here, never a stretched Arial.
  font.setStyleStrategy(QFont::PreferDefault);
  return font;
}

void SetTextColor(QWidget& control, const QColor& color) {
  QPalette palette = control.palette();
  palette.setColor(QPalette::WindowText, color);
  palette.setColor(QPalette::Text, color);
  palette.setColor(QPalette::ButtonText, color);
  control.setPalette(palette);
}

}  // namespace velorin
