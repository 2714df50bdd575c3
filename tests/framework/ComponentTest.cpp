#include "framework/Bitmap.h"
#include "framework/Colors.h"
#include "framework/Component.h"
#include "framework/Errors.h"
#include "framework/Graphic.h"
#include "framework/GraphicsObjects.h"
#include "support/Gui.h"
#include "support/MessageOf.h"

#include <gtest/gtest.h>

#include <memory>


namespace {

using namespace framework;

// Counts its destructions and remembers the removals it was told of.
class TWatcher : public TComponent {
 public:
  explicit TWatcher(TComponent* owner, int* destroyed = nullptr) : TComponent(owner), destroyed_(destroyed) {}
  ~TWatcher() override {
    if (destroyed_ != nullptr) ++*destroyed_;
  }
  std::vector<TComponent*> removed;

 protected:
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove) removed.push_back(component);
  }

 private:
  int* destroyed_;
};

TEST(ComponentOwnership, OwnerDeletesWhatItOwnsAndItsTree) {
  int destroyed = 0;
  auto owner = std::make_unique<TWatcher>(nullptr, &destroyed);
  auto* child = new TWatcher(owner.get(), &destroyed);
  new TWatcher(child, &destroyed);
  new TWatcher(owner.get(), &destroyed);
  EXPECT_EQ(owner->ComponentCount(), 2);
  EXPECT_EQ(child->Owner(), owner.get());
  owner.reset();
  EXPECT_EQ(destroyed, 4);
}

TEST(ComponentOwnership, DeletingAComponentTellsItsOwnerTheOwnedAndThoseThatAskedAndTakesItOut) {
  TWatcher owner(nullptr);
  auto* first = new TWatcher(&owner);
  auto* second = new TWatcher(&owner);
  delete first;
  ASSERT_EQ(owner.ComponentCount(), 1);
  EXPECT_EQ(owner.Components()[0], second);
  // The owner and its other components are told.
  EXPECT_EQ(owner.removed.back(), first);
  EXPECT_EQ(second->removed.back(), first);
  // A free notification tells across owners.
  auto other = std::make_unique<TWatcher>(nullptr);
  owner.FreeNotification(other.get());
  TComponent* gone = other.get();
  other.reset();
  EXPECT_EQ(owner.removed.back(), gone);
}

TEST(ComponentNames, AreIdentifiersUniqueInTheirOwnerIgnoringCase) {
  TComponent owner(nullptr);
  auto* one = new TComponent(&owner);
  auto* two = new TComponent(&owner);
  one->SetName("Edit1");
  EXPECT_THROW(two->SetName("EDIT1"), EComponentError);
  EXPECT_THROW(two->SetName("1Edit"), EComponentError);
  EXPECT_THROW(two->SetName("Edit 1"), EComponentError);
  two->SetName("Edit_2");
  EXPECT_EQ(owner.FindComponent("edit1"), one);
  EXPECT_EQ(owner.FindComponent("Edit_2"), two);
  EXPECT_EQ(owner.FindComponent(""), nullptr);
  // Renaming to its own name, or to no name, is allowed.
  one->SetName("Edit1");
  one->SetName("");
  two->SetName("Edit1");
}

TEST(ComponentState, DesignStateIsInheritedFromTheOwner) {
  TComponent owner(nullptr);
  owner.SetDesigning(true);
  auto* child = new TComponent(&owner);
  EXPECT_TRUE(child->Designing());
  owner.SetDesigning(false);
  EXPECT_FALSE(child->Designing());
  EXPECT_FALSE(child->Loading());
}

TEST(PersistentAssign, NamesBothClassesWhenTheyDoNotFit) {
  TBrush brush;
  TPen pen;
  EXPECT_EQ(testing_support::MessageOf<EConvertError>([&] { brush.Assign(&pen); }),
            testing_support::S("TPen を TBrush に代入することはできません"));
  EXPECT_EQ(testing_support::MessageOf<EConvertError>([&] { brush.Assign(nullptr); }),
            testing_support::S("nil を TBrush に代入することはできません"));
  TBrush other;
  other.SetColor(clRed);
  brush.Assign(&other);
  EXPECT_EQ(brush.Color(), clRed);
}

TEST(ClassInformation, KnowsAncestorsAndRegisteredClasses) {
  EXPECT_EQ(TBitmap::StaticClass().Name(), "TBitmap");
  EXPECT_TRUE(TBitmap::StaticClass().InheritsFrom(TGraphic::StaticClass()));
  EXPECT_FALSE(TGraphic::StaticClass().InheritsFrom(TBitmap::StaticClass()));
  EXPECT_EQ(FindClass("tbitbtn"), FindClass("TBitBtn"));
  EXPECT_NE(FindClass("TBitBtn"), nullptr);
  EXPECT_EQ(FindClass("TNoSuchThing"), nullptr);
  EXPECT_FALSE(TGraphic::StaticClass().CanCreate());
  TBitmap bitmap;
  EXPECT_EQ(bitmap.ClassName(), "TBitmap");
}

}  // namespace
