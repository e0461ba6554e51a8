#include "widgets/system_colors.h"

#include <QGuiApplication>
#include <QPalette>

namespace velorin {
namespace {

QColor FromPalette(QPalette::ColorRole role, QColor fallback) {
  if (QGuiApplication::instance() == nullptr) return fallback;
  return QGuiApplication::palette().color(QPalette::Active, role);
}

}  // namespace

QColor SysBtnFace() { return FromPalette(QPalette::Button, QColor(0xC0, 0xC0, 0xC0)); }
QColor SysBtnHighlight() { return FromPalette(QPalette::Light, QColor(0xFF, 0xFF, 0xFF)); }
QColor Sys3DLight() { return FromPalette(QPalette::Midlight, QColor(0xDF, 0xDF, 0xDF)); }
QColor SysBtnShadow() { return FromPalette(QPalette::Dark, QColor(0x80, 0x80, 0x80)); }
QColor SysWindowText() { return FromPalette(QPalette::WindowText, QColor(0x00, 0x00, 0x00)); }

}  // namespace velorin
