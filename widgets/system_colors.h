// system_colors.h — the system colours the components start from, and the two
// named colours the windows use.
//
// The system colours are read from the application palette when a component is
// created: button face = Button, button highlight = Light, 3D light = Midlight,
// button shadow = Dark. Without an application object a classic grey set is used.
// Throughout the components an invalid QColor means "no colour": whatever would
// be drawn in it is left out.
#pragma once

#include <QColor>

namespace velorin {

inline const QColor kMaroon(0x80, 0x00, 0x00);
inline const QColor kNavy(0x00, 0x00, 0x80);

QColor SysBtnFace();
QColor SysBtnHighlight();
QColor Sys3DLight();
QColor SysBtnShadow();
QColor SysWindowText();

}  // namespace velorin
