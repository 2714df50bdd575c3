// The layout writer: a component tree back into layout text.
#pragma once

#include <string>

#include "framework/Component.h"

namespace framework {

// Writes root and the components it owns (nested as GetChildren says) with their stored
// properties, in the format ParseLayout reads.
std::string WriteLayout(const TComponent& root);

}  // namespace framework
