#include "imaging/EGdiError.h"

#include <windows.h>

#include <string>

#include "rtl/Sjis.h"

namespace imaging {

EGdiError EGdiError::LastError(std::string_view what) {
  DWORD code = GetLastError();
  return EGdiError(rtl::Format("cannot %s(GLE=%d)", std::string(what).c_str(), static_cast<int>(code)), code);
}

}  // namespace imaging
