// Persistent objects (assignable) and components (named, owned, loaded from layouts).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "framework/ClassInfo.h"
#include "framework/Types.h"

namespace framework {

class TPersistent : public TObject {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  // Copies the settings of source into this object. A class that can take source overrides it;
  // otherwise source is asked (AssignTo), and failing that EAssignError names source's class (or
  // "nil") and this one's.
  virtual void Assign(const TPersistent* source);

 protected:
  virtual void AssignTo(TPersistent* dest) const;
};

enum class TComponentStateItem { csLoading, csDesigning, csDestroying };
using TComponentState = TSet<TComponentStateItem>;
enum class TOperation { opInsert, opRemove };

// A component is owned by its owner, which deletes it when it is deleted itself; deleting a
// component earlier takes it out of its owner. Components with an owner are created with new.
class TComponent : public TPersistent {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  explicit TComponent(TComponent* owner);
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }
  const std::vector<TComponent*>& Components() const { return components_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  // The owned component of that name (ASCII case ignored), or null.
  TComponent* FindComponent(std::string_view name) const;

  const std::string& Name() const { return name_; }
  // Raises EComponentError for a name that is not an identifier or is taken in the owner.
  void SetName(const std::string& name);

  TComponentState ComponentState() const { return state_; }
  bool Loading() const { return state_.Contains(TComponentStateItem::csLoading); }
  bool Designing() const { return state_.Contains(TComponentStateItem::csDesigning); }
  // Marks this component and all it owns as being in a design environment; a component created
  // with a designing owner is designing from its construction on.
  void SetDesigning(bool designing);

  // Called once after a layout has set all properties of all components; clears csLoading.
  virtual void Loaded();

  // Asks to be told (Notification with opRemove) when component is destroyed, and the other way.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  // Layout support: whether the component sits inside a parent component in a layout, and the
  // components a layout writes nested inside this one.
  virtual bool HasParent() const { return false; }
  virtual void SetParentComponent(TComponent* parent);
  virtual void GetChildren(std::vector<TComponent*>& children, const TComponent& root) const;

 protected:
  // Told when a component owned by the same owner tree, or one asked for with FreeNotification,
  // is inserted or removed. Overrides clear their references to a removed component.
  virtual void Notification(TComponent* component, TOperation operation);
  void DestroyComponents();

 private:
  friend class TLayoutReader;

  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  void SetLoading(bool loading);

  TComponent* owner_ = nullptr;  // not owned
  std::string name_;
  std::vector<TComponent*> components_;      // owned
  std::vector<TComponent*> freeNotifies_;    // not owned
  TComponentState state_;
};

}  // namespace framework
