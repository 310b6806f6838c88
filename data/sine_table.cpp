#include "data/sine_table.h"

namespace SineTable {

alignas(4) const int16_t table[1024] = {
#include "data/sine_table.inc"
};

} // namespace SineTable
