// kx_shape_btn.h — the shaded push buttons: TkxCustomBitBtn (a rectangle) and
// TkxShapeBtn (rectangle, round rectangle, ellipse, triangle, arrow, diamond, star,
// trapezoid or a polygon of its own).
//
// A button draws itself into a transparent off-screen image of its size, so the window
// shows through around a round or pointed button; no key colour is involved, so no
// coloured fringe can appear. Round shapes (round rectangle, ellipse) are drawn
// smoothly (anti-aliased): their straight sides stay one crisp pixel per line and
// their corners blend into the window. Polygons are drawn pixel for pixel. Then:
//   1. Face: the outline filled with Color (shaded by ShadeStyle, below).
//   2. Bevel, two lines on every edge. Polygon edges: an edge's inner line is the edge
//      moved inward by d + 1 pixels, its outer line moved inward by d, where d is 1 while
//      the button has the input focus or is the Default button, else 0. Upper and left
//      edges take Btn3DLight (inner) and BtnHighlight (outer), lower and right edges
//      BtnShadow and BtnBlack; pressed, the two sides swap. With focus or Default every
//      edge is also drawn on the outline itself in BtnFocus. Round shapes follow the same
//      rule with the outline shrunk by d and d + 1 pixels on each side: the part above
//      and left of the diagonal through the corners' centres is the upper-left side.
//      Bevel lines never leave the face.
//   3. The caption, with its own TextOptions (centred both ways unless changed), moved
//      one pixel down and right while pressed; a Glyph, if set, to the left of it; with
//      boFocusRect a dotted rectangle in BtnFocus around the caption while focused.
//      Text that leaves the face is drawn over the transparent ground as it is.
//
// ShadeStyle: fbsNormal a plain face; fbsHighlight (the default) as fbsNormal, the face
// a third of the way towards DitherColor (white when DitherColor has no colour) while
// the mouse is over the enabled button; fbsRaised the face shaded from a lighter top to
// Color at the bottom; fbsFlat a plain face and no bevel unless the button is hovered,
// pressed, checked, focused or Default. A checked (checkable) button looks pressed and
// its face is dithered with DitherColor. A face Color with no colour uses the system
// button face.
//
// Options: boFocusable (the default) lets the button take the focus (tab and click);
// boFocusRect draws the focus rectangle; boOverrideActionGlyph, boToggleOnUp and
// boAutoBold are kept but change nothing. Clicks beside the face are ignored. Space, or
// Enter while the button has the focus, clicks it; a window that wants Enter to press
// its Default button from anywhere handles that itself.
//
//   auto* ok = new TkxShapeBtn(form);
//   ok->SetShape(TkxButtonShape::bsRoundRect);
//   ok->setText(QStringLiteral("Далее"));
//   ok->SetFontColor(kNavy);
//   ok->TextOptions().SetStyle(TkxTextStyle::kxlsRaised);
//   ok->SetDitherColor(Qt::white);
//   connect(ok, &QAbstractButton::clicked, form, &TTestForm::OKBtnClick);
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QPolygon>

#include "widgets/enum_set.h"
#include "widgets/kx_text.h"
#include "widgets/shape_outline.h"

namespace velorin {

enum class TkxShadeStyle : int { fbsNormal = 0, fbsRaised = 1, fbsHighlight = 2, fbsFlat = 3 };

enum class TkxButtonOption : int {
  boFocusable = 0,
  boOverrideActionGlyph = 1,
  boToggleOnUp = 2,
  boFocusRect = 3,
  boAutoBold = 4,
};
using TkxButtonOptions = EnumSet<TkxButtonOption>;

// The five bevel colours; an invalid colour leaves its line out.
struct TkxShadeColors {
  QColor BtnHighlight;
  QColor Btn3DLight;
  QColor BtnShadow;
  QColor BtnBlack;
  QColor BtnFocus;

  // System button highlight, 3D light and shadow; black; black.
  static TkxShadeColors System();
  bool operator==(const TkxShadeColors&) const = default;
};

// What a button looks like at one moment; DrawState() reads it from the widget.
struct TkxButtonDrawState {
  bool pressed = false;    // held down by the mouse or the space bar
  bool checked = false;    // a checkable button that is checked
  bool focused = false;
  bool isDefault = false;
  bool hovered = false;
  bool enabled = true;
};

class TkxCustomBitBtn : public QAbstractButton {
  Q_OBJECT

 public:
  explicit TkxCustomBitBtn(QWidget* parent = nullptr);

  QColor Color() const { return color_; }
  void SetColor(const QColor& color);
  QColor DitherColor() const { return ditherColor_; }
  void SetDitherColor(const QColor& color);
  TkxShadeStyle ShadeStyle() const { return shadeStyle_; }
  void SetShadeStyle(TkxShadeStyle style);
  TkxButtonOptions Options() const { return options_; }
  void SetOptions(TkxButtonOptions options);
  const TkxShadeColors& ShadeColors() const { return shadeColors_; }
  void SetShadeColors(const TkxShadeColors& colors);
  bool Default() const { return default_; }
  void SetDefault(bool isDefault);
  QPixmap Glyph() const { return glyph_; }
  void SetGlyph(const QPixmap& glyph);

  TkxText& TextOptions() { return textOptions_; }
  const TkxText& TextOptions() const { return textOptions_; }
  void SetTextOptions(const TkxText& options) { textOptions_ = options; }

  // The caption colour: the palette's ButtonText.
  QColor FontColor() const;
  void SetFontColor(const QColor& color);

  TkxButtonDrawState DrawState() const;

  // Steps 1 and 2: face and bevel, no caption; outside the face transparent (ARGB32
  // premultiplied). An empty button gives a null image.
  QImage RenderFaceImage(const TkxButtonDrawState& state) const;
  // What the button paints: the face image with the caption.
  QImage RenderImage(const TkxButtonDrawState& state) const;
  QImage RenderImage() const { return RenderImage(DrawState()); }

  // The outline that the button is drawn and clicked in; the rectangle here.
  virtual TkxOutline Outline() const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool hitButton(const QPoint& pos) const override;
  void keyPressEvent(QKeyEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

  // For subclasses whose outline depends on their own properties.
  void OutlineChanged();

 private:
  void DrawCaption(QPainter& painter, const TkxButtonDrawState& state) const;

  QColor color_;
  QColor ditherColor_;
  TkxShadeStyle shadeStyle_ = TkxShadeStyle::fbsHighlight;
  TkxButtonOptions options_{TkxButtonOption::boFocusable};
  TkxShadeColors shadeColors_;
  bool default_ = false;
  QPixmap glyph_;
  TkxText textOptions_;
};

class TkxShapeBtn : public TkxCustomBitBtn {
  Q_OBJECT

 public:
  explicit TkxShapeBtn(QWidget* parent = nullptr);

  TkxButtonShape Shape() const { return shape_; }
  void SetShape(TkxButtonShape shape);
  // Width and height of the corner ellipse of bsRoundRect; 25 by default.
  int RoundRectBias() const { return roundRectBias_; }
  void SetRoundRectBias(int bias);
  TkxShapeOrientation Orientation() const { return orientation_; }
  void SetOrientation(TkxShapeOrientation orientation);
  // The corners of bsCustom, in button pixels.
  QPolygon CustomPoints() const { return customPoints_; }
  void SetCustomPoints(const QPolygon& points);

  TkxOutline Outline() const override;

 private:
  TkxButtonShape shape_ = TkxButtonShape::bsRect;
  int roundRectBias_ = 25;
  TkxShapeOrientation orientation_ = TkxShapeOrientation::soUp;
  QPolygon customPoints_;
};

}  // namespace velorin
