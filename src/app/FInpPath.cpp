#include "app/FInpPath.h"

namespace app {

std::string TargetPath;

}  // namespace app
