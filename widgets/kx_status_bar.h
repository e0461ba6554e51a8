// kx_status_bar.h — a status bar whose panels have fixed or percentage widths and
// carry effect text.
//
// Width sharing, done from the bar's current width whenever it is asked for (so it
// follows every resize and every change of a panel's Width):
//   1. Going from the first panel to the last, every panel whose Width is a whole number
//      of pixels ("350") gets that many, but no more than the width still left.
//   2. Every panel whose Width is a percentage ("30%") gets that share of the width the
//      numbered panels left over, rounded down; again going from first to last and never
//      more than the width still left, so shares adding up to more than 100% stop at the
//      bar's edge instead of running past it.
//   A Width that is neither (empty, negative, "12.5%", "abc") gives the panel 0 pixels.
// Panels are laid side by side from the left; the bar's width beyond the last is empty.
// Each panel is drawn as a sunken frame with its Text inside, in its Font and FontColor
// with its TextOptions. With SimplePanel the bar shows SimpleText across its width
// instead of the panels. SizeGrip puts a size grip in the bottom-right corner.
//
//   auto* bar = new TkxStatusBar(form);
//   TkxStatusPanel& total = bar->AddPanel();
//   total.SetWidth(QStringLiteral("350"));
//   total.TextOptions().SetStyle(TkxTextStyle::kxlsLowered);
//   TkxStatusPanel& score = bar->AddPanel();
//   score.SetWidth(QStringLiteral("50"));
//   score.SetText(QStringLiteral("Правильно отвечено: 0"));
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>
#include <memory>
#include <vector>

#include "widgets/kx_text.h"

class QSizeGrip;

namespace velorin {

class TkxStatusBar;

// The widths of panels whose Width texts are `widthTexts`, on a bar `barWidth` wide.
std::vector<int> ShareStatusPanelWidths(int barWidth, const std::vector<QString>& widthTexts);

class TkxStatusPanel {
 public:
  TkxStatusPanel(const TkxStatusPanel&) = delete;
  TkxStatusPanel& operator=(const TkxStatusPanel&) = delete;

  QString Name() const { return name_; }
  void SetName(const QString& name) { name_ = name; }
  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }
  QString Text() const { return text_; }
  void SetText(const QString& text);
  // Starts as the bar's font and text colour at the time the panel was added.
  QFont Font() const { return font_; }
  void SetFont(const QFont& font);
  QColor FontColor() const { return fontColor_; }
  void SetFontColor(const QColor& color);
  TkxText& TextOptions() { return textOptions_; }
  const TkxText& TextOptions() const { return textOptions_; }
  void SetTextOptions(const TkxText& options) { textOptions_ = options; }
  // "350" (pixels) or "30%" (a share of what the pixel panels leave); empty at first.
  QString Width() const { return width_; }
  void SetWidth(const QString& width);

 private:
  friend class TkxStatusBar;
  explicit TkxStatusPanel(TkxStatusBar* owner);
  void Changed();

  TkxStatusBar* owner_;
  QString name_;
  int tag_ = 0;
  QString text_;
  QFont font_;
  QColor fontColor_;
  TkxText textOptions_;
  QString width_;
};

// The texts that keyboard-state panels would show; kept for the window definitions.
struct TkxStatusBarText {
  QString Caps = QStringLiteral("Caps");
  QString Overwrite = QStringLiteral("Overwrite");
  QString Num = QStringLiteral("Num");
  QString Scroll = QStringLiteral("Scroll");
};

class TkxStatusBar : public QWidget {
  Q_OBJECT

 public:
  explicit TkxStatusBar(QWidget* parent = nullptr);
  ~TkxStatusBar() override;

  // Panels, in order. The bar owns them; a reference stays valid until the panel is
  // deleted or the bar destroyed. An index out of range throws std::out_of_range.
  TkxStatusPanel& AddPanel();
  int PanelCount() const { return static_cast<int>(panels_.size()); }
  TkxStatusPanel& Panel(int index);
  const TkxStatusPanel& Panel(int index) const;
  void DeletePanel(int index);
  void ClearPanels();

  // The widths the panels get at the bar's current width, and where each one lies.
  std::vector<int> PanelWidths() const;
  QRect PanelRect(int index) const;

  bool SimplePanel() const { return simplePanel_; }
  void SetSimplePanel(bool simple);
  QString SimpleText() const { return simpleText_; }
  void SetSimpleText(const QString& text);
  bool SizeGrip() const { return sizeGrip_ != nullptr; }
  void SetSizeGrip(bool show);
  TkxStatusBarText& StatusBarText() { return statusBarText_; }
  const TkxStatusBarText& StatusBarText() const { return statusBarText_; }

  // The bar as it paints itself, on an image of its size.
  QImage Render() const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  friend class TkxStatusPanel;
  void Paint(QPainter& painter) const;
  void PlaceSizeGrip();

  std::vector<std::unique_ptr<TkxStatusPanel>> panels_;
  bool simplePanel_ = false;
  QString simpleText_;
  TkxText simpleTextOptions_;
  std::unique_ptr<QSizeGrip> sizeGrip_;  // a child widget while SizeGrip is on
  TkxStatusBarText statusBarText_;
};

}  // namespace velorin
