// raised_message.h — the message of the exception an action raises, for tests
// that check error texts.
#pragma once

#include <exception>
#include <functional>
#include <string>

namespace velorin::testing {

inline std::string RaisedMessage(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(nothing raised)";
}

}  // namespace velorin::testing
