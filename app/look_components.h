// look_components.h — the effect-text labels, shaded push buttons and the panelled
// status bar, configured as the window definitions give them.
//
// The window definitions name three kinds of look control; the components of
// widgets/ draw them. These functions put one at its design place under its
// definition name with its font, colour and text effect, so that every layout
// reads as its definition does.
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

#include "widgets/kx_label.h"
#include "widgets/kx_shape_btn.h"
#include "widgets/kx_status_bar.h"

class QWidget;

namespace velorin {

using EffectLabel = TkxLabel;
using ShapeButton = TkxShapeBtn;
using PanelStatusBar = TkxStatusBar;

struct LabelLook {
  QFont font;
  QColor color;
  TkxTextStyle style = TkxTextStyle::kxlsDefault;
  bool wordWrap = false;
  bool autoSize = false;  // grows with a text set at run time (see TkxLabel)
};

struct ButtonLook {
  QFont font;
  QColor color;
  TkxButtonShape shape = TkxButtonShape::bsRect;
  bool focusRect = false;  // a focus rectangle around the caption while focused
};

// A label whose text breaks at carriage returns and, with wordWrap, at word
// boundaries within its area.
TkxLabel* MakeLabel(QWidget* parent, const char* name, const QRect& place, const LabelLook& look,
                    const QString& text);
// A focusable shaded button with a raised caption centred both ways, face shaded in
// the highlight style with white as its dither colour.
TkxShapeBtn* MakeButton(QWidget* parent, const char* name, const QRect& place, const ButtonLook& look,
                        const QString& caption);
// A status bar without a size grip or simple panel.
TkxStatusBar* MakeStatusBar(QWidget* parent, const char* name, const QRect& place);

}  // namespace velorin
