// Mouse input: the buttons, the shift state and the mouse events of controls. Mouse.cpp turns the
// mouse messages into a control's mouse calls and routes a window's ones to the control without a
// window under the pointer.
#pragma once

#include <windows.h>

#include <cstdint>

#include "framework/Events.h"
#include "framework/Types.h"

namespace framework {

class TObject;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };
enum class TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateItem>;

using TMouseEvent = TEvent<TObject*, TMouseButton, TShiftState, int32_t, int32_t>;
using TMouseMoveEvent = TEvent<TObject*, TShiftState, int32_t, int32_t>;

// A move or a button message of the client area.
bool IsMouseMessage(UINT message);

}  // namespace framework
