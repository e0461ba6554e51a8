// design_look.h — the fonts and colours that the window definitions name.
//
// The definitions speak of Arial and Arial Narrow at pixel heights. On Linux the
// metric-compatible Liberation Sans and Liberation Sans Narrow stand in for them
// (InstallFontSubstitutes), so texts take the same room as the design assumes.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include "widgets/system_colors.h"

class QWidget;

namespace velorin {

inline const QString kArial = QStringLiteral("Arial");
inline const QString kArialNarrow = QStringLiteral("Arial Narrow");

// kNavy and kMaroon come with the components' system colours.
inline const QColor kBlack{0, 0, 0};

// Arial -> Liberation Sans, Arial Narrow -> Liberation Sans Narrow.
void InstallFontSubstitutes();

// A font of the family at a pixel height (the em size, as the definitions give it).
QFont DesignFont(const QString& family, int pixelSize, bool bold = false);

// The text colour of a control: its palette's window text, text and button text.
void SetTextColor(QWidget& control, const QColor& color);

}  // namespace velorin
