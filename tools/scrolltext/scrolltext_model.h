// The built-in scroll text measured against the structure the show's timing
// rests on: character widths in the scroller font, the stretches between the
// control codes, the motion per first character, and the steps on which its
// codes are reported. A help for rewording the built-in text without moving
// a single report; the reports come from the script check every script goes
// through (host/viewer/script.h, script_run.h), which also says what is not a
// script at all. Used by check_scrolltext and by its tests.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/viewer/script.h"
#include "host/viewer/script_run.h"
#include "text/scroller.h"

namespace ScrollTextModel {

inline constexpr int kSpaceWidth = 8;
inline constexpr int kGlyphSpacing = 2;
// Space runs inside the words are short; a run this long, or one that touches
// a code or either end of the text, is a stretch of its own.
inline constexpr int kSeparatingSpaces = 8;

// Columns of each character's glyph record in the scroller font, by 7-bit code;
// 0 where the font has no glyph.
struct Widths {
    std::array<uint8_t, 128> columns{};
    std::array<bool, 128> has_glyph{};
};

// The glyph columns the show's timing rests on; lower case shares the
// upper-case record. A scroller font must have exactly these.
inline Widths required_widths() {
    Widths w;
    auto set = [&w](char ch, int columns) {
        w.columns[static_cast<unsigned char>(ch)] = static_cast<uint8_t>(columns);
        w.has_glyph[static_cast<unsigned char>(ch)] = true;
    };
    set(' ', 1);
    set('!', 10);
    set(')', 11);
    constexpr int digits[10] = {23, 8, 17, 17, 20, 21, 18, 16, 21, 22};
    for (int d = 0; d < 10; ++d) set(static_cast<char>('0' + d), digits[d]);
    set('=', 12);
    constexpr int letters[26] = {19, 22, 17, 23, 17, 16, 19, 20, 7,  19, 21, 19, 31,
                                 20, 23, 22, 25, 22, 21, 18, 19, 20, 30, 21, 21, 17};
    for (int i = 0; i < 26; ++i) {
        set(static_cast<char>('A' + i), letters[i]);
        set(static_cast<char>('a' + i), letters[i]);
    }
    return w;
}

// Reads the columns out of a font file (128 little-endian offsets, then
// records of rows, columns, bits). Returns nothing and sets `error` when the
// bytes cannot be a font.
inline std::optional<Widths> widths_from_font(const std::vector<uint8_t>& font, std::string& error) {
    if (font.size() < 256) {
        error = "shorter than its 256-byte offset table (" + std::to_string(font.size()) + " bytes)";
        return std::nullopt;
    }
    Widths w;
    for (int ch = 0; ch < 128; ++ch) {
        const unsigned offset = font[2 * ch] | (font[2 * ch + 1] << 8);
        if (offset == 0) continue;
        if (offset < 256 || offset + 1 >= font.size()) {
            error = "entry " + std::to_string(ch) + " points to offset " + std::to_string(offset) +
                    ", outside the glyph records";
            return std::nullopt;
        }
        w.columns[ch] = font[offset + 1];
        w.has_glyph[ch] = true;
    }
    return w;
}

inline bool has_glyph(const Widths& w, unsigned char ch) { return ch < 128 && w.has_glyph[ch]; }

// What advance_width returns: the first-character limit is minus this.
inline int advance_width(const Widths& w, unsigned char ch) {
    if (ch == ' ') return kSpaceWidth;
    return has_glyph(w, ch) ? w.columns[ch] : 0;
}

// How far the renderer's pen moves over the character.
inline int pen_advance(const Widths& w, unsigned char ch) {
    if (ch == ' ') return kSpaceWidth;
    return has_glyph(w, ch) ? w.columns[ch] + kGlyphSpacing : 0;
}

// Steps the character spends as first character: a glyph of even width w
// w/2 + 1, of odd width (w + 1)/2; a space 5; anything without glyph 1.
inline int steps_as_first(const Widths& w, unsigned char ch) {
    if (ch == ' ') return kSpaceWidth / 2 + 1;
    if (!has_glyph(w, ch)) return 1;
    const int columns = w.columns[ch];
    return columns % 2 == 0 ? columns / 2 + 1 : (columns + 1) / 2;
}

// ---- Stretches -------------------------------------------------------------

enum class Kind { Spaces, Words, Code };

inline const char* kind_name(Kind k) {
    switch (k) {
    case Kind::Spaces: return "spaces";
    case Kind::Words: return "words";
    case Kind::Code: return "code";
    }
    return "?";
}

struct Stretch {
    Kind kind = Kind::Words;
    size_t first = 0;    // index of its first character in the text
    int code = -1;       // the digit, for a code
    int chars = 0;
    int glyphs = 0;      // characters with a glyph, space not counted
    int spaces = 0;
    int glyphless = 0;   // characters without glyph, codes not counted
    int odd_glyphs = 0;  // glyphs of an odd number of columns
    long pixels = 0;
    long steps = 0;
    long start_pixel = 0;
    long start_step = 0;  // sum of the steps of everything before it
    std::vector<int> space_runs;  // runs of two or more spaces inside words
};

namespace detail {
inline void add_char(Stretch& s, const Widths& w, unsigned char ch) {
    ++s.chars;
    if (ch == ' ') ++s.spaces;
    else if (has_glyph(w, ch)) {
        ++s.glyphs;
        if (w.columns[ch] % 2) ++s.odd_glyphs;
    } else ++s.glyphless;
    s.pixels += pen_advance(w, ch);
    s.steps += steps_as_first(w, ch);
}
}  // namespace detail

// Cuts the text into codes ('@' and its digit), separating space runs and the
// words between them.
inline std::vector<Stretch> split_stretches(std::string_view text, const Widths& w) {
    struct Token {
        Kind kind;
        size_t first, length;
    };
    std::vector<Token> tokens;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '@') {
            const size_t length = i + 1 < text.size() ? 2 : 1;
            tokens.push_back({Kind::Code, i, length});
            i += length;
        } else if (text[i] == ' ') {
            size_t j = i;
            while (j < text.size() && text[j] == ' ') ++j;
            tokens.push_back({Kind::Spaces, i, j - i});
            i = j;
        } else {
            size_t j = i;
            while (j < text.size() && text[j] != ' ' && text[j] != '@') ++j;
            tokens.push_back({Kind::Words, i, j - i});
            i = j;
        }
    }
    // A space run separates when long, at either end, or next to a code.
    for (size_t t = 0; t < tokens.size(); ++t) {
        if (tokens[t].kind != Kind::Spaces) continue;
        const bool at_edge = t == 0 || t + 1 == tokens.size() || tokens[t - 1].kind == Kind::Code ||
                             tokens[t + 1].kind == Kind::Code;
        if (!at_edge && tokens[t].length < static_cast<size_t>(kSeparatingSpaces)) tokens[t].kind = Kind::Words;
    }
    std::vector<Stretch> stretches;
    for (const Token& token : tokens) {
        const bool extend = token.kind == Kind::Words && !stretches.empty() && stretches.back().kind == Kind::Words;
        if (!extend) {
            Stretch s;
            s.kind = token.kind;
            s.first = token.first;
            if (token.kind == Kind::Code) s.code = token.length == 2 ? text[token.first + 1] - '0' : -1;
            stretches.push_back(s);
        }
        Stretch& s = stretches.back();
        if (token.kind == Kind::Code) {
            // '@' and its digit leave together and take no room.
            s.chars = static_cast<int>(token.length);
            s.steps = 1;
            continue;
        }
        if (token.kind == Kind::Words && text[token.first] == ' ' && token.length > 1)
            s.space_runs.push_back(static_cast<int>(token.length));
        for (size_t i = token.first; i < token.first + token.length; ++i)
            detail::add_char(s, w, static_cast<unsigned char>(text[i]));
    }
    long pixel = 0, step = 0;
    for (Stretch& s : stretches) {
        s.start_pixel = pixel;
        s.start_step = step;
        pixel += s.pixels;
        step += s.steps;
    }
    return stretches;
}

// ---- The reports ------------------------------------------------------------

struct Report {
    long step;
    int result;  // what Scroller::step returned
    int code;    // the code met (5 for the step that starts the pause, 0 for the pause's end)
};

struct ScrollerRun {
    std::vector<Report> reports;
    long end_step = -1;  // step on which the terminator becomes the first character
};

// The reports of the text in the font as the show makes them (run_script),
// as far as its show goes; the end step is the steps of every character as
// first character and of every pause (the show's text is never rewound).
inline ScrollerRun run_scroller(std::string_view text, const uint8_t* font, const std::vector<Stretch>& stretches) {
    ScrollerRun run;
    const Host::ScriptRun played = Host::run_script(font, text, Host::kScriptLongestShow);
    long pauses = 0;
    for (const Host::RunCue& c : played.cues) {
        const int code = c.pause_end ? 0 : static_cast<int>(c.cue);
        run.reports.push_back({c.step, c.cue == Cue::Pause ? 4 : static_cast<int>(c.cue), code});
        pauses += c.cue == Cue::Pause;
    }
    if (!stretches.empty())
        run.end_step = stretches.back().start_step + stretches.back().steps + pauses * ::Scroller::kPauseSteps;
    return run;
}

// ---- The required structure -------------------------------------------------

struct RequiredStretch {
    Kind kind;
    int chars, glyphs, spaces, glyphless;
    long pixels, steps;
    int code;
    std::vector<int> space_runs;  // runs of two or more spaces inside, any order
};

inline std::vector<RequiredStretch> required_stretches() {
    auto spaces = [](int n) {
        return RequiredStretch{Kind::Spaces, n, 0, n, 0, 8L * n, 5L * n, -1, {}};
    };
    auto code = [](int digit) { return RequiredStretch{Kind::Code, 2, 0, 0, 0, 0, 1, digit, {}}; };
    auto words = [](int chars, int glyphs, int sp, int glyphless, long pixels, long steps,
                    std::vector<int> runs = {}) {
        return RequiredStretch{Kind::Words, chars, glyphs, sp, glyphless, pixels, steps, -1, std::move(runs)};
    };
    // Only the sums of the word steps are bound by the report steps (the first
    // three by code 5, the last two by the final code 4); this is the split of
    // the stored text, whose code 1, code 2 and first code 4 also depend on
    // where the odd-width glyphs stand inside words 1, 3 and 4.
    return {
        spaces(39),
        words(97, 76, 19, 2, 1818, 906),
        code(1),
        spaces(39),
        words(40, 30, 7, 3, 714, 357),
        spaces(10),
        words(75, 59, 15, 1, 1400, 699),
        code(2),
        spaces(41),
        code(5),
        words(65, 51, 12, 2, 1200, 599),
        code(4),
        spaces(39),
        words(258, 188, 61, 9, 4538, 2278, {4, 3}),
        spaces(61),
        code(4),
    };
}

inline constexpr size_t kRequiredLength = 774;
inline constexpr long kFinalToEnd = 200;  // steps from the last code 4 to the terminator

inline std::vector<Report> required_reports() {
    return {{945, 1, 1}, {2245, 2, 2}, {2410, 4, 5}, {2710, 2, 0}, {3350, 4, 4}, {6089, 4, 4}};
}

// Characters that the words use, by kind.
inline constexpr std::string_view kRequiredDigits = "0236";
inline constexpr std::string_view kRequiredSigns = "!)=";
struct RequiredGlyphless {
    char ch;
    int count;
    const char* name;
};
inline constexpr RequiredGlyphless kRequiredGlyphless[] = {{'.', 6, "periods"}, {',', 8, "commas"}, {'\'', 3, "apostrophes"}};

// ---- Checking ----------------------------------------------------------------

struct Check {
    std::vector<Stretch> stretches;
    ScrollerRun run;
    std::vector<std::string> failures;
};

namespace detail {
inline std::string diff_message(const std::string& where, const char* field, long actual, long wanted) {
    const long d = actual - wanted;
    return where + ": " + field + " " + std::to_string(actual) + ", required " + std::to_string(wanted) + " (" +
           (d > 0 ? std::to_string(d) + " over" : std::to_string(-d) + " missing") + ")";
}
}  // namespace detail

inline std::string stretch_label(const std::vector<Stretch>& stretches, size_t i) {
    const Stretch& s = stretches[i];
    if (s.kind == Kind::Code) return "code " + std::to_string(s.code) + " at " + std::to_string(s.first);
    int words = 0;
    for (size_t j = 0; j <= i; ++j) words += stretches[j].kind == Kind::Words;
    if (s.kind == Kind::Words) return "words " + std::to_string(words) + " at " + std::to_string(s.first);
    return std::to_string(s.chars) + " spaces at " + std::to_string(s.first);
}

// Compares a text with the required structure and the required reports.
inline Check check_text(std::string_view text, const Widths& w, const uint8_t* font) {
    Check c;
    c.stretches = split_stretches(text, w);
    auto fail = [&c](std::string message) { c.failures.push_back(std::move(message)); };
    // First of all a script, as any scroll text of the show.
    const Host::ScriptCheck script = Host::check_script(text);
    if (!script.accepted()) {
        fail("the script check refuses it at line " + std::to_string(script.refusal->place.line) + ", column " +
             std::to_string(script.refusal->place.column) + ": " + script.refusal->message);
        const bool walkable = text.find('\0') == std::string_view::npos && (text.empty() || text.back() != '@');
        if (!walkable) return c;
    }
    for (const Host::ScriptFinding& warning : script.warnings)
        fail("the script check warns at line " + std::to_string(warning.place.line) + ", column " +
             std::to_string(warning.place.column) + ": " + warning.message);
    c.run = run_scroller(text, font, c.stretches);

    if (text.size() != kRequiredLength)
        fail(detail::diff_message("text", "length", static_cast<long>(text.size()), kRequiredLength));

    // Characters: nothing the show's text does not use, and all that it does.
    std::array<int, 256> counts{};
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char ch = static_cast<unsigned char>(text[i]);
        if (ch == '@') { // a code: the script check has looked at it
            ++i;
            continue;
        }
        ++counts[ch];
        const bool digit_ok = ch >= '0' && ch <= '9' ? kRequiredDigits.find(static_cast<char>(ch)) != std::string_view::npos
                                                    : true;
        if (ch == '\n' || ch == '\r')
            fail("character " + std::to_string(i) + ": a line break inside the text");
        else if (!digit_ok)
            fail("character " + std::to_string(i) + ": digit '" + std::string(1, static_cast<char>(ch)) +
                 "' is not one of " + std::string(kRequiredDigits));
    }
    for (char d : kRequiredDigits)
        if (counts[static_cast<unsigned char>(d)] == 0) fail(std::string("the digit '") + d + "' is not used");
    for (char s : kRequiredSigns)
        if (counts[static_cast<unsigned char>(s)] == 0) fail(std::string("the sign '") + s + "' is not used");
    int upper = 0, lower = 0;
    for (int ch = 'A'; ch <= 'Z'; ++ch) upper += counts[ch];
    for (int ch = 'a'; ch <= 'z'; ++ch) lower += counts[ch];
    if (upper == 0) fail("no upper-case letter");
    if (lower == 0) fail("no lower-case letter");
    for (const RequiredGlyphless& g : kRequiredGlyphless)
        if (counts[static_cast<unsigned char>(g.ch)] != g.count)
            fail(detail::diff_message("text", g.name, counts[static_cast<unsigned char>(g.ch)], g.count));

    // Stretches, field by field, as far as their kinds line up.
    const std::vector<RequiredStretch> required = required_stretches();
    if (c.stretches.size() != required.size())
        fail("text has " + std::to_string(c.stretches.size()) + " stretches, required " +
             std::to_string(required.size()));
    long pixel = 0;
    size_t index = 0;
    bool shifted_index = false, shifted_pixel = false;
    for (size_t i = 0; i < std::min(c.stretches.size(), required.size()); ++i) {
        const Stretch& s = c.stretches[i];
        const RequiredStretch& r = required[i];
        const std::string where = "stretch " + std::to_string(i + 1) + " (" + stretch_label(c.stretches, i) + ")";
        if (s.kind != r.kind) {
            fail(where + ": is " + kind_name(s.kind) + ", required " + kind_name(r.kind) +
                 "; stretches from here on are not compared");
            break;
        }
        // A shift is reported where it first shows; every later stretch moves with it.
        if (s.first != index && !shifted_index) {
            fail(detail::diff_message(where, "first character", s.first, index) + ", and so every stretch after it");
            shifted_index = true;
        }
        if (s.start_pixel != pixel && !shifted_pixel) {
            fail(detail::diff_message(where, "start pixel", s.start_pixel, pixel) + ", and so every stretch after it");
            shifted_pixel = true;
        }
        index += r.chars;
        pixel += r.pixels;
        if (s.kind == Kind::Code) {
            if (s.code != r.code) fail(where + ": code " + std::to_string(s.code) + ", required " + std::to_string(r.code));
            continue;
        }
        if (s.chars != r.chars) fail(detail::diff_message(where, "characters", s.chars, r.chars));
        if (s.glyphs != r.glyphs) fail(detail::diff_message(where, "glyphs", s.glyphs, r.glyphs));
        if (s.spaces != r.spaces) fail(detail::diff_message(where, "spaces", s.spaces, r.spaces));
        if (s.glyphless != r.glyphless) fail(detail::diff_message(where, "characters without glyph", s.glyphless, r.glyphless));
        if (s.pixels != r.pixels) fail(detail::diff_message(where, "pixels", s.pixels, r.pixels));
        if (s.steps != r.steps) fail(detail::diff_message(where, "steps", s.steps, r.steps));
        std::vector<int> runs = s.space_runs, wanted = r.space_runs;
        std::sort(runs.begin(), runs.end());
        std::sort(wanted.begin(), wanted.end());
        if (runs != wanted) {
            auto list = [](const std::vector<int>& v) {
                std::string out;
                for (int n : v) out += (out.empty() ? "" : ", ") + std::to_string(n);
                return out.empty() ? std::string("none") : out;
            };
            fail(where + ": runs of several spaces " + list(runs) + ", required " + list(wanted));
        }
    }

    // Reports, step by step.
    const std::vector<Report> wanted = required_reports();
    for (size_t i = 0; i < std::max(wanted.size(), c.run.reports.size()); ++i) {
        const std::string n = "report " + std::to_string(i + 1);
        if (i >= c.run.reports.size()) {
            fail(n + ": missing; required step " + std::to_string(wanted[i].step) + " returning " +
                 std::to_string(wanted[i].result));
            continue;
        }
        const Report& a = c.run.reports[i];
        if (i >= wanted.size()) {
            fail(n + ": step " + std::to_string(a.step) + " returns " + std::to_string(a.result) +
                 ", but the show has ended");
            continue;
        }
        const Report& r = wanted[i];
        if (a.result != r.result || a.code != r.code)
            fail(n + ": returns " + std::to_string(a.result) + " (code " + std::to_string(a.code) + "), required " +
                 std::to_string(r.result) + " (code " + std::to_string(r.code) + ")");
        if (a.step != r.step) {
            const long d = a.step - r.step;
            fail(n + ": step " + std::to_string(a.step) + ", required " + std::to_string(r.step) + " (" +
                 std::to_string(d < 0 ? -d : d) + (d == 1 || d == -1 ? " step " : " steps ") + (d < 0 ? "early)" : "late)"));
        }
    }
    if (!c.run.reports.empty() && c.run.end_step >= 0 && c.run.reports.size() == wanted.size()) {
        const long gap = c.run.end_step - c.run.reports.back().step;
        if (gap != kFinalToEnd)
            fail(detail::diff_message("end of text", "steps after the last code", gap, kFinalToEnd));
    }
    return c;
}

}  // namespace ScrollTextModel
