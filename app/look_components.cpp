#include "app/look_components.h"

#include <QWidget>

#include "app/form_scaling.h"

namespace velorin {

TkxLabel* MakeLabel(QWidget* parent, const char* name, const QRect& place, const LabelLook& look,
                    const QString& text) {
  auto* label = new TkxLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  PlaceControl(*label, place);
  label->setFont(look.font);
  label->SetFontColor(look.color);
  label->TextOptions().SetStyle(look.style).SetWordWrap(look.wordWrap);
  label->SetAutoSize(look.autoSize);
  return label;
}

TkxShapeBtn* MakeButton(QWidget* parent, const char* name, const QRect& place, const ButtonLook& look,
                        const QString& caption) {
  auto* button = new TkxShapeBtn(parent);
  button->setObjectName(QString::fromLatin1(name));
  PlaceControl(*button, place);
  button->SetShape(look.shape);
  button->setFont(look.font);
  button->SetFontColor(look.color);
  button->TextOptions().SetStyle(TkxTextStyle::kxlsRaised);
  button->SetShadeStyle(TkxShadeStyle::fbsHighlight);
  button->SetDitherColor(Qt::white);
  TkxButtonOptions options{TkxButtonOption::boFocusable};
  if (look.focusRect) options.Include(TkxButtonOption::boFocusRect);
  button->SetOptions(options);
  button->setText(caption);
  return button;
}

TkxStatusBar* MakeStatusBar(QWidget* parent, const char* name, const QRect& place) {
  auto* bar = new TkxStatusBar(parent);
  bar->setObjectName(QString::fromLatin1(name));
  PlaceControl(*bar, place);
  bar->SetSimplePanel(false);
  bar->SetSizeGrip(false);
  return bar;
}

}  // namespace velorin
