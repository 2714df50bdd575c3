// Events: a handler to call, and the name of the published method it was bound to, if any.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>

namespace framework {

class TObject;

template <typename... Args>
class TEvent {
 public:
  using Handler = std::function<void(Args...)>;

  TEvent() = default;
  TEvent(std::nullptr_t) {}
  template <typename F>
    requires std::is_invocable_v<F&, Args...> && (!std::is_same_v<std::decay_t<F>, TEvent>)
  TEvent(F handler) : handler_(std::move(handler)) {}
  // A handler bound to a published method; the layout writer writes the method's name.
  TEvent(std::string methodName, Handler handler)
      : handler_(std::move(handler)), methodName_(std::move(methodName)) {}

  explicit operator bool() const { return static_cast<bool>(handler_); }
  // Calls the handler when one is assigned.
  void operator()(Args... args) const {
    if (handler_) handler_(std::forward<Args>(args)...);
  }
  const std::string& MethodName() const { return methodName_; }

 private:
  Handler handler_;
  std::string methodName_;
};

using TNotifyEvent = TEvent<TObject*>;

}  // namespace framework
