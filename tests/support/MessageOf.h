// The exception of type E that an action raises, or its message; a test failure when it raises none.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

namespace testing_support {

// For a check of more than the message:
//   if (const auto error = ExceptionOf<rtl::EFCreateError>([&] { ... })) {
//     EXPECT_EQ(error->SystemError, 5u);
//   }
template <typename E>
std::optional<E> ExceptionOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const E& e) {
    return e;
  }
  ADD_FAILURE() << "no exception of the expected type";
  return std::nullopt;
}

template <typename E>
std::string MessageOf(const std::function<void()>& action) {
  const std::optional<E> error = ExceptionOf<E>(action);
  return error ? error->Message : std::string();
}

}  // namespace testing_support
