// The listeners that an image pack tells of its changes.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace framework {
class TObject;
}

namespace imaging {

class TNotifyList {
 public:
  // One bound method taking the sender.
  using TListener = std::function<void(framework::TObject* sender)>;
  // Names an added listener for Remove; nullptr names none.
  using TListenerId = const void*;

  TNotifyList() = default;
  // Frees the records, last first.
  ~TNotifyList();
  TNotifyList(const TNotifyList&) = delete;
  TNotifyList& operator=(const TNotifyList&) = delete;

  // Appends a listener, so listeners are called in the order they were added. An empty one is
  // not added (nullptr is returned).
  TListenerId Add(TListener listener);
  // A listener removed while a notification runs is not called by it; unknown ids are ignored.
  void Remove(TListenerId id);
  std::size_t Count() const;

  // Calls, in list order, each listener that was in the list when the call began.
  void Notify(framework::TObject* sender);

 private:
  struct TRecord {
    TListener Method;
    bool Removed = false;
  };
  void DropRemoved();

  std::vector<std::unique_ptr<TRecord>> records_;
  int notifying_ = 0;  // nesting depth; records are only dropped when it is 0
};

}  // namespace imaging
