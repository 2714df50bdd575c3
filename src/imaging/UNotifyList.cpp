#include "imaging/UNotifyList.h"

#include <algorithm>

namespace imaging {

TNotifyList::~TNotifyList() {
  while (!records_.empty()) records_.pop_back();
}

TNotifyList::TListenerId TNotifyList::Add(TListener listener) {
  if (!listener) return nullptr;
  records_.push_back(std::make_unique<TRecord>(TRecord{std::move(listener)}));
  return records_.back().get();
}

void TNotifyList::Remove(TListenerId id) {
  auto found = std::find_if(records_.begin(), records_.end(),
                            [id](const std::unique_ptr<TRecord>& record) { return record.get() == id; });
  if (found == records_.end()) return;
  (*found)->Removed = true;
  if (notifying_ == 0) DropRemoved();
}

std::size_t TNotifyList::Count() const {
  return static_cast<std::size_t>(std::count_if(records_.begin(), records_.end(),
                                                [](const std::unique_ptr<TRecord>& record) { return !record->Removed; }));
}

void TNotifyList::Notify(framework::TObject* sender) {
  // Listeners may add or remove listeners: the count is taken once, records stay in place (each
  // is its own allocation) and removed ones are dropped only after the outermost notification.
  const std::size_t count = records_.size();
  struct Depth {
    explicit Depth(TNotifyList& list) : owner(list) { ++owner.notifying_; }
    ~Depth() {
      if (--owner.notifying_ == 0) owner.DropRemoved();
    }
    TNotifyList& owner;
  } depth(*this);
  for (std::size_t i = 0; i < count; ++i) {
    TRecord& record = *records_[i];
    if (!record.Removed) record.Method(sender);
  }
}

void TNotifyList::DropRemoved() {
  std::erase_if(records_, [](const std::unique_ptr<TRecord>& record) { return record->Removed; });
}

}  // namespace imaging
