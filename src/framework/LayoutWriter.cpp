#include "framework/LayoutWriter.h"

#include "rtl/Checked.h"
#include "rtl/Sjis.h"

namespace framework {

namespace {

class TWriter {
 public:
  explicit TWriter(const TComponent& root) : root_(root) {}

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

std::string WriteLayout(const TComponent& root) { return TWriter(root).Write(); }

}  // namespace framework
