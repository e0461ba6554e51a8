// kx_label.h — a label whose text is drawn with an effect (lowered, raised, outlined).
//
// The label paints no background: the window shows through around the text. The text
// is laid out in the whole control by TextOptions (alignment, vertical alignment, word
// wrap, line spacing, accelerator marks) and drawn in the font colour with the effect
// of TextOptions().Style(); a disabled label uses the disabled colours (see kx_text.h).
// Changing the text, the font, the font colour or any text option repaints the label.
//
// With AutoSize the label grows with its text, as platform labels do: never smaller
// than the size it was last given from outside (placed, scaled), it widens to hold an
// unwrapped text (its height stays) and, with WordWrap, grows downwards to hold every
// wrapped line (its width stays).
//
//   auto* label = new TkxLabel(QStringLiteral("Представьтесь:"), form);
//   label->TextOptions().SetStyle(TkxTextStyle::kxlsLowered);
//   label->SetFontColor(kMaroon);
//   QFont font(QStringLiteral("Arial")); font.setPixelSize(18); label->setFont(font);
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

#include "widgets/kx_text.h"

namespace velorin {

class TkxLabel : public QWidget {
  Q_OBJECT

 public:
  explicit TkxLabel(QWidget* parent = nullptr);
  explicit TkxLabel(const QString& text, QWidget* parent = nullptr);

  QString Text() const { return text_; }
  void SetText(const QString& text);

  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);

  TkxText& TextOptions() { return textOptions_; }
  const TkxText& TextOptions() const { return textOptions_; }
  void SetTextOptions(const TkxText& options) { textOptions_ = options; }

  // The colour of the text itself: the palette's foreground (WindowText).
  QColor FontColor() const;
  void SetFontColor(const QColor& color);

  // The label as it paints itself, on a transparent image of the control's size.
  QImage Render() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Paint(QPainter& painter) const;
  void FitToText();

  QString text_;
  TkxText textOptions_;
  bool autoSize_ = false;
  QSize givenSize_;   // the size last set from outside
  QSize fittedSize_;  // the size FitToText last set
};

}  // namespace velorin
