// The whole show on the stand-in hardware, writing one line per vertical
// sync to standard output: the refresh number and the CRC-32 of the picture
// on display (320 x 240 indices; black before the video mode is set), then
// the picture left on display at the exit and a last line with the count and
// the CRC-32 of all the refreshes' CRCs: the same lines as
// `show_checksum --pixels --all` prints for the PC build. Equal lines: the
// handheld's code draws the same pictures.
//   show_check.elf [--press-start-at K]   START held from the poll after refresh K
#include "bench/arm/counting.h"
#include "host/state/crc32.h"
#include "platform/display.h"
#include "platform/gp2x/system_calls.h"
#include "platform/hardware.h"
#include "show/show.h"

namespace {

uint32_t refreshes;
uint32_t whole;        // CRC-32 of every refresh's CRC, running
int32_t start_at = -1; // -1: START never held
const uint8_t kBlackRow[Display::kWidth] = {};

void put(const char* text, uint32_t length, uint32_t fd = 1) { SystemCalls::write(fd, text, length); }

char* hex(char* p, uint32_t v) {
    for (int shift = 28; shift >= 0; shift -= 4) *p++ = "0123456789abcdef"[(v >> shift) & 15];
    return p;
}

// Without division: the handheld build has no division helper.
char* decimal(char* p, uint32_t v) {
    static const uint32_t powers[] = {1000000000, 100000000, 10000000, 1000000, 100000,
                                      10000,      1000,      100,      10,      1};
    bool started = false;
    for (uint32_t power : powers) {
        char digit = '0';
        while (v >= power) {
            v -= power;
            ++digit;
        }
        if (digit != '0' || started || power == 1) {
            *p++ = digit;
            started = true;
        }
    }
    return p;
}

void note_sync() {
    using namespace HardwareAccess;
    using Counting::register_value;
    ++refreshes;
    // What the display shows: the frame buffer at the display address, once
    // the 8-bit mode is set.
    const uint8_t* shown = nullptr;
    if (register_value(kDisplayFormat) == kFormat8Bit) {
        const uint32_t address = static_cast<uint32_t>(register_value(kAddressHigh1)) << 16 |
                                 register_value(kAddressLow1);
        shown = video_memory() + (address - kVideoPhysical);
    }
    uint32_t crc = 0;
    for (int32_t y = 0; y < Display::kHeight; ++y)
        crc = Crc32::update(crc, shown ? shown + y * Display::kWidth : kBlackRow, Display::kWidth);
    const uint8_t bytes[4] = {static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8),
                              static_cast<uint8_t>(crc >> 16), static_cast<uint8_t>(crc >> 24)};
    whole = Crc32::update(whole, bytes, 4);

    char line[32];
    char* p = decimal(line, refreshes);
    *p++ = ' ';
    p = hex(p, crc);
    *p++ = '\n';
    put(line, static_cast<uint32_t>(p - line));
    if (start_at >= 0 && refreshes >= static_cast<uint32_t>(start_at)) Counting::hold_start = true;
}

void note_end() {
    note_sync();
    char line[48] = "refreshes ";
    char* p = decimal(line + 10, refreshes);
    for (const char* t = " checksum "; *t; ++t) *p++ = *t;
    p = hex(p, whole);
    *p++ = '\n';
    put(line, static_cast<uint32_t>(p - line));
}

bool equal(const char* a, const char* b) {
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

// A decimal number, or -1 when the text is not one.
int32_t number(const char* text) {
    if (!text || !*text) return -1;
    int32_t v = 0;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9' || v > 100000000) return -1;
        v = v * 10 + (*text - '0');
    }
    return v;
}

} // namespace

void counting_main(uint32_t argc, char* const* argv, char* const* envp) {
    if (argc == 3 && equal(argv[1], "--press-start-at")) start_at = number(argv[2]);
    if (argc != 1 && start_at < 0) {
        const char usage[] = "usage: show_check.elf [--press-start-at K]\n";
        put(usage, sizeof usage - 1, 2);
        Counting::exit(2);
    }
    Counting::hold_start = start_at == 0;
    Counting::on_sync = note_sync;
    Counting::on_menu = note_end; // the final refresh: the picture left on display
    Show::run(envp);
}
