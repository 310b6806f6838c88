#include "effects/title_sequence.h"

namespace TitleSequence {

void prepare() {}

int32_t run() { return 0; }

} // namespace TitleSequence
