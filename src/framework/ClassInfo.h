// Run-time class information: class names, the published properties, methods and fields that the
// layout reader and writer use, and the registry of classes that layouts may name.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeindex>
#include <vector>

#include "framework/Events.h"
#include "framework/Types.h"
#include "rtl/Stream.h"

namespace framework {

class TClass;
class TPersistent;
class TComponent;

// The root of the framework's classes: every object knows its class.
class TObject {
 public:
  virtual ~TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;

  static const TClass& StaticClass();
  virtual const TClass& ClassType() const { return StaticClass(); }
  const std::string& ClassName() const;
  bool InheritsFrom(const TClass& ancestor) const;

 protected:
  TObject() = default;
};

enum class TPropKind { Integer, Boolean, String, Enumeration, Set, Object, Component, Binary, Event };

// A value of an integer property that layouts may write by name (clBtnFace, mrOk).
struct TIdent {
  const char* Name;
  int32_t Value;
};

// One published property. Only the accessors of its kind are set.
struct TPropInfo {
  // Out of line: every unit that publishes properties would otherwise carry its own copies.
  TPropInfo();
  TPropInfo(const TPropInfo&);
  TPropInfo(TPropInfo&&) noexcept;
  TPropInfo& operator=(const TPropInfo&);
  TPropInfo& operator=(TPropInfo&&) noexcept;
  ~TPropInfo();

  std::string Name;
  TPropKind Kind = TPropKind::Integer;
  std::vector<std::string> Names;  // Enumeration: one per ordinal; Set: one per bit
  std::vector<TIdent> Idents;      // Integer: named values
  std::function<int32_t(const TObject&)> GetOrdinal;  // Integer, Boolean, Enumeration, Set (bits)
  std::function<void(TObject&, int32_t)> SetOrdinal;
  std::function<std::string(const TObject&)> GetString;
  std::function<void(TObject&, const std::string&)> SetString;
  std::function<TPersistent*(TObject&)> SubObject;  // Object: the owned sub-object
  std::function<TComponent*(const TObject&)> GetComponent;
  std::function<bool(TObject&, TComponent*)> SetComponent;  // false: the component's class does not fit
  std::function<void(TObject&, rtl::TStream&)> ReadBinary;
  std::function<void(const TObject&, rtl::TStream&)> WriteBinary;
  std::type_index EventType = typeid(void);
  std::function<void(TObject&, const std::any&)> SetEvent;
  std::function<std::string(const TObject&)> GetEventName;
  // Whether the writer writes the property; by default when it differs from its default value.
  std::function<bool(const TObject&)> Stored;
};

// A published method: event handlers in layouts name them.
struct TMethodInfo {
  std::string Name;
  std::type_index EventType = typeid(void);
  std::function<std::any(TObject& root)> Bind;  // a TEvent calling the method on root
};

// A published field: the reader stores the component of that name in it.
struct TFieldInfo {
  std::string Name;
  std::function<bool(TObject& root, TComponent* component)> Set;  // false: the class does not fit
};

class TClass {
 public:
  using Factory = TObject* (*)(TComponent* owner);

  TClass(std::string name, const TClass* parent);
  TClass(const TClass&) = delete;
  TClass& operator=(const TClass&) = delete;
  TClass(TClass&&) noexcept;
  ~TClass();

  const std::string& Name() const { return name_; }
  const TClass* Parent() const { return parent_; }
  bool InheritsFrom(const TClass& ancestor) const;

  // Creates an instance: a component owned by owner (or by the caller when owner is null), or a
  // persistent owned by the caller. Null for abstract classes.
  bool CanCreate() const { return factory_ != nullptr; }
  TObject* Create(TComponent* owner) const { return factory_ ? factory_(owner) : nullptr; }

  // Look-ups compare names without regard to ASCII case and search the ancestors too.
  const TPropInfo* FindProperty(std::string_view name) const;
  const TMethodInfo* FindMethod(std::string_view name) const;
  const TFieldInfo* FindField(std::string_view name) const;
  // All published properties, ancestors' first; a redeclared one keeps its ancestor's place.
  std::vector<const TPropInfo*> Properties() const;

 private:
  template <typename T>
  friend class TClassBuilder;

  TPropInfo& AddProperty(const char* name, TPropKind kind);

  std::string name_;
  const TClass* parent_;
  Factory factory_ = nullptr;
  std::vector<TPropInfo> properties_;
  std::vector<TMethodInfo> methods_;
  std::vector<TFieldInfo> fields_;
};

// The classes that layouts may name. Registering a class again, or another class of the same
// name, keeps the first. The framework's own controls are registered from the start.
void RegisterClasses(std::initializer_list<const TClass*> classes);
const TClass* FindClass(std::string_view name);

bool SameText(std::string_view a, std::string_view b);

// Builds the class information of T, derived from parent:
//   static const TClass info = TClassBuilder<TLabel>("TLabel", &TGraphicControl::StaticClass())
//       .String("Caption", &TLabel::Caption, &TLabel::SetCaption)
//       .Boolean("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize, true);
template <typename T>
class TClassBuilder {
 public:
  TClassBuilder(std::string name, const TClass* parent) : class_(std::move(name), parent) {
    if constexpr (!std::is_abstract_v<T>) {
      if constexpr (std::is_constructible_v<T, TComponent*>) {
        class_.factory_ = [](TComponent* owner) -> TObject* { return new T(owner); };
      } else if constexpr (std::is_default_constructible_v<T>) {
        class_.factory_ = [](TComponent*) -> TObject* { return new T(); };
      }
    }
  }

  operator TClass() { return std::move(class_); }

  template <typename C, typename CS, typename R, typename V>
  TClassBuilder& Integer(const char* name, R (C::*get)() const, void (CS::*set)(V), int32_t defaultValue,
                         std::vector<TIdent> idents = {}) {
    TPropInfo& p = Add(name, TPropKind::Integer);
    p.Idents = std::move(idents);
    p.GetOrdinal = [get](const TObject& o) { return static_cast<int32_t>((Cast<C>(o).*get)()); };
    p.SetOrdinal = [set](TObject& o, int32_t v) { (Cast<CS>(o).*set)(v); };
    p.Stored = [get, defaultValue](const TObject& o) {
      return static_cast<int32_t>((Cast<C>(o).*get)()) != defaultValue;
    };
    return *this;
  }

  template <typename C, typename CS, typename V>
  TClassBuilder& Boolean(const char* name, bool (C::*get)() const, void (CS::*set)(V), bool defaultValue) {
    TPropInfo& p = Add(name, TPropKind::Boolean);
    p.GetOrdinal = [get](const TObject& o) { return (Cast<C>(o).*get)() ? 1 : 0; };
    p.SetOrdinal = [set](TObject& o, int32_t v) { (Cast<CS>(o).*set)(v != 0); };
    p.Stored = [get, defaultValue](const TObject& o) { return (Cast<C>(o).*get)() != defaultValue; };
    return *this;
  }

  template <typename C, typename CS, typename R, typename V>
  TClassBuilder& String(const char* name, R (C::*get)() const, void (CS::*set)(V), std::string defaultValue = {}) {
    TPropInfo& p = Add(name, TPropKind::String);
    p.GetString = [get](const TObject& o) { return std::string((Cast<C>(o).*get)()); };
    p.SetString = [set](TObject& o, const std::string& v) { (Cast<CS>(o).*set)(v); };
    p.Stored = [get, defaultValue](const TObject& o) { return std::string((Cast<C>(o).*get)()) != defaultValue; };
    return *this;
  }

  template <typename C, typename CS, typename E>
    requires std::is_enum_v<E>
  TClassBuilder& Enumeration(const char* name, E (C::*get)() const, void (CS::*set)(E), std::vector<std::string> names,
                             E defaultValue) {
    TPropInfo& p = Add(name, TPropKind::Enumeration);
    p.Names = std::move(names);
    p.GetOrdinal = [get](const TObject& o) { return static_cast<int32_t>((Cast<C>(o).*get)()); };
    p.SetOrdinal = [set](TObject& o, int32_t v) { (Cast<CS>(o).*set)(static_cast<E>(v)); };
    p.Stored = [get, defaultValue](const TObject& o) { return (Cast<C>(o).*get)() != defaultValue; };
    return *this;
  }

  template <typename C, typename CS, typename E>
  TClassBuilder& Set(const char* name, TSet<E> (C::*get)() const, void (CS::*set)(TSet<E>), std::vector<std::string> names,
                     TSet<E> defaultValue) {
    TPropInfo& p = Add(name, TPropKind::Set);
    p.Names = std::move(names);
    p.GetOrdinal = [get](const TObject& o) { return static_cast<int32_t>((Cast<C>(o).*get)().Bits()); };
    p.SetOrdinal = [set](TObject& o, int32_t v) { (Cast<CS>(o).*set)(TSet<E>::FromBits(static_cast<uint32_t>(v))); };
    p.Stored = [get, defaultValue](const TObject& o) { return (Cast<C>(o).*get)() != defaultValue; };
    return *this;
  }

  // An owned sub-object whose own properties are written as Name.Property.
  template <typename C, typename S>
  TClassBuilder& Object(const char* name, S& (C::*get)()) {
    TPropInfo& p = Add(name, TPropKind::Object);
    p.SubObject = [get](TObject& o) -> TPersistent* { return &(Cast<C>(o).*get)(); };
    p.Stored = [](const TObject&) { return true; };
    return *this;
  }

  // A reference to another component of the same layout, written by its name.
  template <typename C, typename CS, typename S, typename V>
  TClassBuilder& Component(const char* name, S* (C::*get)() const, void (CS::*set)(V)) {
    TPropInfo& p = Add(name, TPropKind::Component);
    p.GetComponent = [get](const TObject& o) -> TComponent* { return (Cast<C>(o).*get)(); };
    p.SetComponent = [set](TObject& o, TComponent* c) {
      auto* typed = dynamic_cast<S*>(c);
      if (c != nullptr && typed == nullptr) return false;
      (Cast<CS>(o).*set)(typed);
      return true;
    };
    p.Stored = [get](const TObject& o) { return (Cast<C>(o).*get)() != nullptr; };
    return *this;
  }

  // Binary data (an image) written as hexadecimal digits.
  template <typename C, typename D>
  TClassBuilder& Binary(const char* name, void (C::*read)(rtl::TStream&), void (C::*write)(rtl::TStream&) const,
                        bool (D::*stored)() const) {
    TPropInfo& p = Add(name, TPropKind::Binary);
    p.ReadBinary = [read](TObject& o, rtl::TStream& s) { (Cast<C>(o).*read)(s); };
    p.WriteBinary = [write](const TObject& o, rtl::TStream& s) { (Cast<C>(o).*write)(s); };
    p.Stored = [stored](const TObject& o) { return (Cast<D>(o).*stored)(); };
    return *this;
  }

  template <typename C, typename... Args>
  TClassBuilder& Event(const char* name, TEvent<Args...> C::*member) {
    TPropInfo& p = Add(name, TPropKind::Event);
    p.EventType = typeid(TEvent<Args...>);
    p.SetEvent = [member](TObject& o, const std::any& e) { Cast<C>(o).*member = std::any_cast<TEvent<Args...>>(e); };
    p.GetEventName = [member](const TObject& o) { return (Cast<C>(o).*member).MethodName(); };
    p.Stored = [member](const TObject& o) { return !(Cast<C>(o).*member).MethodName().empty(); };
    return *this;
  }

  // Replaces the stored rule of the property declared last.
  template <typename C>
  TClassBuilder& Stored(bool (C::*stored)() const) {
    class_.properties_.back().Stored = [stored](const TObject& o) { return (Cast<C>(o).*stored)(); };
    return *this;
  }
  TClassBuilder& AlwaysStored() {
    class_.properties_.back().Stored = [](const TObject&) { return true; };
    return *this;
  }

  template <typename C, typename... Args>
  TClassBuilder& Method(const char* name, void (C::*method)(Args...)) {
    TMethodInfo m;
    m.Name = name;
    m.EventType = typeid(TEvent<Args...>);
    m.Bind = [method, methodName = std::string(name)](TObject& root) -> std::any {
      C* target = &Cast<C>(root);
      return TEvent<Args...>(methodName, [target, method](Args... args) {
        (target->*method)(std::forward<Args>(args)...);
      });
    };
    class_.methods_.push_back(std::move(m));
    return *this;
  }

  template <typename C, typename S>
  TClassBuilder& Field(const char* name, S* C::*field) {
    TFieldInfo f;
    f.Name = name;
    f.Set = [field](TObject& root, TComponent* component) {
      auto* typed = dynamic_cast<S*>(component);
      if (typed == nullptr) return false;
      Cast<C>(root).*field = typed;
      return true;
    };
    class_.fields_.push_back(std::move(f));
    return *this;
  }

 private:
  template <typename C>
  static C& Cast(TObject& o) {
    return static_cast<C&>(o);
  }
  template <typename C>
  static const C& Cast(const TObject& o) {
    return static_cast<const C&>(o);
  }

  TPropInfo& Add(const char* name, TPropKind kind) { return class_.AddProperty(name, kind); }

  TClass class_;
};

}  // namespace framework
