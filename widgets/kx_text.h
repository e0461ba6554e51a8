// kx_text.h — effect text: the text options of a label, a button caption or a status
// panel, and the drawing of a text with its lowered, raised or outlined effect.
//
// TkxText is a value: copying it copies the options. A control that owns one links it
// to itself (SetChangeHandler) so that changing an option repaints the control; that
// link is not part of the value and never travels with a copy.
//
// Layout: the text is broken into lines at CR, LF and CR LF, and, with WordWrap, at
// word boundaries to the rectangle's width (a word longer than the width stays whole).
// Unwrapped lines follow each other at the font's height; wrapped text puts its lines
// LineSpacing pixels further apart than the font's em size (pixel size), so the
// default 5 gives a 20 px font a pitch of 25. Each line is placed by Alignment, the
// block of lines by VAlignment. With toShowAccel a single "&" is removed and the
// character after the first one is underlined; "&&" shows one "&". Without it the text
// is drawn as it is.
//
// Effects (offsets in pixels, colours tried in this order; an invalid colour = no
// colour, and its drawing is left out):
//   kxlsDefault  the text in the font colour.
//   kxlsLowered  (-1,-1) ShadeColor, (+1,+1) HighlightColor, (0,0) font colour.
//   kxlsRaised   (-1,-1) HighlightColor, (+1,+1) ShadeColor, (0,0) font colour.
//   kxlsOutline  OutlineColor at (1,1) (-1,1) (1,-1) (-1,-1) (0,1) (-1,0) (1,0) (0,-1),
//                then the font colour at (0,0).
// Disabled: kxlsDefault is drawn as kxlsLowered; the (-1,-1) drawing is left out; the
// disabled colours replace HighlightColor and ShadeColor; the drawing at (0,0) uses
// DisabledShadeColor (lowered, raised) or DisabledHighlightColor (outline).
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <functional>
#include <utility>

#include "widgets/enum_set.h"

class QPainter;

namespace velorin {

enum class TkxTextStyle : int { kxlsDefault = 0, kxlsLowered = 1, kxlsRaised = 2, kxlsOutline = 3 };
enum class TAlignment : int { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };
enum class TVAlignment : int { vaTop = 0, vaVCenter = 1, vaBottom = 2 };
enum class TkxTextOption : int { toShowAccel = 0 };
using TkxTextOptions = EnumSet<TkxTextOption>;

class TkxText {
 public:
  // Defaults: kxlsDefault, HighlightColor = system button highlight, ShadeColor =
  // system button shadow, OutlineColor black, left, top, no wrap, LineSpacing 5,
  // [toShowAccel]; disabled colours: system button highlight and shadow.
  TkxText();
  TkxText(const TkxText& other);             // the options only, not the owner link
  TkxText& operator=(const TkxText& other);  // keeps this object's owner link, tells the owner
  ~TkxText() = default;

  TkxTextStyle Style() const { return style_; }
  QColor HighlightColor() const { return highlightColor_; }
  QColor ShadeColor() const { return shadeColor_; }
  QColor OutlineColor() const { return outlineColor_; }
  QColor DisabledHighlightColor() const { return disabledHighlightColor_; }
  QColor DisabledShadeColor() const { return disabledShadeColor_; }
  TAlignment Alignment() const { return alignment_; }
  TVAlignment VAlignment() const { return vAlignment_; }
  bool WordWrap() const { return wordWrap_; }
  int LineSpacing() const { return lineSpacing_; }
  TkxTextOptions Options() const { return options_; }

  // Setters return the object so that options can be chained.
  TkxText& SetStyle(TkxTextStyle value);
  TkxText& SetHighlightColor(const QColor& value);
  TkxText& SetShadeColor(const QColor& value);
  TkxText& SetOutlineColor(const QColor& value);
  TkxText& SetDisabledHighlightColor(const QColor& value);
  TkxText& SetDisabledShadeColor(const QColor& value);
  TkxText& SetAlignment(TAlignment value);
  TkxText& SetVAlignment(TVAlignment value);
  TkxText& SetWordWrap(bool value);
  TkxText& SetLineSpacing(int value);
  TkxText& SetOptions(TkxTextOptions value);

  bool SameOptions(const TkxText& other) const;

  // Draws `text` laid out in `rect` with the effect of Style. The painter's other
  // state (clip, transform, render hints) is used as it is.
  void Draw(QPainter& painter, const QRect& rect, const QString& text, const QFont& font,
            const QColor& fontColor, bool enabled) const;

  // The rectangle that the laid-out text covers at its own place (the effect copies
  // reach one pixel further); an empty text gives an empty rectangle at rect's corner.
  QRect TextRect(const QRect& rect, const QString& text, const QFont& font) const;

  // Called after every change of an option; used by the control that owns the object.
  void SetChangeHandler(std::function<void()> handler) { changed_ = std::move(handler); }

 private:
  void Changed() const;
  template <typename T>
  TkxText& Assign(T& field, const T& value);

  TkxTextStyle style_ = TkxTextStyle::kxlsDefault;
  QColor highlightColor_;
  QColor shadeColor_;
  QColor outlineColor_;
  QColor disabledHighlightColor_;
  QColor disabledShadeColor_;
  TAlignment alignment_ = TAlignment::taLeftJustify;
  TVAlignment vAlignment_ = TVAlignment::vaTop;
  bool wordWrap_ = false;
  int lineSpacing_ = 5;
  TkxTextOptions options_{TkxTextOption::toShowAccel};
  std::function<void()> changed_;
};

// Removes the accelerator marks of `text`: every single "&" goes, "&&" becomes "&".
// `accelIndex` receives the index in the result of the character after the first
// single "&", or -1 when there is none.
QString StripAccelMarks(const QString& text, int* accelIndex);

}  // namespace velorin
