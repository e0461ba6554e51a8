// error_guard.h — the one place where the windows' errors end up.
//
// The windows catch nothing themselves. Every creation step and every handler of a
// control runs through RunStep: an exception thrown anywhere inside it abandons the
// rest of that step, its text is shown in a message box titled with the program's
// title, and the program goes on. A carriage return in the text breaks the line.
#pragma once

#include <QString>
#include <functional>
#include <string>

namespace velorin {

// The program's title: the application's display name, which the desktop shows for
// the program and as the title of a window without a caption of its own (and the
// caption of the error boxes); "Тестирование" once the start-up has set it.
QString ProgramTitle();
void SetProgramTitle(const QString& title);

// Message text for a Qt label or box: UTF-8 to Unicode, a carriage return (alone or
// before a line feed) as one line break.
QString MessageText(const std::string& utf8);
QString MessageText(const QString& text);

// Shows the text in a modal message box with the program's title.
void ShowErrorBox(const QString& text);

// Runs the step; an exception is shown by ShowErrorBox. True when the step finished.
bool RunStep(const std::function<void()>& step);

// A slot for connect() that runs a member function of the window through RunStep.
template <class Form>
auto Guarded(Form* form, void (Form::*handler)()) {
  return [form, handler] { RunStep([form, handler] { (form->*handler)(); }); };
}

}  // namespace velorin
