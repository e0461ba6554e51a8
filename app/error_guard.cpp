#include "app/error_guard.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <exception>

namespace velorin {

QString ProgramTitle() { return QGuiApplication::applicationDisplayName(); }
void SetProgramTitle(const QString& title) { QGuiApplication::setApplicationDisplayName(title); }

QString MessageText(const QString& text) {
  QString result = text;
  result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return result;
}

QString MessageText(const std::string& utf8) {
  return MessageText(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

void ShowErrorBox(const QString& text) {
  QMessageBox box(QMessageBox::Critical, ProgramTitle(), MessageText(text), QMessageBox::Ok);
  box.setObjectName(QStringLiteral("ErrorBox"));
  box.exec();
}

bool RunStep(const std::function<void()>& step) {
  try {
    step();
    return true;
  } catch (const std::exception& error) {
    ShowErrorBox(MessageText(std::string(error.what())));
  } catch (...) {
    ShowErrorBox(QStringLiteral("Неизвестная ошибка"));
  }
  return false;
}

}  // namespace velorin
