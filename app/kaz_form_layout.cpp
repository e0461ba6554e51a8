#include "app/kaz_form_layout.h"

#include <QDialog>

#include "app/design_look.h"

namespace velorin {

void KazFormLayout::SetupUi(QDialog& form) {
  form.setObjectName(QStringLiteral("KazForm"));
  form.setWindowTitle(QString());
  form.setFixedSize(409, 140);
  form.setFont(DesignFont(kArial, 15));

  QLabel = MakeLabel(&form, "QLabel", QRect(17, 12, 384, 74),
                     LabelLook{DesignFont(kArial, 20), kBlack, TkxTextStyle::kxlsLowered, true, true}, QString());
  kxShapeBtn2 = MakeButton(&form, "kxShapeBtn2", QRect(163, 91, 107, 35),
                           ButtonLook{DesignFont(kArial, 20), kNavy, TkxButtonShape::bsRoundRect, false},
                           QStringLiteral("OK"));
}

}  // namespace velorin
