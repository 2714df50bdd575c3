// The screen's device context for the image library, which raises where the framework's owner
// would be empty.
#pragma once

#include "framework/GdiHandles.h"

namespace imaging {

// The screen's context (GetDC of no window, given back with ReleaseDC); raises EGdiError when the
// system gives none.
framework::TWindowDC GetScreenDC();

}  // namespace imaging
