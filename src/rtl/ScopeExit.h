// Runs an action when a scope is left, on every way out, unless dismissed first: the undoing of a
// step that has no owner type of its own (a flag set for a while, controls to show again, a
// selection to put back when a call fails). The action must not throw.
#pragma once

#include <utility>

namespace rtl {

template <typename Action>
class TScopeExit {
 public:
  explicit TScopeExit(Action action) : action_(std::move(action)) {}
  ~TScopeExit() {
    if (armed_) action_();
  }
  TScopeExit(const TScopeExit&) = delete;
  TScopeExit& operator=(const TScopeExit&) = delete;

  // The action will not run: the way out it was for was not taken.
  void Dismiss() { armed_ = false; }

 private:
  Action action_;
  bool armed_ = true;
};

// Gives a variable a value for the guard's lifetime and puts the old one back on every way out: a
// change event detached, a flag raised while a notification runs.
template <typename T>
class TScopedValue {
 public:
  TScopedValue(T& variable, T value) : variable_(variable), saved_(std::exchange(variable, std::move(value))) {}
  ~TScopedValue() { variable_ = std::move(saved_); }
  TScopedValue(const TScopedValue&) = delete;
  TScopedValue& operator=(const TScopedValue&) = delete;

 private:
  T& variable_;
  T saved_;
};

}  // namespace rtl
