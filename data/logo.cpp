#include "data/logo.h"

#include "data/assets.h"
#include "data/buffers.h"
#include "data/run_length_image.h"

namespace Logo {

namespace {

constexpr PaletteEntry grey(uint8_t v) {
    return rgb(v, v, v, 255);
}

} // namespace

// Numbered by frequency in the picture: 0 is the most common (background).
const PaletteEntry palette[kColours] = {
    grey(75),  grey(50),  grey(24),  grey(52),  grey(43),  grey(34),  grey(229), grey(15),
    grey(109), grey(194), grey(59),  grey(153), grey(66),  grey(71),  grey(255), grey(0),
};

void decode() {
    RunLengthImage::decode_rle(Buffers::logo_pixels, Buffers::kLogoSize, Assets::logo_rle,
                               static_cast<int32_t>(Assets::logo_rle_size));
}

} // namespace Logo
