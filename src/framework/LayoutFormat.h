// Form layouts: a text description of a component tree, read when a form is constructed and
// written back from the published properties. This header holds the parsed form of the text.
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

#include <cstdint>
#include <string>
#include <vector>

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

}  // namespace framework
