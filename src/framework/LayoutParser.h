// The layout parser: layout text (LayoutFormat.h) into a tree of nodes.
#pragma once

#include <string_view>

#include "framework/LayoutFormat.h"

namespace framework {

// Parses layout text; raises ELayoutError naming layoutName and the line of a fault.
TLayoutNode ParseLayout(std::string_view utf8, std::string_view layoutName);

}  // namespace framework
