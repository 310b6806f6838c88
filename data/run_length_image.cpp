#include "data/run_length_image.h"

namespace RunLengthImage {

void decode_rle(uint8_t*, uint32_t, const uint8_t*, int32_t) {}
void blit(int32_t, int32_t, const uint8_t*, int32_t, int32_t) {}

} // namespace RunLengthImage
