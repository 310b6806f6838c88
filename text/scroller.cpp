#include "text/scroller.h"

namespace Scroller {

void restart() {}
int32_t step() { return 4; }
void set_colours(uint8_t, uint8_t) {}

} // namespace Scroller
