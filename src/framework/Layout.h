// Form layouts: a text description of a component tree, read when a form is constructed and
// written back from the published properties.
//
//   object frmTest: TfrmTest
//     Caption = 'テスト'
//     ClientWidth = 300
//     object Label1: TLabel
//       Left = 16
//       Caption = 'Line one'#13#10'Line two'
//     end
//     object Pack1: TMatrixImagePack
//       ImageLoader.ResName = 'LOGO'
//       Glyph.Data = {424D...}
//     end
//   end
//
// Values are integers (decimal, or hexadecimal after "$"), strings in single quotes ('' is a
// quote; #n outside quotes is the character of code point n; pieces join), identifiers (True,
// False, enumeration values, named integers, component and method names), sets of identifiers
// in brackets and binary data as hexadecimal digits in braces. The text is UTF-8; strings become
// CP932 when read.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "framework/Classes.h"

namespace framework {

struct TLayoutValue {
  enum class TKind { Integer, String, Ident, Set, Binary };
  TKind Kind = TKind::Integer;
  int32_t Integer = 0;
  std::string Text;                 // String (CP932) or Ident
  std::vector<std::string> Items;   // Set
  std::vector<uint8_t> Bytes;       // Binary
};

struct TLayoutProperty {
  std::string Path;  // "Caption" or "ImageLoader.ResName"
  TLayoutValue Value;
  int Line = 0;
};

struct TLayoutNode {
  std::string Name;
  std::string ClassName;
  int Line = 0;
  std::vector<TLayoutProperty> Properties;
  std::vector<TLayoutNode> Children;
};

// Parses layout text; raises ELayoutError naming layoutName and the line of a fault.
TLayoutNode ParseLayout(std::string_view utf8, std::string_view layoutName);

// Reads a parsed layout into root, whose class must be the one the layout names: the root's
// name and properties, then each nested component, created by its registered class with root as
// owner and the enclosing component as parent, named and stored in root's published field of the
// same name. Component references are resolved once all components exist; then every component
// read, root first, gets Loaded. Until its Loaded, a component is in csLoading.
class TLayoutReader {
 public:
  TLayoutReader(TComponent& root, std::string layoutName);
  void Read(const TLayoutNode& layout);

 private:
  struct Fixup {
    TObject* target;
    const TPropInfo* property;
    std::string name;
    int line;
  };

  void ReadComponent(TComponent& component, const TLayoutNode& node, int depth);
  void ReadProperty(TObject& target, const TLayoutProperty& property);
  void SetValue(TObject& target, const TPropInfo& info, const TLayoutValue& value, int line);
  [[noreturn]] void Fail(int line, const std::string& detail) const;

  TComponent& root_;
  std::string layoutName_;
  std::vector<TComponent*> loaded_;
  std::vector<Fixup> fixups_;
};

void ReadLayout(TComponent& root, std::string_view utf8, std::string_view layoutName);
// Reads the resource of type "LAYOUT" named after root's class from module (null: the program);
// raises EResNotFound when there is none.
void ReadLayoutResource(TComponent& root, HMODULE module = nullptr);

// Writes root and the components it owns (nested as GetChildren says) with their stored
// properties, in the format ParseLayout reads.
std::string WriteLayout(const TComponent& root);

}  // namespace framework
