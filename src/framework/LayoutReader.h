// The layout reader: a parsed layout into a component tree, and the layouts of the program's
// resources into forms.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "framework/Component.h"
#include "framework/LayoutFormat.h"

namespace framework {

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

}  // namespace framework
