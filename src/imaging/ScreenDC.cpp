#include "imaging/ScreenDC.h"

#include "imaging/EGdiError.h"

namespace imaging {

framework::TWindowDC GetScreenDC() {
  framework::TWindowDC screen;
  if (!screen) throw EGdiError::LastError("get screen DC");
  return screen;
}

}  // namespace imaging
