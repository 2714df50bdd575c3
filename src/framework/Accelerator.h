// Accelerator characters in captions: "&F" marks F, "&&" is a plain "&".
#pragma once

#include <string>

namespace framework {

// Whether the accelerator of caption (CP932) is key, ignoring case.
bool IsAccel(wchar_t key, const std::string& caption);

}  // namespace framework
