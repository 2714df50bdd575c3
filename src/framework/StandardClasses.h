// The framework's own component and graphic classes, registered for layouts.
#pragma once

namespace framework {

// Registers them; done on the first look-up of a class by name.
void RegisterStandardClasses();

}  // namespace framework
