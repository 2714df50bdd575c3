#include "framework/ClassInfo.h"

#include <map>

#include "framework/StandardClasses.h"

namespace framework {

TPropInfo::TPropInfo() = default;
TPropInfo::TPropInfo(const TPropInfo&) = default;
TPropInfo::TPropInfo(TPropInfo&&) noexcept = default;
TPropInfo& TPropInfo::operator=(const TPropInfo&) = default;
TPropInfo& TPropInfo::operator=(TPropInfo&&) noexcept = default;
TPropInfo::~TPropInfo() = default;

TClass::TClass(std::string name, const TClass* parent) : name_(std::move(name)), parent_(parent) {}
TClass::TClass(TClass&&) noexcept = default;
TClass::~TClass() = default;

TPropInfo& TClass::AddProperty(const char* name, TPropKind kind) {
  TPropInfo& property = properties_.emplace_back();
  property.Name = name;
  property.Kind = kind;
  return property;
}

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

struct TLessText {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
      char x = Lower(a[i]);
      char y = Lower(b[i]);
      if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    return a.size() < b.size();
  }
};

std::map<std::string, const TClass*, TLessText>& Registry() {
  static std::map<std::string, const TClass*, TLessText> registry;
  return registry;
}

template <typename Info>
const Info* FindIn(const std::vector<Info>& list, std::string_view name) {
  for (const Info& info : list) {
    if (SameText(info.Name, name)) return &info;
  }
  return nullptr;
}

}  // namespace

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

const TClass& TObject::StaticClass() {
  static const TClass info = TClassBuilder<TObject>("TObject", nullptr);
  return info;
}

const std::string& TObject::ClassName() const { return ClassType().Name(); }

bool TObject::InheritsFrom(const TClass& ancestor) const { return ClassType().InheritsFrom(ancestor); }

bool TClass::InheritsFrom(const TClass& ancestor) const {
  for (const TClass* c = this; c != nullptr; c = c->parent_) {
    if (c == &ancestor) return true;
  }
  return false;
}

const TPropInfo* TClass::FindProperty(std::string_view name) const {
  for (const TClass* c = this; c != nullptr; c = c->parent_) {
    if (const TPropInfo* p = FindIn(c->properties_, name)) return p;
  }
  return nullptr;
}

const TMethodInfo* TClass::FindMethod(std::string_view name) const {
  for (const TClass* c = this; c != nullptr; c = c->parent_) {
    if (const TMethodInfo* m = FindIn(c->methods_, name)) return m;
  }
  return nullptr;
}

const TFieldInfo* TClass::FindField(std::string_view name) const {
  for (const TClass* c = this; c != nullptr; c = c->parent_) {
    if (const TFieldInfo* f = FindIn(c->fields_, name)) return f;
  }
  return nullptr;
}

std::vector<const TPropInfo*> TClass::Properties() const {
  std::vector<const TClass*> chain;
  for (const TClass* c = this; c != nullptr; c = c->parent_) chain.push_back(c);
  std::vector<const TPropInfo*> result;
  for (auto c = chain.rbegin(); c != chain.rend(); ++c) {
    for (const TPropInfo& p : (*c)->properties_) {
      bool replaced = false;
      for (const TPropInfo*& existing : result) {
        if (SameText(existing->Name, p.Name)) {
          existing = &p;
          replaced = true;
        }
      }
      if (!replaced) result.push_back(&p);
    }
  }
  return result;
}

void RegisterClasses(std::initializer_list<const TClass*> classes) {
  for (const TClass* cls : classes) Registry().emplace(cls->Name(), cls);
}

const TClass* FindClass(std::string_view name) {
  static const bool standard = (RegisterStandardClasses(), true);
  (void)standard;
  auto found = Registry().find(name);
  return found == Registry().end() ? nullptr : found->second;
}

}  // namespace framework
