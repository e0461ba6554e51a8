// Effect text: the copies each style draws, their offsets and colours, the disabled
// look, layout (alignment, wrapping, line spacing) and accelerator marks.
#include "widgets/kx_text.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <climits>

#include "image_probe.h"
#include "widgets/system_colors.h"

namespace velorin {
namespace {

using test::AliasedFont;
using test::OpaqueBounds;
using test::RgbAt;
using test::TransparentAt;

const QColor kFontGreen(0, 255, 0);
const QColor kShadeRed(255, 0, 0);
const QColor kLightBlue(0, 0, 255);
const QColor kOutlineBlack(0, 0, 0);

// The full block: one solid rectangle, so the copies of a text can be told apart by
// their corners whatever the font's glyph shapes are.
const QString kBlock = QString(QChar(0x2588));
const QString kWords = QStringLiteral("Представьтесь: Ok");

constexpr QSize kArea(220, 40);
const QRect kTextRect(10, 8, 200, 28);

QImage Draw(const TkxText& options, const QString& text, const QColor& fontColor,
            bool enabled = true) {
  QImage image = test::TransparentImage(kArea);
  QPainter painter(&image);
  options.Draw(painter, kTextRect, text, AliasedFont(20), fontColor, enabled);
  return image;
}

TkxText Colored(TkxTextStyle style) {
  TkxText options;
  options.SetStyle(style).SetShadeColor(kShadeRed).SetHighlightColor(kLightBlue);
  return options;
}

// The text alone, drawn once: the mask every effect copy is made from.
QImage Plain(const QString& text) { return Draw(TkxText(), text, kFontGreen); }

QRgb Rgb(const QColor& color) { return color.rgb() & 0xFFFFFFu; }

TEST(TkxTextDefaults, AreTheDocumentedOnes) {
  const TkxText options;
  EXPECT_EQ(options.Style(), TkxTextStyle::kxlsDefault);
  EXPECT_EQ(options.HighlightColor(), SysBtnHighlight());
  EXPECT_EQ(options.ShadeColor(), SysBtnShadow());
  EXPECT_EQ(options.OutlineColor(), QColor(Qt::black));
  EXPECT_EQ(options.Alignment(), TAlignment::taLeftJustify);
  EXPECT_EQ(options.VAlignment(), TVAlignment::vaTop);
  EXPECT_FALSE(options.WordWrap());
  EXPECT_EQ(options.LineSpacing(), 5);
  EXPECT_TRUE(options.Options().Contains(TkxTextOption::toShowAccel));
  EXPECT_EQ(static_cast<int>(TkxTextStyle::kxlsOutline), 3);
}

TEST(TkxTextEffects, DefaultDrawsTheTextOnceInTheFontColor) {
  const QImage image = Draw(TkxText(), kWords, kFontGreen);
  const int green = test::CountRgb(image, kFontGreen);
  EXPECT_GT(green, 0);
  EXPECT_EQ(test::CountPixels(image, [](QRgb p) { return qAlpha(p) != 0; }), green);
}

TEST(TkxTextEffects, LoweredHasTheDarkCopyUpLeftAndTheLightCopyDownRight) {
  TkxText options;
  options.SetStyle(TkxTextStyle::kxlsLowered);
  const QImage image = Draw(options, kBlock, kFontGreen);
  const QRect block = OpaqueBounds(Plain(kBlock));
  ASSERT_FALSE(block.isEmpty());
  EXPECT_EQ(OpaqueBounds(image), block.adjusted(-1, -1, 1, 1));
  EXPECT_EQ(RgbAt(image, block.left() - 1, block.top() - 1), Rgb(SysBtnShadow()));
  EXPECT_EQ(RgbAt(image, block.right() + 1, block.bottom() + 1), Rgb(SysBtnHighlight()));
  EXPECT_EQ(RgbAt(image, block.center().x(), block.center().y()), Rgb(kFontGreen));
  // Nothing reaches the other two corners.
  EXPECT_TRUE(TransparentAt(image, block.right() + 1, block.top() - 1));
  EXPECT_TRUE(TransparentAt(image, block.left() - 1, block.bottom() + 1));
}

TEST(TkxTextEffects, RaisedIsTheOppositeOfLowered) {
  TkxText options;
  options.SetStyle(TkxTextStyle::kxlsRaised);
  const QImage image = Draw(options, kBlock, kFontGreen);
  const QRect block = OpaqueBounds(Plain(kBlock));
  EXPECT_EQ(RgbAt(image, block.left() - 1, block.top() - 1), Rgb(SysBtnHighlight()));
  EXPECT_EQ(RgbAt(image, block.right() + 1, block.bottom() + 1), Rgb(SysBtnShadow()));
  EXPECT_EQ(RgbAt(image, block.center().x(), block.center().y()), Rgb(kFontGreen));
}

// Any text: the lowered image is exactly the text stamped at (-1,-1) in the shade
// colour, at (+1,+1) in the highlight colour, then at its place in the font colour.
TEST(TkxTextEffects, LoweredAndRaisedAreThreeStampsOfTheText) {
  const QImage mask = Plain(kWords);
  for (const TkxTextStyle style : {TkxTextStyle::kxlsLowered, TkxTextStyle::kxlsRaised}) {
    const bool lowered = style == TkxTextStyle::kxlsLowered;
    QImage expected = test::TransparentImage(kArea);
    test::Stamp(expected, mask, -1, -1, lowered ? kShadeRed : kLightBlue);
    test::Stamp(expected, mask, 1, 1, lowered ? kLightBlue : kShadeRed);
    test::Stamp(expected, mask, 0, 0, kFontGreen);
    EXPECT_EQ(Draw(Colored(style), kWords, kFontGreen), expected) << static_cast<int>(style);
  }
}

TEST(TkxTextEffects, LoweredWithoutHighlightColorDrawsOnlyTheDarkCopy) {
  TkxText options = Colored(TkxTextStyle::kxlsLowered);
  options.SetHighlightColor(QColor());
  const QImage image = Draw(options, kWords, kFontGreen);
  EXPECT_EQ(test::CountRgb(image, kLightBlue), 0);
  QImage expected = test::TransparentImage(kArea);
  const QImage mask = Plain(kWords);
  test::Stamp(expected, mask, -1, -1, kShadeRed);
  test::Stamp(expected, mask, 0, 0, kFontGreen);
  EXPECT_EQ(image, expected);
}

TEST(TkxTextEffects, FontColorWithoutColorLeavesTheTextOut) {
  const QImage image = Draw(Colored(TkxTextStyle::kxlsLowered), kWords, QColor());
  EXPECT_EQ(test::CountRgb(image, kFontGreen), 0);
  EXPECT_GT(test::CountRgb(image, kShadeRed), 0);
  EXPECT_GT(test::CountRgb(image, kLightBlue), 0);
}

TEST(TkxTextEffects, OutlineDrawsTheEightOffsetsThenTheText) {
  TkxText options;
  options.SetStyle(TkxTextStyle::kxlsOutline).SetOutlineColor(kShadeRed);
  const QImage mask = Plain(kWords);
  QImage expected = test::TransparentImage(kArea);
  for (const auto& [dx, dy] : {std::pair{1, 1}, {-1, 1}, {1, -1}, {-1, -1}, {0, 1}, {-1, 0},
                               {1, 0}, {0, -1}}) {
    test::Stamp(expected, mask, dx, dy, kShadeRed);
  }
  test::Stamp(expected, mask, 0, 0, kFontGreen);
  EXPECT_EQ(Draw(options, kWords, kFontGreen), expected);

  const QImage block = Draw(options, kBlock, kFontGreen);
  const QRect inside = OpaqueBounds(Plain(kBlock));
  EXPECT_EQ(OpaqueBounds(block), inside.adjusted(-1, -1, 1, 1));
  for (const QPoint corner : {inside.topLeft() + QPoint(-1, -1), inside.topRight() + QPoint(1, -1),
                              inside.bottomLeft() + QPoint(-1, 1),
                              inside.bottomRight() + QPoint(1, 1)}) {
    EXPECT_EQ(RgbAt(block, corner.x(), corner.y()), Rgb(kShadeRed));
  }
}

TEST(TkxTextDisabled, DefaultStyleIsDrawnLoweredWithoutTheUpperLeftCopy) {
  TkxText options;
  options.SetDisabledHighlightColor(kLightBlue).SetDisabledShadeColor(kShadeRed);
  const QImage image = Draw(options, kWords, kFontGreen, /*enabled=*/false);
  QImage expected = test::TransparentImage(kArea);
  const QImage mask = Plain(kWords);
  test::Stamp(expected, mask, 1, 1, kLightBlue);
  test::Stamp(expected, mask, 0, 0, kShadeRed);
  EXPECT_EQ(image, expected);
  EXPECT_EQ(test::CountRgb(image, kFontGreen), 0);
}

TEST(TkxTextDisabled, RaisedUsesTheDisabledShadeTwice) {
  TkxText options = Colored(TkxTextStyle::kxlsRaised);
  options.SetDisabledHighlightColor(QColor(1, 2, 3)).SetDisabledShadeColor(QColor(9, 9, 9));
  const QImage image = Draw(options, kWords, kFontGreen, /*enabled=*/false);
  QImage expected = test::TransparentImage(kArea);
  const QImage mask = Plain(kWords);
  test::Stamp(expected, mask, 1, 1, QColor(9, 9, 9));
  test::Stamp(expected, mask, 0, 0, QColor(9, 9, 9));
  EXPECT_EQ(image, expected);
}

TEST(TkxTextDisabled, OutlineTextTakesTheDisabledHighlight) {
  TkxText options;
  options.SetStyle(TkxTextStyle::kxlsOutline).SetDisabledHighlightColor(kLightBlue);
  const QImage image = Draw(options, kBlock, kFontGreen, /*enabled=*/false);
  const QRect block = OpaqueBounds(Plain(kBlock));
  EXPECT_EQ(RgbAt(image, block.center().x(), block.center().y()), Rgb(kLightBlue));
  EXPECT_EQ(RgbAt(image, block.left() - 1, block.top() - 1), Rgb(kOutlineBlack));
}

TEST(TkxTextLayout, AlignmentPlacesTheTextInTheRectangle) {
  const QFont font = AliasedFont(20);
  TkxText options;
  const QRect area(0, 0, 300, 60);
  const QRect left = options.TextRect(area, kWords, font);
  EXPECT_EQ(left.topLeft(), QPoint(0, 0));
  options.SetAlignment(TAlignment::taRightJustify).SetVAlignment(TVAlignment::vaBottom);
  const QRect right = options.TextRect(area, kWords, font);
  EXPECT_EQ(right.right(), area.right());
  EXPECT_EQ(right.bottom(), area.bottom());
  EXPECT_EQ(right.size(), left.size());
  options.SetAlignment(TAlignment::taCenter).SetVAlignment(TVAlignment::vaVCenter);
  const QRect centre = options.TextRect(area, kWords, font);
  EXPECT_LE(std::abs(centre.left() - (area.width() - 1 - centre.right())), 1);
  EXPECT_LE(std::abs(centre.top() - (area.height() - 1 - centre.bottom())), 1);
}

TEST(TkxTextLayout, LineBreaksSplitUnwrappedTextAtTheFontHeight) {
  const QFont font = AliasedFont(18);
  const int height = QFontMetrics(font).height();
  TkxText options;
  const QRect area(0, 0, 400, 100);
  EXPECT_EQ(options.TextRect(area, QStringLiteral("one"), font).height(), height);
  for (const char* text : {"one\rtwo", "one\ntwo", "one\r\ntwo"}) {
    EXPECT_EQ(options.TextRect(area, QString::fromLatin1(text), font).height(), 2 * height)
        << text;
  }
  // Without WordWrap a long line stays whole, wider than the rectangle.
  const QRect narrow(0, 0, 30, 100);
  const QRect wide = options.TextRect(narrow, kWords, font);
  EXPECT_EQ(wide.height(), height);
  EXPECT_GT(wide.width(), narrow.width());
}

TEST(TkxTextLayout, WordWrapBreaksAtWordsAndSpacesLinesByLineSpacing) {
  const QFont font = AliasedFont(20);
  const int height = QFontMetrics(font).height();
  const QString words = QStringLiteral("один два три");
  TkxText options;
  options.SetWordWrap(true);
  const QRect narrow(0, 0, 60, 200);
  const QRect wrapped = options.TextRect(narrow, words, font);
  // Three words, one per line; lines are em size + LineSpacing = 25 pixels apart.
  EXPECT_EQ(wrapped.height(), 2 * 25 + height);
  EXPECT_LE(wrapped.width(), narrow.width());
  options.SetLineSpacing(10);
  EXPECT_EQ(options.TextRect(narrow, words, font).height(), 2 * 30 + height);
  // Three lines of the message dialog's 20 px font fit its 74 px label.
  options.SetLineSpacing(5);
  EXPECT_LE(options.TextRect(narrow, words, font).height(), 74);
}

TEST(TkxTextLayout, ExtremeLineSpacingAndManyLinesStayBounded) {
  const QFont font = AliasedFont(12);
  TkxText options;
  options.SetWordWrap(true).SetLineSpacing(INT_MAX);
  const QString lines = QStringLiteral("a\rb\rc");
  EXPECT_GT(options.TextRect(kTextRect, lines, font).height(), 1000);
  EXPECT_FALSE(OpaqueBounds(Draw(options, lines, kFontGreen)).isNull());  // the first line
  options.SetLineSpacing(INT_MIN);  // lines one pixel apart at the least
  EXPECT_EQ(options.TextRect(kTextRect, lines, font).height(), 2 + QFontMetrics(font).height());
  options.SetLineSpacing(5);
  const QString many = QString(QStringLiteral("x\n")).repeated(20000);
  EXPECT_GT(options.TextRect(kTextRect, many, font).height(), 20000);
}

TEST(TkxTextLayout, EmptyTextDrawsNothing) {
  const QImage image = Draw(Colored(TkxTextStyle::kxlsOutline), QString(), kFontGreen);
  EXPECT_TRUE(OpaqueBounds(image).isNull());
  EXPECT_TRUE(TkxText().TextRect(kTextRect, QString(), AliasedFont(20)).isEmpty());
}

TEST(TkxTextAccelerators, StripAccelMarks) {
  int accel = 0;
  EXPECT_EQ(StripAccelMarks(QStringLiteral("&Ok"), &accel), QStringLiteral("Ok"));
  EXPECT_EQ(accel, 0);
  EXPECT_EQ(StripAccelMarks(QStringLiteral("A&&B"), &accel), QStringLiteral("A&B"));
  EXPECT_EQ(accel, -1);
  EXPECT_EQ(StripAccelMarks(QStringLiteral("a&&b&cd&e"), &accel), QStringLiteral("a&bcde"));
  EXPECT_EQ(accel, 3);
  EXPECT_EQ(StripAccelMarks(QStringLiteral("end&"), &accel), QStringLiteral("end"));
  EXPECT_EQ(accel, -1);
}

TEST(TkxTextAccelerators, ShownMarkIsUnderlinedAndRemoved) {
  TkxText options;
  const QImage marked = Draw(options, QStringLiteral("&Ok"), kFontGreen);
  const QImage plain = Draw(options, QStringLiteral("Ok"), kFontGreen);
  EXPECT_NE(marked, plain);
  // The underline lies below the letters, under the first one only.
  const QRect letters = OpaqueBounds(plain);
  const QRect underlined = OpaqueBounds(marked);
  EXPECT_GT(underlined.bottom(), letters.bottom());
  EXPECT_GE(underlined.left(), kTextRect.left());
  int underlineRight = -1;
  for (int x = 0; x < marked.width(); ++x) {
    if (!TransparentAt(marked, x, underlined.bottom())) underlineRight = x;
  }
  const int firstAdvance = QFontMetrics(AliasedFont(20)).horizontalAdvance(QLatin1Char('O'));
  EXPECT_LT(underlineRight, kTextRect.left() + firstAdvance + 1);
  // "&&" shows one ampersand, as the same text drawn without accelerator marks.
  TkxText literal;
  literal.SetOptions({});
  EXPECT_EQ(Draw(options, QStringLiteral("A&&B"), kFontGreen),
            Draw(literal, QStringLiteral("A&B"), kFontGreen));
}

TEST(TkxTextAccelerators, WithoutShowAccelTheAmpersandIsText) {
  TkxText literal;
  literal.SetOptions({});
  const QFont font = AliasedFont(20);
  EXPECT_GT(literal.TextRect(kTextRect, QStringLiteral("&Ok"), font).width(),
            literal.TextRect(kTextRect, QStringLiteral("Ok"), font).width());
}

TEST(TkxTextOwner, ChangesReachTheOwnerAndCopiesTravelAlone) {
  int calls = 0;
  TkxText owned;
  owned.SetChangeHandler([&calls] { ++calls; });
  owned.SetStyle(TkxTextStyle::kxlsRaised);
  EXPECT_EQ(calls, 1);
  owned.SetStyle(TkxTextStyle::kxlsRaised);  // no change, no call
  EXPECT_EQ(calls, 1);

  TkxText copy(owned);
  copy.SetStyle(TkxTextStyle::kxlsOutline).SetWordWrap(true);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(copy.SameOptions(TkxText(copy)));

  owned = copy;  // the owner hears of the assignment and keeps its link
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(owned.SameOptions(copy));
  owned.SetLineSpacing(7);
  EXPECT_EQ(calls, 3);
}

}  // namespace
}  // namespace velorin
