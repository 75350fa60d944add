#include "Zat/Ptr.h"

namespace Zat {

bool threadSafePointers_ = false;

}  // namespace Zat
