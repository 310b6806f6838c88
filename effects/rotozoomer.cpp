#include "effects/rotozoomer.h"

namespace Rotozoomer {

void init() {}

int32_t run() { return 0; }

} // namespace Rotozoomer
