#include "Zat/Collections.h"

namespace Zat {

void throwCollectionChanged() {
   throwPreconditionException("collection changed during an unchecked walk: version_ == hashMap_->version()");
}

}  // namespace Zat
