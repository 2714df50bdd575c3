#include "imaging/UNotifyList.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using imaging::TNotifyList;

class NotifyList : public ::testing::Test {
 protected:
  // Listeners only compare the sender, never use it.
  framework::TObject* Sender() { return reinterpret_cast<framework::TObject*>(&senderMarker); }

  TNotifyList::TListener Logger(std::string name) {
    return [this, name](framework::TObject* sender) {
      log.push_back(sender == Sender() ? name : name + "(wrong sender)");
    };
  }

  int senderMarker = 0;
  std::vector<std::string> log;
  TNotifyList list;
};

// Listeners are told in the order of adding, with the sender; an empty listener is not added, and
// removing an unknown one changes nothing.
TEST_F(NotifyList, NotifiesInTheOrderOfAddingWithTheSender) {
  EXPECT_EQ(list.Add(nullptr), nullptr);
  EXPECT_EQ(list.Count(), 0u);
  list.Notify(Sender());
  EXPECT_TRUE(log.empty());
  list.Add(Logger("first"));
  list.Add(Logger("second"));
  list.Add(Logger("third"));
  int elsewhere = 0;
  list.Remove(&elsewhere);
  list.Remove(nullptr);
  list.Notify(Sender());
  EXPECT_EQ(log, (std::vector<std::string>{"first", "second", "third"}));
  EXPECT_EQ(list.Count(), 3u);
}

TEST_F(NotifyList, AListenerAddedDuringANotificationWaitsForTheNext) {
  list.Add([this](framework::TObject*) {
    log.push_back("adder");
    if (list.Count() == 1) list.Add(Logger("late"));
  });
  list.Notify(Sender());
  EXPECT_EQ(log, (std::vector<std::string>{"adder"}));
  list.Notify(Sender());
  EXPECT_EQ(log, (std::vector<std::string>{"adder", "adder", "late"}));
}

// A listener removed during a notification, by another or by itself, is not called again.
TEST_F(NotifyList, AListenerRemovedDuringANotificationIsNotCalled) {
  TNotifyList::TListenerId later = nullptr;
  TNotifyList::TListenerId self = nullptr;
  self = list.Add([this, &later, &self](framework::TObject*) {
    log.push_back("remover");
    list.Remove(later);
    list.Remove(self);
  });
  later = list.Add(Logger("later"));
  list.Add(Logger("last"));
  list.Notify(Sender());
  EXPECT_EQ(list.Count(), 1u);
  list.Notify(Sender());
  EXPECT_EQ(log, (std::vector<std::string>{"remover", "last", "last"}));
}

TEST_F(NotifyList, AnExceptionFromAListenerPassesAndLeavesTheListUsable) {
  TNotifyList::TListenerId thrower = list.Add([](framework::TObject*) { throw std::runtime_error("listener failed"); });
  list.Add(Logger("after"));
  EXPECT_THROW(list.Notify(Sender()), std::runtime_error);
  EXPECT_TRUE(log.empty());
  list.Remove(thrower);
  EXPECT_EQ(list.Count(), 1u);
  list.Notify(Sender());
  EXPECT_EQ(log, (std::vector<std::string>{"after"}));
}

// Records when the listener that holds it is freed.
struct FreeRecorder {
  FreeRecorder(std::vector<int>& freed, int id) : log(freed), number(id) {}
  ~FreeRecorder() { log.push_back(number); }
  std::vector<int>& log;
  int number;
};

TEST(NotifyListLifetime, FreesItsRecordsLastFirst) {
  std::vector<int> freed;
  {
    TNotifyList list;
    for (int id = 1; id <= 3; ++id) {
      auto recorder = std::make_shared<FreeRecorder>(freed, id);
      list.Add([recorder](framework::TObject*) {});
    }
    EXPECT_TRUE(freed.empty());
  }
  EXPECT_EQ(freed, (std::vector<int>{3, 2, 1}));
}

}  // namespace
