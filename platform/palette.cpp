#include "platform/palette.h"

#include "platform/display.h"
#include "platform/hardware.h"

namespace PaletteEngine {

namespace {

alignas(4) Palette work;

void send(uint32_t blue, uint32_t green, uint32_t red) {
    HardwareAccess::write_register(HardwareAccess::kPaletteData,
                                   static_cast<uint16_t>(green << 8 | blue));
    HardwareAccess::write_register(HardwareAccess::kPaletteData, static_cast<uint16_t>(red));
}

} // namespace

void upload_palette(const Palette& p) {
    HardwareAccess::write_register(HardwareAccess::kPaletteIndex, 0);
    for (const PaletteEntry& e : p) send(e.blue, e.green, e.red);
}

void upload_faded(const Palette& p, uint32_t level, uint32_t start) {
    if (start > 255) start = 255;
    if (level > 255) level = 255;
    HardwareAccess::write_register(HardwareAccess::kPaletteIndex, static_cast<uint16_t>(2 * start));
    for (uint32_t i = start; i < 256; ++i) {
        const PaletteEntry& e = p[i];
        send(e.blue * level >> 8, e.green * level >> 8, e.red * level >> 8);
    }
}

void fade_in_step(const Palette& p, uint32_t step) {
    // Levels 0, 4, ..., 252: level 256 is never sent; p itself follows at once.
    upload_faded(p, 4 * step, 0);
    if (step == kFadeSteps - 1) upload_palette(p);
}

void fade_out_step(const Palette& p, uint32_t step) {
    // Levels 255, 251, ..., 3, then black.
    upload_faded(p, 255 - 4 * step, 0);
    if (step == kFadeSteps - 1) {
        reset();
        upload_palette(work);
    }
}

void fade_in(const Palette& p) {
    for (uint32_t step = 0; step < kFadeSteps; ++step) {
        Display::wait_vsync();
        fade_in_step(p, step);
    }
}

void fade_out(const Palette& p) {
    for (uint32_t step = 0; step < kFadeSteps; ++step) {
        Display::wait_vsync();
        fade_out_step(p, step);
    }
}

void blend_palettes(Palette& out, const Palette& from, const Palette& to, int32_t level) {
    const uint32_t w = static_cast<uint32_t>(level);
    const uint32_t v = 255 - w;
    for (int i = 0; i < 256; ++i) {
        const PaletteEntry f = from[i];
        const PaletteEntry t = to[i];
        out[i].blue = static_cast<uint8_t>((t.blue * w >> 8) + (f.blue * v >> 8));
        out[i].green = static_cast<uint8_t>((t.green * w >> 8) + (f.green * v >> 8));
        out[i].red = static_cast<uint8_t>((t.red * w >> 8) + (f.red * v >> 8));
    }
}

Palette& work_palette() { return work; }

void reset() { __builtin_memset(work, 0, sizeof work); }

StateBlock state_block() { return block_of(work); }

} // namespace PaletteEngine
