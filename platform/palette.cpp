#include "platform/palette.h"

#include "data/buffers.h"
#include "platform/display.h"
#include "platform/hardware.h"

namespace PaletteEngine {

namespace {

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

void fade_in(const Palette& p) {
    for (uint32_t level = 0; level < 256; level += 4) {
        Display::wait_vsync();
        upload_faded(p, level, 0);
    }
    upload_palette(p);
}

void fade_out(const Palette& p) {
    for (int32_t level = 255; level >= 3; level -= 4) {
        Display::wait_vsync();
        upload_faded(p, static_cast<uint32_t>(level), 0);
    }
    __builtin_memset(Buffers::work_palette, 0, sizeof Buffers::work_palette);
    upload_palette(Buffers::work_palette);
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

Palette& work_palette() { return Buffers::work_palette; }

} // namespace PaletteEngine
