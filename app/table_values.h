// table_values.h — the window boundary for table values: text and dates.
//
// The dataset gives and takes text as bytes in the program's ANSI code page (1251 in a
// Russian setting; platform/locale_settings.h), having translated NAME.DBF's and
// INFO.DBF's OEM text itself. The windows show Unicode. FromTableText and ToTableText
// are the only places where one becomes the other. Dates travel as the dataset's
// date serial and become calendar dates here.
#pragma once

#include <QString>
#include <optional>
#include <string>

#include <QDate>

#include "dataset/Velorin6DB.h"

namespace velorin {

// ANSI bytes to Unicode; a byte the code page leaves undefined shows as U+FFFD.
QString FromTableText(const std::string& bytes);

// Unicode to ANSI bytes. A character the code page cannot hold is refused: the result
// is empty and *refused (when given) is that character.
std::optional<std::string> ToTableText(const QString& text, QString* refused = nullptr);

// The message shown when a name cannot be stored because of that character.
QString UnstorableNameMessage(const QString& refused);

// A date field's value as a calendar day (the time of day dropped); the zero date
// (30 December 1899), which a null date reads as, stays that day.
QDate FromTableDate(TDateTime value);
// A calendar day as a date field takes it; an invalid day gives the zero date.
TDateTime ToTableDate(const QDate& day);

}  // namespace velorin
