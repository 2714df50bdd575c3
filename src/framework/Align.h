// Alignment: a control that sticks to an edge of its parent (or fills what the others leave), laid
// out again whenever it or its parent changes. Align.cpp holds the layout of the aligned controls.
#pragma once

#include <string>
#include <vector>

namespace framework {

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// The names layouts use for TAlign's values, in its order.
const std::vector<std::string>& AlignNames();

}  // namespace framework
