// The image library's failure of a GDI call.
#pragma once

#include <string_view>

#include "rtl/Exception.h"

namespace imaging {

// A GDI call that failed: "cannot <what>(GLE=<last-error code>)".
class EGdiError : public rtl::Exception {
 public:
  using Exception::Exception;
  // Takes the calling thread's last-error code.
  static EGdiError LastError(std::string_view what);
};

}  // namespace imaging
