// Shaded buttons: the transparent ground, the face of every shape, the bevel lines and their
// colours up, pressed, focused and default, the caption and the widget behaviour.
#include "widgets/kx_shape_btn.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "image_probe.h"
#include "widgets/system_colors.h"

namespace velorin {
namespace {

using test::RgbAt;

const QColor kHighlight(255, 255, 0);
const QColor k3DLight(0, 255, 255);
const QColor kShadow(128, 0, 128);
const QColor kBlack(64, 32, 0);
const QColor kFace(200, 200, 200);
const QColor kCaptionGreen(0, 160, 0);

QRgb Rgb(const QColor& color) { return color.rgb() & 0xFFFFFFu; }

TkxShadeColors Distinct() {
  TkxShadeColors colors = TkxShadeColors::System();
  colors.BtnHighlight = kHighlight;
  colors.Btn3DLight = k3DLight;
  colors.BtnShadow = kShadow;
  colors.BtnBlack = kBlack;
  return colors;  // BtnFocus stays black
}

// A button with a plain face, distinct bevel colours and no caption.
void Prepare(TkxCustomBitBtn& button, QSize size) {
  button.resize(size);
  button.SetColor(kFace);
  button.SetShadeStyle(TkxShadeStyle::fbsNormal);
  button.SetShadeColors(Distinct());
}

TkxButtonDrawState Up() { return TkxButtonDrawState{}; }
TkxButtonDrawState Focused() {
  TkxButtonDrawState state;
  state.focused = true;
  return state;
}
TkxButtonDrawState Pressed() {
  TkxButtonDrawState state;
  state.pressed = true;
  return state;
}

// The colours from the outline inwards along a column or a row.
std::vector<QRgb> Column(const QImage& image, int x, int fromY, int step, int count) {
  std::vector<QRgb> result;
  for (int i = 0; i < count; ++i) result.push_back(RgbAt(image, x, fromY + i * step));
  return result;
}
std::vector<QRgb> Row(const QImage& image, int y, int fromX, int step, int count) {
  std::vector<QRgb> result;
  for (int i = 0; i < count; ++i) result.push_back(RgbAt(image, fromX + i * step, y));
  return result;
}

TEST(TkxShapeBtnDefaults, AreTheDocumentedOnes) {
  TkxShapeBtn button;
  EXPECT_EQ(button.Shape(), TkxButtonShape::bsRect);
  EXPECT_EQ(button.RoundRectBias(), 25);
  EXPECT_EQ(button.Orientation(), TkxShapeOrientation::soUp);
  EXPECT_EQ(button.ShadeStyle(), TkxShadeStyle::fbsHighlight);
  EXPECT_EQ(button.Color(), SysBtnFace());
  const TkxShadeColors colors = button.ShadeColors();
  EXPECT_EQ(colors.BtnHighlight, SysBtnHighlight());
  EXPECT_EQ(colors.Btn3DLight, Sys3DLight());
  EXPECT_EQ(colors.BtnShadow, SysBtnShadow());
  EXPECT_EQ(colors.BtnBlack, QColor(Qt::black));
  EXPECT_EQ(colors.BtnFocus, QColor(Qt::black));
  EXPECT_TRUE(button.Options().Contains(TkxButtonOption::boFocusable));
  EXPECT_EQ(button.focusPolicy(), Qt::StrongFocus);
  EXPECT_EQ(button.TextOptions().Alignment(), TAlignment::taCenter);
  EXPECT_EQ(button.TextOptions().VAlignment(), TVAlignment::vaVCenter);
  EXPECT_EQ(static_cast<int>(TkxButtonShape::bsCustom), 8);
}

TEST(TkxShapeBtnGround, OutsideTheFaceIsTransparentWhateverTheFaceColor) {
  TkxShapeBtn button;
  button.resize(80, 40);
  button.SetShape(TkxButtonShape::bsEllipse);
  for (const QColor& face : {QColor(255, 0, 0), QColor(0, 0, 255), kNavy}) {
    button.SetColor(face);
    const QImage image = button.RenderImage(Up());
    EXPECT_TRUE(test::TransparentAt(image, 0, 0));
    EXPECT_TRUE(test::TransparentAt(image, 79, 39));
    EXPECT_EQ(RgbAt(image, 40, 20), Rgb(face));
    EXPECT_TRUE(test::OpaqueAt(image, 40, 20));
  }
}

TEST(TkxShapeBtnBevel, RectangleUpHasTwoLinesOnEveryEdge) {
  TkxShapeBtn button;
  Prepare(button, QSize(100, 30));
  const QImage image = button.RenderImage(Up());
  test::Keep(image, QStringLiteral("rect_up"));
  const std::vector<QRgb> lit = {Rgb(kHighlight), Rgb(k3DLight), Rgb(kFace)};
  const std::vector<QRgb> dark = {Rgb(kBlack), Rgb(kShadow), Rgb(kFace)};
  EXPECT_EQ(Column(image, 50, 0, 1, 3), lit);    // top
  EXPECT_EQ(Row(image, 15, 0, 1, 3), lit);       // left
  EXPECT_EQ(Column(image, 50, 29, -1, 3), dark);  // bottom
  EXPECT_EQ(Row(image, 15, 99, -1, 3), dark);     // right
  EXPECT_TRUE(test::OpaqueAt(image, 0, 0));
  EXPECT_TRUE(test::OpaqueAt(image, 99, 29));
}

TEST(TkxShapeBtnBevel, FocusedRectangleMovesTheBevelInwardInsideABlackOutline) {
  TkxShapeBtn button;
  Prepare(button, QSize(100, 30));
  const QImage image = button.RenderImage(Focused());
  test::Keep(image, QStringLiteral("rect_focused"));
  const QRgb black = 0x000000u;
  const std::vector<QRgb> lit = {black, Rgb(kHighlight), Rgb(k3DLight), Rgb(kFace)};
  const std::vector<QRgb> dark = {black, Rgb(kBlack), Rgb(kShadow), Rgb(kFace)};
  EXPECT_EQ(Column(image, 50, 0, 1, 4), lit);
  EXPECT_EQ(Row(image, 15, 0, 1, 4), lit);
  EXPECT_EQ(Column(image, 50, 29, -1, 4), dark);
  EXPECT_EQ(Row(image, 15, 99, -1, 4), dark);
  for (const QPoint corner : {QPoint(0, 0), QPoint(99, 0), QPoint(0, 29), QPoint(99, 29)}) {
    EXPECT_EQ(RgbAt(image, corner.x(), corner.y()), black);
  }
}

TEST(TkxShapeBtnBevel, FocusedRectangleInSystemColors) {
  TkxShapeBtn button;
  button.resize(225, 33);
  button.SetShadeStyle(TkxShadeStyle::fbsNormal);
  const QImage image = button.RenderImage(Focused());
  EXPECT_EQ(Column(image, 110, 0, 1, 4),
            (std::vector<QRgb>{0x000000u, Rgb(SysBtnHighlight()), Rgb(Sys3DLight()),
                               Rgb(SysBtnFace())}));
}

TEST(TkxShapeBtnBevel, DefaultButtonLooksFocused) {
  TkxShapeBtn button;
  Prepare(button, QSize(100, 30));
  TkxButtonDrawState state;
  state.isDefault = true;
  EXPECT_EQ(button.RenderImage(state), button.RenderImage(Focused()));
  button.SetDefault(true);
  EXPECT_TRUE(button.DrawState().isDefault);
  EXPECT_EQ(button.RenderImage(), button.RenderImage(Focused()));
}

TEST(TkxShapeBtnBevel, PressedSwapsTheSides) {
  TkxShapeBtn button;
  Prepare(button, QSize(100, 30));
  const QImage image = button.RenderImage(Pressed());
  EXPECT_EQ(Column(image, 50, 0, 1, 3),
            (std::vector<QRgb>{Rgb(kBlack), Rgb(kShadow), Rgb(kFace)}));
  EXPECT_EQ(Column(image, 50, 29, -1, 3),
            (std::vector<QRgb>{Rgb(kHighlight), Rgb(k3DLight), Rgb(kFace)}));
}

TEST(TkxShapeBtnBevel, ColorlessLineIsLeftOut) {
  TkxShapeBtn button;
  Prepare(button, QSize(100, 30));
  TkxShadeColors colors = Distinct();
  colors.Btn3DLight = QColor();
  button.SetShadeColors(colors);
  EXPECT_EQ(Column(button.RenderImage(Up()), 50, 0, 1, 2),
            (std::vector<QRgb>{Rgb(kHighlight), Rgb(kFace)}));
}

TEST(TkxShapeBtnBevel, RoundRectangleFollowsTheSameColorRule) {
  TkxShapeBtn button;
  Prepare(button, QSize(170, 35));
  button.SetShape(TkxButtonShape::bsRoundRect);
  button.SetColor(kNavy);
  const QRgb face = Rgb(kNavy);
  const QImage up = button.RenderImage(Up());
  test::Keep(up, QStringLiteral("roundrect_up"));
  EXPECT_TRUE(test::TransparentAt(up, 0, 0));
  EXPECT_TRUE(test::TransparentAt(up, 169, 34));
  const std::vector<QRgb> lit = {Rgb(kHighlight), Rgb(k3DLight), face};
  const std::vector<QRgb> dark = {Rgb(kBlack), Rgb(kShadow), face};
  EXPECT_EQ(Column(up, 85, 0, 1, 3), lit);
  EXPECT_EQ(Row(up, 17, 0, 1, 3), lit);
  EXPECT_EQ(Column(up, 85, 34, -1, 3), dark);
  EXPECT_EQ(Row(up, 17, 169, -1, 3), dark);

  const QImage focused = button.RenderImage(Focused());
  test::Keep(focused, QStringLiteral("roundrect_focused"));
  EXPECT_EQ(Column(focused, 85, 0, 1, 4),
            (std::vector<QRgb>{0x000000u, Rgb(kHighlight), Rgb(k3DLight), face}));
  EXPECT_EQ(Column(focused, 85, 34, -1, 4),
            (std::vector<QRgb>{0x000000u, Rgb(kBlack), Rgb(kShadow), face}));

  const QImage pressed = button.RenderImage(Pressed());
  EXPECT_EQ(Column(pressed, 85, 0, 1, 3), dark);
  EXPECT_EQ(Column(pressed, 85, 34, -1, 3), lit);
}

TEST(TkxShapeBtnBevel, EllipseFollowsTheSameColorRule) {
  TkxShapeBtn button;
  Prepare(button, QSize(80, 40));
  button.SetShape(TkxButtonShape::bsEllipse);
  const QImage image = button.RenderImage(Up());
  test::Keep(image, QStringLiteral("ellipse_up"));
  // The curve is smoothed even at its apex: each line keeps its colour within a blend.
  auto expectNear = [&](const std::vector<QRgb>& seen, const std::vector<QColor>& expected) {
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < seen.size(); ++i) {
      EXPECT_LE(std::abs(qRed(seen[i]) - expected[i].red()), 16) << i;
      EXPECT_LE(std::abs(qGreen(seen[i]) - expected[i].green()), 16) << i;
      EXPECT_LE(std::abs(qBlue(seen[i]) - expected[i].blue()), 16) << i;
    }
  };
  expectNear(Column(image, 40, 0, 1, 3), {kHighlight, k3DLight, kFace});
  expectNear(Column(image, 40, 39, -1, 3), {kBlack, kShadow, kFace});
  EXPECT_TRUE(test::TransparentAt(image, 2, 2));
}

// Every pixel that is not transparent, i.e. what the window will show of the button.
QImage FaceMask(const QImage& image) {
  QImage mask = test::TransparentImage(image.size());
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (qAlpha(image.pixel(x, y)) != 0) mask.setPixel(x, y, 0xFFFFFFFFu);
    }
  }
  return mask;
}

TEST(TkxShapeBtnBevel, BevelNeverLeavesThePointedFaces) {
  for (const TkxButtonShape shape : {TkxButtonShape::bsTriangle, TkxButtonShape::bsArrow,
                                     TkxButtonShape::bsStar, TkxButtonShape::bsDiamond,
                                     TkxButtonShape::bsTrapezoid}) {
    TkxShapeBtn button;
    Prepare(button, QSize(61, 41));
    button.SetShape(shape);
    TkxShadeColors plain{kFace, kFace, kFace, kFace, kFace};
    button.SetShadeColors(plain);
    const QImage face = FaceMask(button.RenderFaceImage(Focused()));
    button.SetShadeColors(Distinct());
    const QImage image = button.RenderFaceImage(Focused());
    EXPECT_EQ(FaceMask(image), face) << static_cast<int>(shape);
    EXPECT_GT(test::CountRgb(image, kHighlight) + test::CountRgb(image, kBlack), 0);
  }
}

// The round buttons of the windows: the corners blend smoothly into the window (partly
// transparent pixels, each a mix of the face and bevel colours only), the straight
// sides stay crisp and opaque.
TEST(TkxShapeBtnBevel, RoundCornersAreSmoothWithoutFringe) {
  for (const TkxButtonShape shape : {TkxButtonShape::bsRoundRect, TkxButtonShape::bsEllipse}) {
    TkxShapeBtn button;
    button.resize(107, 35);
    button.SetShape(shape);
    button.SetColor(kNavy);
    for (const TkxButtonDrawState& state : {Up(), Focused(), Pressed()}) {
      const QImage image = button.RenderFaceImage(state);
      int partial = 0;
      for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
          const QRgb p = image.pixel(x, y);
          if (qAlpha(p) == 0 || qAlpha(p) == 255) continue;
          ++partial;
          // Navy, greys, white and black mix to no pixel with more red than green.
          const QColor c = QColor::fromRgba(qUnpremultiply(p));
          EXPECT_LE(c.red(), c.green() + 2) << x << "," << y;
        }
      }
      EXPECT_GT(partial, 4 * 4) << static_cast<int>(shape);  // every corner blends
      if (shape == TkxButtonShape::bsRoundRect) {
        EXPECT_TRUE(test::OpaqueAt(image, 53, 0));
        EXPECT_TRUE(test::OpaqueAt(image, 0, 17));
        EXPECT_TRUE(test::TransparentAt(image, 0, 0));
      }
    }
    // For looking: the "OK" button at four times its size, pixel for pixel.
    button.setFont(test::SmoothFont(20));
    button.setText(QStringLiteral("OK"));
    button.SetFontColor(kNavy);
    button.TextOptions().SetStyle(TkxTextStyle::kxlsRaised);
    QImage zoomed(button.size() * 4, QImage::Format_ARGB32_Premultiplied);
    zoomed.fill(SysBtnFace());
    {
      QPainter painter(&zoomed);
      painter.drawImage(zoomed.rect(), button.RenderImage(Up()).scaled(zoomed.size()));
    }
    test::Keep(zoomed, QStringLiteral("round_ok_x4_%1").arg(static_cast<int>(shape)));
  }
}

TEST(TkxShapeBtnShapes, EveryShapeAndOrientationHasAFace) {
  const QSize size(61, 41);
  for (int s = 0; s <= static_cast<int>(TkxButtonShape::bsCustom); ++s) {
    for (int o = 0; o <= static_cast<int>(TkxShapeOrientation::soDown); ++o) {
      TkxShapeBtn button;
      Prepare(button, size);
      button.SetShape(static_cast<TkxButtonShape>(s));
      button.SetOrientation(static_cast<TkxShapeOrientation>(o));
      button.SetCustomPoints(QPolygon({QPoint(0, 0), QPoint(60, 20), QPoint(0, 40)}));
      const QImage image = button.RenderImage(Up());
      test::Keep(image, QStringLiteral("shape_%1_%2").arg(s).arg(o));
      const int opaque = test::CountPixels(image, [](QRgb p) { return qAlpha(p) == 255; });
      const bool rect = s == static_cast<int>(TkxButtonShape::bsRect);
      EXPECT_GT(opaque, size.width() * size.height() / 5) << s << "/" << o;
      if (rect) {
        EXPECT_EQ(opaque, size.width() * size.height());
      } else {
        EXPECT_LT(opaque, size.width() * size.height()) << s << "/" << o;
      }
      EXPECT_EQ(RgbAt(image, 30, 20), Rgb(kFace)) << s << "/" << o;
    }
  }
}

TEST(TkxShapeBtnShapes, EmptyButtonDrawsNothing) {
  TkxShapeBtn button;
  button.resize(0, 0);
  EXPECT_TRUE(button.RenderImage().isNull());
  EXPECT_TRUE(button.RenderFaceImage(Up()).isNull());
  button.resize(1, 1);
  EXPECT_EQ(button.RenderImage().size(), QSize(1, 1));
}

TEST(TkxShapeBtnFace, ShadeStyles) {
  TkxShapeBtn button;
  Prepare(button, QSize(100, 30));
  TkxButtonDrawState hovered;
  hovered.hovered = true;

  button.SetShadeStyle(TkxShadeStyle::fbsFlat);
  EXPECT_EQ(RgbAt(button.RenderImage(Up()), 50, 0), Rgb(kFace));  // no bevel at rest
  EXPECT_EQ(RgbAt(button.RenderImage(hovered), 50, 0), Rgb(kHighlight));
  EXPECT_EQ(RgbAt(button.RenderImage(Focused()), 50, 1), Rgb(kHighlight));

  button.SetShadeStyle(TkxShadeStyle::fbsNormal);
  EXPECT_EQ(RgbAt(button.RenderImage(hovered), 50, 15), Rgb(kFace));

  button.SetShadeStyle(TkxShadeStyle::fbsHighlight);
  button.SetDitherColor(Qt::white);
  const QColor lit = QColor::fromRgb(button.RenderImage(hovered).pixel(50, 15));
  EXPECT_GT(lit.red(), kFace.red());
  EXPECT_EQ(RgbAt(button.RenderImage(Up()), 50, 15), Rgb(kFace));

  button.SetShadeStyle(TkxShadeStyle::fbsRaised);
  const QImage raised = button.RenderImage(Up());
  EXPECT_GT(qRed(raised.pixel(50, 3)), qRed(raised.pixel(50, 26)));
}

TEST(TkxShapeBtnFace, CheckedButtonIsDitheredAndLooksPressed) {
  TkxShapeBtn button;
  Prepare(button, QSize(100, 30));
  button.SetColor(kNavy);
  button.SetDitherColor(Qt::white);
  button.setCheckable(true);
  button.setChecked(true);
  const QImage image = button.RenderImage();
  EXPECT_EQ(RgbAt(image, 50, 0), Rgb(kBlack));
  const QImage inside = image.copy(10, 10, 20, 10);
  EXPECT_GT(test::CountRgb(inside, kNavy), 50);
  EXPECT_GT(test::CountRgb(inside, Qt::white), 50);
}

TEST(TkxShapeBtnCaption, DrawnWithItsOwnTextOptions) {
  TkxShapeBtn button;
  Prepare(button, QSize(225, 33));
  button.setFont(test::AliasedFont(18));
  button.setText(QStringLiteral("Тестирование"));
  button.SetFontColor(kCaptionGreen);
  button.TextOptions().SetStyle(TkxTextStyle::kxlsRaised);
  const QImage image = button.RenderImage(Up());
  test::Keep(image, QStringLiteral("caption_raised"));
  const QRect caption = test::Bounds(image, [](QRgb p) { return (p & 0xFFFFFFu) == 0x00A000u; });
  ASSERT_FALSE(caption.isNull());
  // Centred both ways, with the raised copies (highlight up-left, shadow down-right).
  EXPECT_LE(std::abs(caption.left() - (224 - caption.right())), 2);
  EXPECT_LE(std::abs(caption.top() - (32 - caption.bottom())), 3);
  // The caption's effect colours are its own text options', not the bevel's.
  const QImage inside = image.copy(4, 4, 217, 25);
  EXPECT_GT(test::CountRgb(inside, SysBtnHighlight()), 0);
  EXPECT_GT(test::CountRgb(inside, SysBtnShadow()), 0);
  const QRect light = test::Bounds(inside, [](QRgb p) { return p == SysBtnHighlight().rgb(); });
  const QRect dark = test::Bounds(inside, [](QRgb p) { return p == SysBtnShadow().rgb(); });
  EXPECT_EQ(light.topLeft() + QPoint(2, 2), dark.topLeft());

  // Pressed, the caption moves one pixel down and right.
  const QRect pressed = test::Bounds(button.RenderImage(Pressed()),
                                     [](QRgb p) { return (p & 0xFFFFFFu) == 0x00A000u; });
  EXPECT_EQ(pressed, caption.translated(1, 1));
}

TEST(TkxShapeBtnCaption, DisabledCaptionUsesTheDisabledColors) {
  TkxShapeBtn button;
  Prepare(button, QSize(120, 30));
  button.setFont(test::AliasedFont(18));
  button.setText(QStringLiteral("Выход"));
  button.SetFontColor(kCaptionGreen);
  TkxButtonDrawState disabled;
  disabled.enabled = false;
  const QImage image = button.RenderImage(disabled);
  EXPECT_EQ(test::CountRgb(image, kCaptionGreen), 0);
  EXPECT_GT(test::CountRgb(image.copy(4, 4, 112, 22), SysBtnShadow()), 0);
}

TEST(TkxShapeBtnCaption, FocusRectangleOnlyWithTheOption) {
  TkxShapeBtn button;
  Prepare(button, QSize(120, 34));
  button.setFont(test::AliasedFont(18));
  button.setText(QStringLiteral("OK"));
  button.SetFontColor(kCaptionGreen);
  auto blackInside = [&] {
    return test::CountRgb(button.RenderImage(Focused()).copy(4, 4, 112, 26), Qt::black);
  };
  EXPECT_EQ(blackInside(), 0);
  button.SetOptions({TkxButtonOption::boFocusable, TkxButtonOption::boFocusRect});
  EXPECT_GT(blackInside(), 10);
  EXPECT_EQ(test::CountRgb(button.RenderImage(Up()).copy(4, 4, 112, 26), Qt::black), 0);
}

// Text wider than a round face spills over the transparent ground; it must carry no
// colour but its own (green here, on navy).
TEST(TkxShapeBtnCaption, NoColoredFringeAroundText) {
  TkxShapeBtn button;
  button.resize(70, 30);
  button.SetShape(TkxButtonShape::bsEllipse);
  button.SetColor(kNavy);
  button.setFont(test::SmoothFont(18, true));
  button.setText(QStringLiteral("WWWWWWWWW"));
  button.SetFontColor(QColor(0, 255, 0));
  button.TextOptions().SetStyle(TkxTextStyle::kxlsDefault);
  const QImage face = button.RenderFaceImage(Up());
  const QImage image = button.RenderImage(Up());
  test::Keep(image, QStringLiteral("fringe"));
  int spilled = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (qAlpha(face.pixel(x, y)) != 0) continue;
      const QRgb p = image.pixel(x, y);
      if (qAlpha(p) == 0) continue;
      ++spilled;
      EXPECT_EQ(qRed(p), 0) << x << "," << y;
      EXPECT_EQ(qBlue(p), 0) << x << "," << y;
    }
  }
  EXPECT_GT(spilled, 0);
}

TEST(TkxShapeBtnWidget, MousePressShowsPressedAndClickFires) {
  TkxShapeBtn button;
  Prepare(button, QSize(100, 30));
  QSignalSpy clicks(&button, &QAbstractButton::clicked);
  QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(50, 15));
  EXPECT_TRUE(button.isDown());
  EXPECT_TRUE(button.DrawState().pressed);
  EXPECT_EQ(button.RenderImage(), button.RenderImage(Pressed()));
  QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(50, 15));
  EXPECT_FALSE(button.isDown());
  EXPECT_EQ(clicks.count(), 1);
}

TEST(TkxShapeBtnWidget, ClicksBesideARoundFaceAreIgnored) {
  TkxShapeBtn button;
  Prepare(button, QSize(80, 40));
  button.SetShape(TkxButtonShape::bsEllipse);
  QSignalSpy clicks(&button, &QAbstractButton::clicked);
  QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(1, 1));
  EXPECT_EQ(clicks.count(), 0);
  QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(40, 20));
  EXPECT_EQ(clicks.count(), 1);
}

TEST(TkxShapeBtnWidget, FocusableOptionSetsTheFocusPolicy) {
  TkxShapeBtn button;
  button.SetOptions({});
  EXPECT_EQ(button.focusPolicy(), Qt::NoFocus);
  button.SetOptions({TkxButtonOption::boFocusable});
  EXPECT_EQ(button.focusPolicy(), Qt::StrongFocus);
}

TEST(TkxShapeBtnWidget, FocusedButtonDrawsFocusedAndEnterClicksIt) {
  QWidget window;
  window.resize(300, 100);
  auto* first = new TkxShapeBtn(&window);
  first->setGeometry(10, 10, 100, 30);
  auto* button = new TkxShapeBtn(&window);
  button->setGeometry(120, 10, 100, 30);
  Prepare(*button, QSize(100, 30));
  window.show();
  window.activateWindow();
  if (!QTest::qWaitForWindowActive(&window)) GTEST_SKIP() << "no active window on this platform";
  button->setFocus();
  ASSERT_TRUE(button->hasFocus());
  EXPECT_TRUE(button->DrawState().focused);
  EXPECT_EQ(button->RenderImage(), button->RenderImage(Focused()));

  QSignalSpy clicks(button, &QAbstractButton::clicked);
  QTest::keyClick(button, Qt::Key_Return);
  QTest::keyClick(button, Qt::Key_Space);
  EXPECT_EQ(clicks.count(), 2);
  // The widget paints its image: grab it and find the black focus outline.
  const QImage shown = button->grab().toImage();
  EXPECT_EQ(RgbAt(shown, 50, 0), 0x000000u);
  EXPECT_EQ(RgbAt(shown, 50, 1), Rgb(kHighlight));
}

TEST(TkxShapeBtnWidget, SizeHintHoldsTheCaption) {
  TkxShapeBtn button;
  button.setFont(test::AliasedFont(18));
  button.setText(QStringLiteral("Просмотр ответов"));
  const QSize hint = button.sizeHint();
  EXPECT_GT(hint.width(),
            QFontMetrics(button.font()).horizontalAdvance(QStringLiteral("Просмотр ответов")));
  EXPECT_GE(hint.height(), QFontMetrics(button.font()).height() + 8);
}

}  // namespace
}  // namespace velorin
