// window_driver.h — driving the program's windows from a test as a person would.
//
// A modal window blocks the test until it closes, so ModalDriver watches the stack
// of modal windows from the event loop: a message (the message dialog or an error
// box) is read and closed with its own button; a window for which the test queued
// a script (by object name) is handed to the script, which clicks and types in it
// and closes it. Any other modal window is recorded as unexpected and closed. As the
// offscreen platform has no window manager, the driver activates each modal window
// when it appears and the one below when it closes, so the focus moves as on a desktop.
#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <deque>
#include <functional>
#include <set>

class QAbstractButton;
class QComboBox;

namespace velorin::testing {

struct ShownMessage {
  QString kind;   // "message" (the message dialog) or "error" (an error box)
  QString title;  // the error box's title
  QString text;
};

class ModalDriver {
 public:
  ModalDriver();
  ~ModalDriver();
  ModalDriver(const ModalDriver&) = delete;
  ModalDriver& operator=(const ModalDriver&) = delete;

  // The next showing of the modal window of that object name runs the script.
  void Then(const QString& windowName, std::function<void(QWidget&)> script);

  const std::vector<ShownMessage>& Messages() const { return messages_; }
  QStringList MessageTexts() const;  // message dialog texts only
  QStringList ErrorTexts() const;    // error box texts only
  const QStringList& Unexpected() const { return unexpected_; }
  // True when every queued script has run.
  bool AllScriptsRan() const { return scripts_.empty(); }
  void ClearMessages() { messages_.clear(); }

 private:
  void Tick();
  void Handle(QWidget& top);
  void Schedule();

  struct Script {
    QString windowName;
    std::function<void(QWidget&)> run;
  };
  std::deque<Script> scripts_;
  std::vector<ShownMessage> messages_;
  QStringList unexpected_;
  // Windows whose script is running; they may be destroyed meanwhile.
  std::vector<QPointer<QWidget>> handled_;
  bool Handled(QWidget* window) const;
  bool stopped_ = false;
  std::shared_ptr<bool> alive_;
};

// Makes the window the active one and waits for it, as a window manager would when
// it appears; ActivateTopWindow activates the modal window on top, else the main
// window, as one would when a window closes.
void ActivateWindow(QWidget& window);
void ActivateTopWindow();

// Input as a person gives it.
void Click(QAbstractButton& button);
void Click(QWidget& window, const char* buttonName);
void PressKey(QWidget& target, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Types the text into the focused widget of the window, one key event per character
// with its text (works for any script, Cyrillic included).
void TypeText(QWidget& target, const QString& text);
// Moves the focus with Tab until the named control has it (at most 20 presses).
bool TabTo(QWidget& window, const char* controlName);

template <class T = QWidget>
T& Control(QWidget& window, const char* name) {
  T* control = window.findChild<T*>(QString::fromLatin1(name));
  if (control == nullptr) throw std::runtime_error(std::string("no control ") + name);
  return *control;
}

// Lets queued events run.
void ProcessEvents();

}  // namespace velorin::testing
