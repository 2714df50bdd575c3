#include "framework/Accelerator.h"

#include <windows.h>

#include "rtl/Sjis.h"

namespace framework {

bool IsAccel(wchar_t key, const std::string& caption) {
  std::wstring wide = rtl::SjisToWide(caption);
  for (std::size_t i = 0; i + 1 < wide.size(); ++i) {
    if (wide[i] != L'&') continue;
    if (wide[i + 1] == L'&') {
      ++i;
      continue;
    }
    return CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(wide[i + 1]))) ==
           CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(key)));
  }
  return false;
}

}  // namespace framework
