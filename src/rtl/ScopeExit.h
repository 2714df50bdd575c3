// Runs a piece of clean-up on every way out of a scope, the normal one and an exception alike.
#pragma once

#include <utility>

namespace rtl {

// TScopeExit restore([&] { ... });  The action must not throw.
template <typename Action>
class TScopeExit {
 public:
  explicit TScopeExit(Action action) : action_(std::move(action)) {}
  ~TScopeExit() { action_(); }
  TScopeExit(const TScopeExit&) = delete;
  TScopeExit& operator=(const TScopeExit&) = delete;

 private:
  Action action_;
};

}  // namespace rtl
