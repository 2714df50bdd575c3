#include "framework/LayoutReader.h"

#include "framework/Errors.h"
#include "framework/LayoutParser.h"
#include "rtl/Checked.h"
#include "rtl/Exception.h"
#include "rtl/Sjis.h"

namespace framework {

TLayoutReader::TLayoutReader(TComponent& root, std::string layoutName)
    : root_(root), layoutName_(std::move(layoutName)) {}

void TLayoutReader::Fail(int line, const std::string& detail) const {
  throw ELayoutError(layoutName_, line, detail);
}

void TLayoutReader::Read(const TLayoutNode& layout) {
  if (!SameText(layout.ClassName, root_.ClassName())) Fail(layout.Line, ELayoutError::WrongRoot(layout.ClassName));
  root_.SetName(layout.Name);
  ReadComponent(root_, layout, 0);

  for (const Fixup& fixup : fixups_) {
    TComponent* component = root_.FindComponent(fixup.name);
    if (component == nullptr && SameText(fixup.name, root_.Name())) component = &root_;
    if (component == nullptr) Fail(fixup.line, ELayoutError::NoComponent(fixup.name));
    if (!fixup.property->SetComponent(*fixup.target, component)) Fail(fixup.line, ELayoutError::BadValue(fixup.name));
  }
  for (TComponent* component : loaded_) component->Loaded();
}

void TLayoutReader::ReadComponent(TComponent& component, const TLayoutNode& node, int depth) {
  component.SetLoading(true);
  loaded_.push_back(&component);
  for (const TLayoutProperty& property : node.Properties) ReadProperty(component, property);

  for (const TLayoutNode& child : node.Children) {
    const TClass* cls = FindClass(child.ClassName);
    if (cls == nullptr || !cls->InheritsFrom(TComponent::StaticClass()) || !cls->CanCreate()) {
      Fail(child.Line, ELayoutError::ClassNotFound(child.ClassName));
    }
    auto* created = static_cast<TComponent*>(cls->Create(&root_));
    try {
      created->SetName(child.Name);
    } catch (const EComponentError& error) {
      Fail(child.Line, error.Message);
    }
    if (const TFieldInfo* field = root_.ClassType().FindField(child.Name)) {
      if (!field->Set(root_, created)) Fail(child.Line, ELayoutError::BadValue(child.Name));
    }
    created->SetParentComponent(&component);
    ReadComponent(*created, child, depth + 1);
  }
}

void TLayoutReader::ReadProperty(TObject& target, const TLayoutProperty& property) {
  TObject* object = &target;
  std::string_view path = property.Path;
  for (;;) {
    std::size_t dot = path.find('.');
    std::string_view head = path.substr(0, dot);
    const TPropInfo* info = object->ClassType().FindProperty(head);
    if (info == nullptr) Fail(property.Line, ELayoutError::NoProperty(property.Path));
    if (dot == std::string_view::npos) {
      SetValue(*object, *info, property.Value, property.Line);
      return;
    }
    if (info->Kind != TPropKind::Object) Fail(property.Line, ELayoutError::NoProperty(property.Path));
    object = info->SubObject(*object);
    path = path.substr(dot + 1);
  }
}

void TLayoutReader::SetValue(TObject& target, const TPropInfo& info, const TLayoutValue& value, int line) {
  using K = TLayoutValue::TKind;
  auto bad = [&]() { return ELayoutError(layoutName_, line, ELayoutError::BadValue(info.Name)); };
  auto indexOf = [&](const std::string& ident) -> int32_t {
    for (std::size_t i = 0; i < info.Names.size() && i < 32; ++i) {
      if (SameText(info.Names[i], ident)) return static_cast<int32_t>(i);
    }
    throw bad();
  };

  switch (info.Kind) {
    case TPropKind::Integer:
      if (value.Kind == K::Integer) {
        info.SetOrdinal(target, value.Integer);
        return;
      }
      if (value.Kind == K::Ident) {
        for (const TIdent& ident : info.Idents) {
          if (SameText(ident.Name, value.Text)) {
            info.SetOrdinal(target, ident.Value);
            return;
          }
        }
      }
      throw bad();
    case TPropKind::Boolean:
      if (value.Kind == K::Ident && SameText(value.Text, "True")) {
        info.SetOrdinal(target, 1);
      } else if (value.Kind == K::Ident && SameText(value.Text, "False")) {
        info.SetOrdinal(target, 0);
      } else {
        throw bad();
      }
      return;
    case TPropKind::String:
      if (value.Kind != K::String) throw bad();
      info.SetString(target, value.Text);
      return;
    case TPropKind::Enumeration:
      if (value.Kind != K::Ident) throw bad();
      info.SetOrdinal(target, indexOf(value.Text));
      return;
    case TPropKind::Set: {
      if (value.Kind != K::Set) throw bad();
      uint32_t bits = 0;
      for (const std::string& item : value.Items) bits |= uint32_t{1} << indexOf(item);
      info.SetOrdinal(target, static_cast<int32_t>(bits));
      return;
    }
    case TPropKind::Object:
      throw bad();
    case TPropKind::Component:
      if (value.Kind != K::Ident) throw bad();
      fixups_.push_back({&target, &info, value.Text, line});
      return;
    case TPropKind::Binary: {
      if (value.Kind != K::Binary) throw bad();
      rtl::TMemoryStream stream;
      if (!value.Bytes.empty()) stream.WriteBuffer(value.Bytes.data(), rtl::CheckedInt32(value.Bytes.size()));
      stream.SetPosition(0);
      info.ReadBinary(target, stream);
      return;
    }
    case TPropKind::Event: {
      if (value.Kind != K::Ident) throw bad();
      const TMethodInfo* method = root_.ClassType().FindMethod(value.Text);
      if (method == nullptr || method->EventType != info.EventType) Fail(line, ELayoutError::NoMethod(value.Text));
      info.SetEvent(target, method->Bind(root_));
      return;
    }
  }
  throw bad();
}

void ReadLayout(TComponent& root, std::string_view utf8, std::string_view layoutName) {
  TLayoutNode layout = ParseLayout(utf8, layoutName);
  TLayoutReader(root, std::string(layoutName)).Read(layout);
}

void ReadLayoutResource(TComponent& root, HMODULE module) {
  if (module == nullptr) module = GetModuleHandleW(nullptr);
  std::wstring name = rtl::SjisToWide(root.ClassName());
  HRSRC info = FindResourceW(module, name.c_str(), L"LAYOUT");
  HGLOBAL data = info ? LoadResource(module, info) : nullptr;
  const void* bytes = data ? LockResource(data) : nullptr;
  if (bytes == nullptr) throw rtl::EResNotFound(root.ClassName());
  std::string_view text(static_cast<const char*>(bytes), SizeofResource(module, info));
  ReadLayout(root, text, root.ClassName());
}

}  // namespace framework
