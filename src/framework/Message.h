// A window message as a window procedure of ours received it, and its result.
#pragma once

#include <windows.h>

namespace framework {

struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

}  // namespace framework
