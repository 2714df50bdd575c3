// The message of the exception of type E that an action raises; a test failure when it raises none.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace testing_support {

template <typename E>
std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const E& e) {
    return e.Message;
  }
  ADD_FAILURE() << "no exception of the expected type";
  return {};
}

}  // namespace testing_support
