#include "window_driver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "app/KazFormUnit.h"

namespace velorin::testing {

ModalDriver::ModalDriver() : alive_(std::make_shared<bool>(true)) { Schedule(); }

ModalDriver::~ModalDriver() { *alive_ = false; }

void ModalDriver::Then(const QString& windowName, std::function<void(QWidget&)> script) {
  scripts_.push_back(Script{windowName, std::move(script)});
}

QStringList ModalDriver::MessageTexts() const {
  QStringList texts;
  for (const ShownMessage& message : messages_) {
    if (message.kind == QStringLiteral("message")) texts.append(message.text);
  }
  return texts;
}

QStringList ModalDriver::ErrorTexts() const {
  QStringList texts;
  for (const ShownMessage& message : messages_) {
    if (message.kind == QStringLiteral("error")) texts.append(message.text);
  }
  return texts;
}

void ModalDriver::Schedule() {
  // A fresh single-shot timer each time, so that the next tick also runs inside the
  // nested event loop of a window that a script or a message opens.
  std::weak_ptr<bool> alive = alive_;
  QTimer::singleShot(5, qApp, [this, alive] {
    if (auto flag = alive.lock(); flag && *flag) Tick();
  });
}

void ModalDriver::Tick() {
  Schedule();
  std::erase_if(handled_, [](const QPointer<QWidget>& window) { return window.isNull() || !window->isVisible(); });
  QWidget* top = QApplication::activeModalWidget();
  if (top == nullptr || !top->isVisible() || Handled(top)) return;

  // Marked while it is dealt with: activating it, and the messages a script causes,
  // run nested event loops in which it is on top again.
  QPointer<QWidget> window(top);
  handled_.push_back(window);
  ActivateWindow(*top);
  if (!window.isNull() && window->isVisible()) Handle(*window);
  std::erase(handled_, window);
  ActivateTopWindow();
}

void ModalDriver::Handle(QWidget& top) {
  if (auto* dialog = qobject_cast<TKazForm*>(&top)) {
    messages_.push_back(ShownMessage{QStringLiteral("message"), QString(), dialog->Message()});
    Click(top, "kxShapeBtn2");
    return;
  }
  if (auto* box = qobject_cast<QMessageBox*>(&top)) {
    messages_.push_back(ShownMessage{QStringLiteral("error"), box->windowTitle(), box->text()});
    if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
      Click(*ok);
    } else {
      box->reject();
    }
    return;
  }
  if (!scripts_.empty() && scripts_.front().windowName == top.objectName()) {
    Script script = std::move(scripts_.front());
    scripts_.pop_front();
    script.run(top);
    return;
  }
  unexpected_.append(top.objectName());
  top.close();
}

void ActivateWindow(QWidget& window) {
  if (QApplication::activeWindow() == &window) return;
  window.activateWindow();
  if (!QTest::qWaitForWindowActive(&window, 10000)) qWarning("window %s did not become active", qPrintable(window.objectName()));
}

void ActivateTopWindow() {
  // What a window manager does when a window closes: the one below becomes active.
  if (QWidget* modal = QApplication::activeModalWidget()) {
    ActivateWindow(*modal);
    return;
  }
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->isVisible() && window->isWindow() && !(window->windowFlags() & Qt::Popup) &&
        window->objectName() == QStringLiteral("MainForm")) {
      ActivateWindow(*window);
      return;
    }
  }
}

bool ModalDriver::Handled(QWidget* window) const {
  return std::any_of(handled_.begin(), handled_.end(), [window](const QPointer<QWidget>& w) { return w == window; });
}

void Click(QAbstractButton& button) {
  QTest::mouseClick(&button, Qt::LeftButton, Qt::NoModifier, button.rect().center());
}

void Click(QWidget& window, const char* buttonName) { Click(Control<QAbstractButton>(window, buttonName)); }

void PressKey(QWidget& target, Qt::Key key, Qt::KeyboardModifiers modifiers) {
  QWidget* focus = target.window()->focusWidget();
  QTest::keyClick(focus != nullptr ? focus : &target, key, modifiers);
}

void TypeText(QWidget& target, const QString& text) {
  for (const QChar character : text) {
    QWidget* focus = target.window()->focusWidget();
    QWidget* receiver = focus != nullptr ? focus : &target;
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(character));
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(character));
    QApplication::sendEvent(receiver, &press);
    QApplication::sendEvent(receiver, &release);
  }
}

bool TabTo(QWidget& window, const char* controlName) {
  QWidget& control = Control(window, controlName);
  for (int i = 0; i < 20; ++i) {
    QWidget* focus = QApplication::focusWidget();
    if (focus != nullptr && (focus == &control || control.isAncestorOf(focus))) return true;
    PressKey(window, Qt::Key_Tab);
  }
  return false;
}

void ProcessEvents() { QApplication::processEvents(); }

}  // namespace velorin::testing
