#include "effects/plasma.h"

namespace Plasma {

void init() {}

int32_t run() { return 0; }

} // namespace Plasma
