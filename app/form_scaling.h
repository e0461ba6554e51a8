// form_scaling.h — the window-scaling rule that every window applies when it is made.
//
// The windows are laid out at design size for a large screen. On a small one a window
// and everything in it (positions, sizes, font heights) is scaled by a ratio that
// depends only on the screen's width in pixels and its logical resolution:
//
//   screen width   96 px/inch   120 px/inch   other resolutions
//   640            97/100       unchanged     unchanged
//   800            122/100      108/100       unchanged
//   1024           158/100      138/100       unchanged
//   any other      unchanged    unchanged     unchanged
//
// The rule assumes that one logical pixel is one device pixel, so Qt's own high-dpi
// scaling is switched off before the application starts (application_setup.h).
#pragma once

#include <QRect>

class QFont;
class QWidget;

namespace velorin {

struct ScaleRatio {
  int numerator = 100;
  int denominator = 100;

  bool IsIdentity() const { return numerator == denominator; }
  // A length or coordinate scaled and rounded to the nearest pixel (halves away from 0).
  int Scale(int value) const;
  // A rectangle whose left, top, right and bottom edges are scaled, so controls
  // that touch at design size still touch.
  QRect Scale(const QRect& rect) const;
  friend bool operator==(const ScaleRatio&, const ScaleRatio&) = default;
};

struct ScreenMetrics {
  int width = 0;          // pixels
  int pixelsPerInch = 0;  // logical resolution, rounded
};

// The rule as a pure function of the screen.
ScaleRatio ScreenScaleRatio(const ScreenMetrics& screen);

// The primary screen's width and its logical dots per inch, rounded.
ScreenMetrics PrimaryScreenMetrics();

// The font with its pixel height scaled (a font sized in points gets its point size
// scaled instead).
QFont ScaledFont(const QFont& font, ScaleRatio ratio);

// Puts a control of a window definition at its design place and marks it as one, so
// that scaling reaches it (the parts that Qt's own widgets make inside themselves,
// such as a combo box's line edit, are laid out by those widgets and left alone).
void PlaceControl(QWidget& control, const QRect& designPlace);
bool IsPlacedControl(const QWidget& widget);

// Scales the window by the ratio: its fixed client size, the geometry of every
// placed control inside it, and every font set explicitly on the window or on a
// placed control.
void ScaleFormBy(QWidget& form, ScaleRatio ratio);

// ScaleFormBy with the ratio of the primary screen; returns the ratio applied, so a
// window can scale what its controls do not hold themselves (grid column widths,
// status panel widths).
ScaleRatio ScaleFormToScreen(QWidget& form);

}  // namespace velorin
