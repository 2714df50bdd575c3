#include "framework/Component.h"

#include <algorithm>

#include "framework/Errors.h"

namespace framework {

namespace {

bool IsIdentifier(std::string_view name) {
  if (name.empty()) return false;
  auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!alpha(name[0])) return false;
  return std::all_of(name.begin() + 1, name.end(), [&](char c) { return alpha(c) || (c >= '0' && c <= '9'); });
}

void Erase(std::vector<TComponent*>& list, TComponent* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

}  // namespace

const TClass& TPersistent::StaticClass() {
  static const TClass info = TClassBuilder<TPersistent>("TPersistent", &TObject::StaticClass());
  return info;
}

void TPersistent::Assign(const TPersistent* source) {
  if (source == nullptr) throw EAssignError("nil", ClassName());
  source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* dest) const { throw EAssignError(ClassName(), dest->ClassName()); }

const TClass& TComponent::StaticClass() {
  static const TClass info = TClassBuilder<TComponent>("TComponent", &TPersistent::StaticClass());
  return info;
}

TComponent::TComponent(TComponent* owner) {
  if (owner != nullptr) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  state_.Include(TComponentStateItem::csDestroying);
  std::vector<TComponent*> notifies;
  notifies.swap(freeNotifies_);
  for (TComponent* other : notifies) {
    Erase(other->freeNotifies_, this);
    other->Notification(this, TOperation::opRemove);
  }
  DestroyComponents();
  if (owner_ != nullptr) owner_->RemoveComponent(this);
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* last = components_.back();
    components_.pop_back();
    last->owner_ = nullptr;
    Notification(last, TOperation::opRemove);
    delete last;
  }
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_) {
    if (SameText(c->name_, name)) return c;
  }
  return nullptr;
}

void TComponent::SetName(const std::string& name) {
  if (name == name_) return;
  if (!name.empty() && !IsIdentifier(name)) throw EComponentError::InvalidName(name);
  if (owner_ != nullptr && !name.empty()) {
    TComponent* same = owner_->FindComponent(name);
    if (same != nullptr && same != this) throw EComponentError::DuplicateName(name);
  }
  name_ = name;
}

void TComponent::SetDesigning(bool designing) {
  if (designing) {
    state_.Include(TComponentStateItem::csDesigning);
  } else {
    state_.Exclude(TComponentStateItem::csDesigning);
  }
  for (TComponent* c : components_) c->SetDesigning(designing);
}

void TComponent::SetLoading(bool loading) {
  if (loading) {
    state_.Include(TComponentStateItem::csLoading);
  } else {
    state_.Exclude(TComponentStateItem::csLoading);
  }
}

void TComponent::Loaded() { SetLoading(false); }

void TComponent::FreeNotification(TComponent* component) {
  if (component == nullptr || component == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end()) {
    freeNotifies_.push_back(component);
    component->freeNotifies_.push_back(this);
  }
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (component == nullptr) return;
  Erase(freeNotifies_, component);
  Erase(component->freeNotifies_, this);
}

void TComponent::SetParentComponent(TComponent*) {}

void TComponent::GetChildren(std::vector<TComponent*>& children, const TComponent& root) const {
  if (this != &root) return;
  for (TComponent* c : components_) {
    if (!c->HasParent()) children.push_back(c);
  }
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == TOperation::opRemove) RemoveFreeNotification(component);
  for (std::size_t i = components_.size(); i-- > 0;) {
    if (i < components_.size()) components_[i]->Notification(component, operation);
  }
}

void TComponent::InsertComponent(TComponent* component) {
  if (Designing()) component->state_.Include(TComponentStateItem::csDesigning);
  component->owner_ = this;
  components_.push_back(component);
  Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  Notification(component, TOperation::opRemove);
  Erase(components_, component);
  component->owner_ = nullptr;
}

}  // namespace framework
