#include "framework/Layout.h"

#include <cstring>

#include "framework/Errors.h"
#include "rtl/Checked.h"
#include "rtl/Exception.h"
#include "rtl/Sjis.h"

namespace framework {

namespace {

constexpr int kMaxDepth = 32;

bool IsIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

class Parser {
 public:
  Parser(std::string_view text, std::string_view name) : text_(text), name_(name) {
    if (text_.size() >= 3 && std::memcmp(text_.data(), "\xEF\xBB\xBF", 3) == 0) pos_ = 3;
  }

  TLayoutNode ParseRoot() {
    SkipSpace();
    TLayoutNode root = ParseNode(0);
    SkipSpace();
    if (pos_ < text_.size()) Fail();
    return root;
  }

 private:
  [[noreturn]] void Fail(const std::string& detail) const { throw ELayoutError(name_, line_, detail); }
  [[noreturn]] void Fail() const { Fail(ELayoutError::Syntax()); }

  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }

  void SkipSpace() {
    while (!AtEnd()) {
      char c = text_[pos_];
      if (c == '\n') {
        ++line_;
      } else if (c != ' ' && c != '\t' && c != '\r') {
        return;
      }
      ++pos_;
    }
  }

  void Expect(char c) {
    SkipSpace();
    if (Peek() != c) Fail();
    ++pos_;
  }

  // An identifier, possibly dotted (ImageLoader.ResName).
  std::string Identifier(bool dotted) {
    SkipSpace();
    if (!IsIdentStart(Peek())) Fail();
    std::size_t start = pos_;
    while (!AtEnd()) {
      char c = text_[pos_];
      if (IsIdentStart(c) || IsDigit(c)) {
        ++pos_;
      } else if (dotted && c == '.' && pos_ + 1 < text_.size() && IsIdentStart(text_[pos_ + 1])) {
        ++pos_;
      } else {
        break;
      }
    }
    return std::string(text_.substr(start, pos_ - start));
  }

  TLayoutNode ParseNode(int depth) {
    if (depth >= kMaxDepth) Fail(ELayoutError::TooDeep());
    SkipSpace();
    TLayoutNode node;
    node.Line = line_;
    if (!SameText(Identifier(false), "object")) Fail();
    node.Name = Identifier(false);
    Expect(':');
    node.ClassName = Identifier(false);
    for (;;) {
      SkipSpace();
      if (AtEnd()) Fail();
      std::size_t mark = pos_;
      int markLine = line_;
      std::string word = Identifier(true);
      if (SameText(word, "end")) return node;
      if (SameText(word, "object")) {
        pos_ = mark;
        line_ = markLine;
        node.Children.push_back(ParseNode(depth + 1));
        continue;
      }
      TLayoutProperty property;
      property.Path = std::move(word);
      property.Line = line_;
      Expect('=');
      property.Value = ParseValue();
      node.Properties.push_back(std::move(property));
    }
  }

  TLayoutValue ParseValue() {
    SkipSpace();
    TLayoutValue value;
    char c = Peek();
    if (c == '\'' || c == '#') {
      value.Kind = TLayoutValue::TKind::String;
      value.Text = rtl::Utf8ToSjis(ParseString());
    } else if (c == '-' || c == '$' || IsDigit(c)) {
      value.Kind = TLayoutValue::TKind::Integer;
      value.Integer = ParseInteger();
    } else if (c == '[') {
      value.Kind = TLayoutValue::TKind::Set;
      ++pos_;
      SkipSpace();
      if (Peek() == ']') {
        ++pos_;
        return value;
      }
      for (;;) {
        value.Items.push_back(Identifier(false));
        SkipSpace();
        if (Peek() == ']') {
          ++pos_;
          return value;
        }
        Expect(',');
      }
    } else if (c == '{') {
      value.Kind = TLayoutValue::TKind::Binary;
      ++pos_;
      int high = -1;
      for (;;) {
        SkipSpace();
        if (AtEnd()) Fail();
        char h = text_[pos_++];
        if (h == '}') break;
        int digit = HexDigit(h);
        if (digit < 0) Fail();
        if (high < 0) {
          high = digit;
        } else {
          value.Bytes.push_back(static_cast<uint8_t>(high * 16 + digit));
          high = -1;
        }
      }
      if (high >= 0) Fail();  // an odd number of digits
    } else if (IsIdentStart(c)) {
      value.Kind = TLayoutValue::TKind::Ident;
      value.Text = Identifier(false);
    } else {
      Fail();
    }
    return value;
  }

  int32_t ParseInteger() {
    bool negative = false;
    if (Peek() == '-') {
      negative = true;
      ++pos_;
    }
    int64_t magnitude = 0;
    bool any = false;
    if (Peek() == '$') {
      ++pos_;
      while (!AtEnd() && HexDigit(text_[pos_]) >= 0) {
        magnitude = magnitude * 16 + HexDigit(text_[pos_++]);
        if (magnitude > 0xFFFFFFFFLL) Fail();
        any = true;
      }
      // $80000000 and above are the bit patterns of negative numbers, as colours are written.
      if (magnitude > 0x7FFFFFFF) magnitude -= 0x100000000LL;
    } else {
      while (!AtEnd() && IsDigit(text_[pos_])) {
        magnitude = magnitude * 10 + (text_[pos_++] - '0');
        if (magnitude > 0x80000000LL) Fail();
        any = true;
      }
    }
    if (!any || IsIdentStart(Peek())) Fail();
    int64_t v = negative ? -magnitude : magnitude;
    if (v < INT32_MIN || v > INT32_MAX) Fail();
    return static_cast<int32_t>(v);
  }

  // Quoted pieces and #n characters, optionally joined by "+" across lines.
  std::string ParseString() {
    std::string utf8;
    for (;;) {
      char c = Peek();
      if (c == '\'') {
        ++pos_;
        for (;;) {
          if (AtEnd() || text_[pos_] == '\n' || text_[pos_] == '\r') Fail();
          char d = text_[pos_++];
          if (d == '\'') {
            if (Peek() != '\'') break;
            ++pos_;
          }
          utf8 += d;
        }
      } else if (c == '#') {
        ++pos_;
        uint32_t code = 0;
        bool any = false;
        while (!AtEnd() && IsDigit(text_[pos_])) {
          code = code * 10 + static_cast<uint32_t>(text_[pos_++] - '0');
          if (code > 0x10FFFF) Fail();
          any = true;
        }
        if (!any || (code >= 0xD800 && code <= 0xDFFF)) Fail();
        AppendUtf8(utf8, code);
      } else {
        std::size_t mark = pos_;
        int markLine = line_;
        SkipSpace();
        if (Peek() == '+') {
          ++pos_;
          SkipSpace();
          if (Peek() == '\'' || Peek() == '#') continue;
          Fail();
        }
        pos_ = mark;
        line_ = markLine;
        return utf8;
      }
    }
  }

  std::string_view text_;
  std::string name_;
  std::size_t pos_ = 0;
  int line_ = 1;
};

}  // namespace

TLayoutNode ParseLayout(std::string_view utf8, std::string_view layoutName) {
  return Parser(utf8, layoutName).ParseRoot();
}

// --- reading ---

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

// --- writing ---

namespace {

class Writer {
 public:
  explicit Writer(const TComponent& root) : root_(root) {}

  std::string Write() {
    WriteComponent(root_, 0);
    return out_;
  }

 private:
  void Indent(int depth) { out_.append(static_cast<std::size_t>(depth) * 2, ' '); }

  void WriteComponent(const TComponent& component, int depth) {
    Indent(depth);
    out_ += "object " + component.Name() + ": " + component.ClassName() + "\n";
    WriteProperties(const_cast<TComponent&>(component), "", depth + 1);
    std::vector<TComponent*> children;
    component.GetChildren(children, root_);
    for (const TComponent* child : children) WriteComponent(*child, depth + 1);
    Indent(depth);
    out_ += "end\n";
  }

  void WriteProperties(TObject& object, const std::string& prefix, int depth) {
    for (const TPropInfo* info : object.ClassType().Properties()) {
      if (!info->Stored(object)) continue;
      if (info->Kind == TPropKind::Object) {
        if (TPersistent* sub = info->SubObject(object)) WriteProperties(*sub, prefix + info->Name + ".", depth);
        continue;
      }
      std::string value;
      if (!Value(object, *info, value, depth)) continue;
      Indent(depth);
      out_ += prefix + info->Name + " = " + value + "\n";
    }
  }

  bool Value(TObject& object, const TPropInfo& info, std::string& out, int depth) {
    switch (info.Kind) {
      case TPropKind::Integer: {
        int32_t v = info.GetOrdinal(object);
        for (const TIdent& ident : info.Idents) {
          if (ident.Value == v) {
            out = ident.Name;
            return true;
          }
        }
        out = std::to_string(v);
        return true;
      }
      case TPropKind::Boolean:
        out = info.GetOrdinal(object) ? "True" : "False";
        return true;
      case TPropKind::String:
        out = Quote(rtl::SjisToUtf8(info.GetString(object)));
        return true;
      case TPropKind::Enumeration: {
        int32_t v = info.GetOrdinal(object);
        rtl::RangeCheck(v, 0, static_cast<int64_t>(info.Names.size()) - 1);
        out = info.Names[static_cast<std::size_t>(v)];
        return true;
      }
      case TPropKind::Set: {
        auto bits = static_cast<uint32_t>(info.GetOrdinal(object));
        out = "[";
        for (std::size_t i = 0; i < info.Names.size() && i < 32; ++i) {
          if (bits & (uint32_t{1} << i)) {
            if (out.size() > 1) out += ", ";
            out += info.Names[i];
          }
        }
        out += "]";
        return true;
      }
      case TPropKind::Component: {
        const TComponent* c = info.GetComponent(object);
        if (c == nullptr || c->Name().empty() || (c != &root_ && c->Owner() != &root_)) return false;
        out = c->Name();
        return true;
      }
      case TPropKind::Binary: {
        rtl::TMemoryStream stream;
        info.WriteBinary(object, stream);
        out = Hex(static_cast<const uint8_t*>(stream.Memory()), static_cast<std::size_t>(stream.GetSize()), depth + 1);
        return true;
      }
      case TPropKind::Event:
        out = info.GetEventName(object);
        return !out.empty();
      case TPropKind::Object:
        return false;
    }
    return false;
  }

  static std::string Quote(const std::string& utf8) {
    std::string out;
    bool open = false;
    for (char c : utf8) {
      auto byte = static_cast<unsigned char>(c);
      if (byte < 0x20) {
        if (open) out += '\'';
        open = false;
        out += '#' + std::to_string(byte);
        continue;
      }
      if (!open) out += '\'';
      open = true;
      out += c;
      if (c == '\'') out += '\'';
    }
    if (open) out += '\'';
    if (out.empty()) out = "''";
    return out;
  }

  static std::string Hex(const uint8_t* bytes, std::size_t size, int depth) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out = "{";
    for (std::size_t i = 0; i < size; ++i) {
      if (i % 32 == 0) out += "\n" + std::string(static_cast<std::size_t>(depth) * 2, ' ');
      out += digits[bytes[i] >> 4];
      out += digits[bytes[i] & 15];
    }
    out += "}";
    return out;
  }

  const TComponent& root_;
  std::string out_;
};

}  // namespace

std::string WriteLayout(const TComponent& root) { return Writer(root).Write(); }

}  // namespace framework
