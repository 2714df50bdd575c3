// The install-folder dialog and the target it fixes.
#pragma once

#include <string>

namespace app {

// Full path of the installed executable to update (CP932); written on every change of the
// dialog's folder text, read by the update window.
extern std::string TargetPath;

}  // namespace app
