// Writes the fuzzers' seed inputs from the built-in assets: the logo stream
// whole and cut short, the small streams of the codec's known cases, the font
// files read as streams; the scroll text line by line, every glyph character
// in both fonts, pens at and beyond the canvas edges, control codes; for
// saved states, edits of the states fuzz_state keeps (see there), and for
// fuzz_state_plays_on each of its real states as it is and a few edited;
// for scripts, the built-in text, the test scripts and small cases of each
// kind the check knows.
//   fuzz_seeds RLE_DIR TEXT_DIR STATE_DIR PLAYS_ON_DIR [SCRIPT_DIR SHORT_SCRIPT_DIR]
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <algorithm>
#include <vector>

#include "data/assets.h"

namespace {

using Bytes = std::vector<uint8_t>;

int written = 0;

void save(const std::filesystem::path& dir, const Bytes& bytes) {
    const std::string name = "seed_" + std::to_string(++written);
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Destination size, kind 0 (exact length), stream.
Bytes rle_input(uint32_t dst_size, const uint8_t* stream, size_t length) {
    Bytes b = {static_cast<uint8_t>(dst_size), static_cast<uint8_t>(dst_size >> 8), 0};
    b.insert(b.end(), stream, stream + length);
    return b;
}

Bytes rle_input(uint32_t dst_size, const Bytes& stream) { return rle_input(dst_size, stream.data(), stream.size()); }

void put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// Flags as read by fuzz_text: font, call, wave.
constexpr uint8_t kTitleFont = 1;
constexpr uint8_t kPlain = 0 << 1, kOutline = 1 << 1, kOutlined = 2 << 1, kAdvance = 3 << 1;
constexpr uint8_t kWave = 8, kShowWave = 8 | 16;

Bytes text_input(int32_t x, int32_t y, uint8_t flags, const std::string& text, uint32_t seed = 0x2545F491) {
    Bytes b;
    put32(b, static_cast<uint32_t>(x));
    put32(b, static_cast<uint32_t>(y));
    b.push_back(flags);
    b.push_back(1); // fill
    b.push_back(0); // outline
    put32(b, seed);
    b.insert(b.end(), text.begin(), text.end());
    return b;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5 && argc != 7) {
        std::fputs("usage: fuzz_seeds RLE_DIR TEXT_DIR STATE_DIR PLAYS_ON_DIR [SCRIPT_DIR SHORT_SCRIPT_DIR]\n", stderr);
        return 2;
    }
    const std::filesystem::path rle_dir = argv[1], text_dir = argv[2], state_dir = argv[3], plays_on_dir = argv[4];
    for (const auto& dir : {rle_dir, text_dir, state_dir, plays_on_dir}) std::filesystem::create_directories(dir);

    // Scripts: the built-in text, the test scripts, and a few of each kind
    // of refusal and warning.
    if (argc == 7) {
        const std::filesystem::path script_dir = argv[5], short_dir = argv[6];
        std::filesystem::create_directories(script_dir);
        std::filesystem::create_directories(short_dir);
        // Short scripts that make whole shows: after ten Ms, wider than the
        // screen, codes a letter apart fire one by one as they come into view.
        const std::string lead(10, 'M');
        for (const std::string& s :
             {lead + "@1 A @4 B @2 C @4 D @5 E @4", lead + " @1 HELLO @5 FLY @4 ZOOM @4",
              lead + "  M @4 I @2\n W @4\r\n Q @1 @4", lead + "A @3 B @4 C @2 D @4 E @5 F @4",
              lead + "@5 A @1 @4 B, C. @2 D'E @4 F @5 G @4", lead + "@4 ))) @2 === @5 !!! @4",
              "@1 " + lead + "@2 @3" + lead + "@4 @5 @4 @2 @4"})
            save(short_dir, Bytes(s.begin(), s.end()));
        auto script = [&](const std::string& text) { save(script_dir, Bytes(text.begin(), text.end())); };
        script(Assets::scroll_text);
        for (const auto& entry : std::filesystem::directory_iterator(NYRA1_TEST_SCRIPTS)) {
            if (entry.path().extension() != ".nyra1") continue;
            std::ifstream in(entry.path(), std::ios::binary);
            script({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
        }
        const std::string in(40, ' ');
        for (const std::string& s : {std::string("@4"), in + "A@5B@4C@4D@4", in + "@1 A @3", in + "A\r\nB @4 @4 @4",
                                     in + "@1A@2 @5 B @4 C" + in + "@3 @4", "@2 @1 HI" + in + "@5" + in + "@4" + in + "@4",
                                     in + "CAF\xC3\xA9 @4", in + "HI @7", in + "TAB\tX", std::string(5000, 'M')})
            script(s);
    }

    // Saved states: fuzz_state's first byte chooses a kept state and what is
    // done to it; edits are section, offset (2), value, xor or set.
    save(state_dir, {0x00, 'N', 'Y', 'R', 'A', 1, 0, 0, 0});
    for (uint8_t which = 0; which < 12; ++which) {
        save(state_dir, {static_cast<uint8_t>(0x90 | which)});
        save(state_dir, {static_cast<uint8_t>(0xA0 | which), 0, 0, 0, 7, 0, 5, 8, 0, 0xFF, 1});
        save(state_dir, {static_cast<uint8_t>(0xE0 | which), 12, 4, 0, 0x10, 1});
    }

    // Real states for fuzz_state_plays_on, by number, every fifth, each
    // with an edit somewhere: a byte flipped in its lowest bit, set to 0, a
    // section taken from the next real state.
    for (uint32_t which = 0; which < 200; which += 5) {
        const uint8_t w = static_cast<uint8_t>(which);
        save(plays_on_dir, {w, static_cast<uint8_t>(which * 13), static_cast<uint8_t>(which / 3), 0, 1, 1});
        save(plays_on_dir, {w, static_cast<uint8_t>(which * 7), 0, 0, 0, 0});
        save(plays_on_dir, {w, static_cast<uint8_t>(which * 11), static_cast<uint8_t>(which / 7), 0,
                            static_cast<uint8_t>(which + 1), 2});
    }

    // Run-length streams.
    const uint8_t* logo = Assets::logo_rle;
    const size_t logo_size = Assets::logo_rle_size;
    for (uint32_t dst : {4096u, 4095u, 4097u, 100u, 1u, 0u}) save(rle_dir, rle_input(dst, logo, logo_size));
    for (size_t cut : {size_t{1}, size_t{2}, size_t{100}, logo_size / 2, logo_size - 1}) {
        if (cut <= logo_size) save(rle_dir, rle_input(4096, logo, cut));
    }
    save(rle_dir, rle_input(8, {0x10, 0x83, 1, 2, 3, 0x05, 9}));
    save(rle_dir, rle_input(6, {0x11, 0x03, 0xAA, 0xBB}));
    save(rle_dir, rle_input(4, {0x11, 0x82, 1, 2, 3, 4}));
    save(rle_dir, rle_input(2, {0x10, 0x00, 7, 0x80, 0x02, 5}));
    save(rle_dir, rle_input(64, {0x1F, 0x81, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 0x7F}));
    save(rle_dir, rle_input(16, {0x10}));
    save(rle_dir, rle_input(16, {0x20, 0x05, 1}));
    save(rle_dir, rle_input(16, {0x0F, 0x05, 1}));
    save(rle_dir, rle_input(16, {0x10, 0xFF, 1, 2}));
    const std::pair<const uint8_t*, uint32_t> fonts[] = {{Assets::scroller_font, Assets::scroller_font_size},
                                                         {Assets::title_font, Assets::title_font_size}};
    for (const auto& [font, font_size] : fonts) {
        if (font_size <= 256) continue;
        Bytes stream = {0x10};
        stream.insert(stream.end(), font + 256, font + std::min<uint32_t>(font_size, 256 + 600));
        save(rle_dir, rle_input(8192, stream));
    }
    save(rle_dir, {0x00, 0x10, 2, 1, 2, 3, 4}); // null stream
    save(rle_dir, {0x00, 0x10, 3, 0xFF, 0xFF, 0xFF, 0xFF}); // lowest length

    // Texts: the scroll text line by line as the scroller draws it.
    const std::string scroll = Assets::scroll_text;
    size_t begin = 0;
    int line = 0;
    while (begin < scroll.size()) {
        size_t end = scroll.find('\n', begin);
        if (end == std::string::npos || end - begin > 120) end = std::min(scroll.size(), begin + 120);
        const std::string piece = scroll.substr(begin, end - begin);
        const int32_t x = (line % 3 == 0) ? 319 : (line % 3 == 1) ? -30 : 0;
        save(text_dir, text_input(x, 100, kOutlined | kShowWave, piece));
        begin = end + (end < scroll.size() && scroll[end] == '\n' ? 1 : 0);
        ++line;
    }
    std::string glyphs = " !)0123456789=";
    for (char c = 'A'; c <= 'Z'; ++c) glyphs += c;
    for (char c = 'a'; c <= 'z'; ++c) glyphs += c;
    glyphs += ".,'@";
    for (uint8_t font : {uint8_t{0}, kTitleFont}) {
        save(text_dir, text_input(0, 10, font | kPlain, glyphs));
        save(text_dir, text_input(-400, 100, font | kOutline | kWave, glyphs));
        save(text_dir, text_input(0, 0, font | kAdvance, glyphs + "\x80\xff"));
        for (int32_t x : {-250, -194, -192, -30, 290, 319, 320, 480, 510, 600}) {
            save(text_dir, text_input(x, 60, font | kOutlined | kShowWave, "MWQ"));
        }
        for (int32_t y : {-40, -3, -2, 0, 2, 200, 207, 210, 236, 238, 240, 300}) {
            save(text_dir, text_input(100, y, font | kOutlined | kShowWave, "QMW"));
        }
        save(text_dir, text_input(INT32_MIN, INT32_MIN, font | kOutline | kWave, glyphs));
        save(text_dir, text_input(INT32_MAX, INT32_MAX, font | kOutline, glyphs));
        save(text_dir, text_input(-2000, 100, font | kOutlined | kShowWave, std::string(300, 'M')));
    }
    save(text_dir, text_input(0, 100, kOutlined, "AB@1CD@2EF"));
    save(text_dir, text_input(300, 100, kOutlined, "AB@1CD@2EF"));
    save(text_dir, text_input(0, 100, kOutlined, "AB@"));
    save(text_dir, text_input(0, 100, kPlain, "@4"));
    std::printf("fuzz_seeds: %d seeds\n", written);
    return 0;
}
