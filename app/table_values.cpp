#include "app/table_values.h"

#include <cmath>

#include "platform/code_page.h"
#include "platform/locale_settings.h"

namespace velorin {

QString FromTableText(const std::string& bytes) {
  const std::string utf8 = platform::ToUtf8(bytes, platform::ActiveLocale().AnsiCodePage());
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::optional<std::string> ToTableText(const QString& text, QString* refused) {
  const QByteArray utf8 = text.toUtf8();
  std::string bytes;
  platform::Utf8Refusal refusal;
  if (platform::FromUtf8(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())),
                         platform::ActiveLocale().AnsiCodePage(), &bytes, &refusal)) {
    return bytes;
  }
  if (refused != nullptr) {
    if (refusal.codePoint == platform::kNoCharacter) {
      *refused = QString(QChar::ReplacementCharacter);
    } else {
      const char32_t codePoint = refusal.codePoint;
      *refused = QString::fromUcs4(&codePoint, 1);
    }
  }
  return std::nullopt;
}

QString UnstorableNameMessage(const QString& refused) {
  return QStringLiteral("Знак «%1» в имени не может быть сохранён.\rПожалуйста, исправьте имя.").arg(refused);
}

namespace {
const QDate kZeroDate(1899, 12, 30);
}  // namespace

QDate FromTableDate(TDateTime value) {
  // The serial counts days from the zero date; before it the fraction still counts
  // forward, so the day is the serial truncated toward zero.
  if (!std::isfinite(value.Value)) return kZeroDate;
  return kZeroDate.addDays(static_cast<qint64>(std::trunc(value.Value)));
}

TDateTime ToTableDate(const QDate& day) {
  if (!day.isValid()) return TDateTime{};
  return TDateTime{static_cast<double>(kZeroDate.daysTo(day))};
}

}  // namespace velorin
