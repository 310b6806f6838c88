// check_scrolltext: measures the built-in scroll text in the scroller font,
// checks it as every script is checked and compares its stretches and
// report steps with the ones the show's timing rests on.
//
//   check_scrolltext [--budget] [--font FILE] [TEXT]
//
// TEXT defaults to assets/scrolltext.txt. The font is the built-in scroller
// font, or FILE with --font; its glyph widths must be the ones the timing
// wants (a difference is listed).
// --budget adds, for every stretch of words, what is missing or over, and for
// every code the part of the text that decides its step.
// Exit status: 0 all matches, 1 differences (listed), 2 unusable arguments or files.

#include "scrolltext_model.h"

#include "data/assets.h"
#include "platform/display.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace ScrollTextModel;

bool read_file(const std::string& path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

std::string printable(unsigned char ch) {
    if (ch >= 32 && ch < 127) return std::string("'") + static_cast<char>(ch) + "'";
    return "code " + std::to_string(ch);
}

void print_stretches(const std::vector<Stretch>& stretches) {
    std::printf("  #  stretch              chars glyphs spaces noglyph  pixels  steps  start px  start step\n");
    for (size_t i = 0; i < stretches.size(); ++i) {
        const Stretch& s = stretches[i];
        std::printf("%3zu  %-20s %5d %6d %6d %7d %7ld %6ld %9ld %11ld\n", i + 1, stretch_label(stretches, i).c_str(),
                    s.chars, s.glyphs, s.spaces, s.glyphless, s.pixels, s.steps, s.start_pixel, s.start_step);
    }
}

// The code stretches in text order, to name where each report comes from.
std::vector<const Stretch*> code_stretches(const std::vector<Stretch>& stretches) {
    std::vector<const Stretch*> codes;
    for (const Stretch& s : stretches)
        if (s.kind == Kind::Code) codes.push_back(&s);
    return codes;
}

void print_reports(const Check& c) {
    const std::vector<Report> wanted = required_reports();
    const std::vector<const Stretch*> codes = code_stretches(c.stretches);
    size_t next_code = 0;
    std::printf("reports:\n");
    for (size_t i = 0; i < c.run.reports.size(); ++i) {
        const Report& r = c.run.reports[i];
        std::string from;
        if (r.code == 0) from = "end of the pause";
        else {
            from = "code " + std::to_string(r.code);
            if (next_code < codes.size()) {
                from += " at character " + std::to_string(codes[next_code]->first) + ", pixel " +
                        std::to_string(codes[next_code]->start_pixel);
                ++next_code;
            }
        }
        const std::string required = i < wanted.size() ? "required step " + std::to_string(wanted[i].step) : "not required";
        std::printf("  step %5ld returns %d  %-42s %s%s\n", r.step, r.result, from.c_str(), required.c_str(),
                    i < wanted.size() && wanted[i].step == r.step ? "" : "  <--");
    }
    if (c.run.end_step >= 0) {
        std::printf("  the terminator becomes the first character on step %ld", c.run.end_step);
        if (!c.run.reports.empty())
            std::printf(" (%ld steps after the last report)", c.run.end_step - c.run.reports.back().step);
        std::printf("\n");
    }
}

std::string signed_diff(long actual, long wanted) {
    const long d = actual - wanted;
    if (d == 0) return "ok";
    return (d > 0 ? "+" : "") + std::to_string(d);
}

// Odd-width glyphs a stretch of words needs for its steps, given its other counts:
// steps = (glyph pixels - odd glyphs) / 2 + 5 spaces + glyphless.
long odd_glyphs_for(const RequiredStretch& r) {
    const long glyph_pixels = r.pixels - static_cast<long>(kSpaceWidth) * r.spaces;
    return glyph_pixels - 2 * (r.steps - 5L * r.spaces - r.glyphless);
}

void print_budget(const Check& c) {
    const std::vector<RequiredStretch> required = required_stretches();
    std::printf("budget (actual - required):\n");
    int words = 0;
    for (size_t i = 0; i < std::min(c.stretches.size(), required.size()); ++i) {
        const Stretch& s = c.stretches[i];
        const RequiredStretch& r = required[i];
        if (s.kind != r.kind) {
            std::printf("  stretch %zu is %s where %s are required; fix the structure first\n", i + 1, kind_name(s.kind),
                        kind_name(r.kind));
            break;
        }
        if (s.kind != Kind::Words) continue;
        ++words;
        std::printf("  words %d (characters %zu..%zu): chars %s, glyphs %s, spaces %s, no glyph %s, pixels %s, steps %s,"
                    " odd-width glyphs %d of %ld wanted\n",
                    words, s.first, s.first + s.chars - 1, signed_diff(s.chars, r.chars).c_str(),
                    signed_diff(s.glyphs, r.glyphs).c_str(), signed_diff(s.spaces, r.spaces).c_str(),
                    signed_diff(s.glyphless, r.glyphless).c_str(), signed_diff(s.pixels, r.pixels).c_str(),
                    signed_diff(s.steps, r.steps).c_str(), s.odd_glyphs, odd_glyphs_for(r));
        const long glyph_pixels_left = r.pixels - kSpaceWidth * r.spaces;
        std::printf("             glyph pixels %ld of %ld (average glyph %.2f px, wanted %.2f)\n",
                    s.pixels - kSpaceWidth * s.spaces, glyph_pixels_left,
                    s.glyphs ? double(s.pixels - kSpaceWidth * s.spaces) / s.glyphs : 0.0,
                    double(glyph_pixels_left) / r.glyphs);
    }

    // Each code is reported once the text has moved (code pixel - 320) pixels:
    // the steps spent by the characters up to that point decide the step.
    const std::vector<Report> wanted = required_reports();
    const std::vector<const Stretch*> codes = code_stretches(c.stretches);
    std::printf("code timing:\n");
    // Reports and required reports that come from codes, in order.
    std::vector<const Report*> met, required_met;
    for (const Report& r : c.run.reports)
        if (r.code != 0) met.push_back(&r);
    for (const Report& r : wanted)
        if (r.code != 0) required_met.push_back(&r);
    for (size_t k = 0; k < codes.size(); ++k) {
        const Stretch* code = codes[k];
        const long moved = code->start_pixel - Display::kWidth;
        std::string where = "before the text";
        for (size_t j = 0; j < c.stretches.size(); ++j) {
            const Stretch& s = c.stretches[j];
            if (moved >= s.start_pixel && moved < s.start_pixel + s.pixels) {
                where = std::to_string(moved - s.start_pixel) + " px into " + stretch_label(c.stretches, j);
                break;
            }
        }
        std::printf("  code %d at pixel %ld is reported once the text has moved past %ld px (%s)", code->code, code->start_pixel,
                    moved, where.c_str());
        if (k < met.size() && k < required_met.size()) {
            const long d = met[k]->step - required_met[k]->step;
            if (d == 0) std::printf(": step %ld ok\n", met[k]->step);
            else
                std::printf(": step %ld, required %ld; the text before that point must take %ld step%s %s\n",
                            met[k]->step, required_met[k]->step, d < 0 ? -d : d, d == 1 || d == -1 ? "" : "s",
                            d < 0 ? "more" : "fewer");
        } else std::printf(": %s\n", k < met.size() ? "not required" : "not reported");
    }
}

int usage() {
    std::fprintf(stderr, "usage: check_scrolltext [--budget] [--font FILE] [TEXT]\n"
                         "  TEXT defaults to assets/scrolltext.txt\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string text_path = "assets/scrolltext.txt";
    std::string font_path;
    bool budget = false;
    bool have_text = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--budget") budget = true;
        else if (arg == "--font" && i + 1 < argc) font_path = argv[++i];
        else if (arg == "--help" || arg == "-h") {
            usage();
            return 0;
        } else if (!arg.empty() && arg[0] == '-') return usage();
        else if (have_text) return usage();
        else {
            text_path = arg;
            have_text = true;
        }
    }

    std::vector<uint8_t> bytes;
    if (!read_file(text_path, bytes)) {
        std::fprintf(stderr, "check_scrolltext: cannot read %s\n", text_path.c_str());
        return 2;
    }
    const std::string text(bytes.begin(), bytes.end());

    // The font the Scroller runs with: the built-in one, or a font file.
    std::vector<uint8_t> font(Assets::scroller_font, Assets::scroller_font + Assets::scroller_font_size);
    std::string font_source = "built-in scroller font";
    if (!font_path.empty()) {
        if (!read_file(font_path, font)) {
            std::fprintf(stderr, "check_scrolltext: cannot read %s\n", font_path.c_str());
            return 2;
        }
        font_source = "font " + font_path;
    }
    std::string error;
    const std::optional<Widths> from_font = widths_from_font(font, error);
    if (!from_font) {
        std::fprintf(stderr, "check_scrolltext: %s: %s\n", font_source.c_str(), error.c_str());
        return 2;
    }
    const Widths& widths = *from_font;
    std::vector<std::string> font_failures;
    const Widths required = required_widths();
    for (int ch = 0; ch < 128; ++ch) {
        if (widths.has_glyph[ch] != required.has_glyph[ch])
            font_failures.push_back(font_source + ": " + printable(static_cast<unsigned char>(ch)) +
                                    (widths.has_glyph[ch] ? " has a glyph, the timing wants none"
                                                          : " has no glyph, the timing wants one"));
        else if (widths.columns[ch] != required.columns[ch])
            font_failures.push_back(font_source + ": " + printable(static_cast<unsigned char>(ch)) + " is " +
                                    std::to_string(widths.columns[ch]) + " columns wide, the timing wants " +
                                    std::to_string(required.columns[ch]));
    }

    Check c = check_text(text, widths, font.data());
    c.failures.insert(c.failures.begin(), font_failures.begin(), font_failures.end());

    std::printf("scroll text %s: %zu characters, in the %s\n", text_path.c_str(), text.size(),
                font_source.c_str());
    print_stretches(c.stretches);
    print_reports(c);
    if (budget) print_budget(c);

    if (c.failures.empty()) {
        std::printf("OK: every stretch and every report step matches\n");
        return 0;
    }
    std::printf("FAILED: %zu difference%s\n", c.failures.size(), c.failures.size() == 1 ? "" : "s");
    for (const std::string& f : c.failures) std::printf("  - %s\n", f.c_str());
    return 1;
}
