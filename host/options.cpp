#include "host/options.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "host/record_frontend.h"

namespace Host {

namespace {

enum class Number { Bad, Fine, OutOfRange };

// Whole decimal numbers only: no spaces, no signs but a leading minus, no
// trailing characters. Negative values come back as such so that the caller
// can say what is wrong with them; values beyond a long are out of range.
Number read_number(const std::string& text, long& value) {
    if (text.empty()) return Number::Bad;
    size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) return Number::Bad;
    for (size_t j = i; j < text.size(); ++j)
        if (text[j] < '0' || text[j] > '9') return Number::Bad;
    errno = 0;
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return errno == ERANGE ? Number::OutOfRange : Number::Fine;
}

std::string range_text(long low, long high) {
    return "from " + std::to_string(low) + " to " + std::to_string(high);
}

struct Reader {
    const std::vector<std::string>& args;
    size_t next = 0;
    std::string error;

    // The value of an option given as "--name value" or "--name=value".
    bool value_of(const std::string& name, const std::string* inline_value, const char* what,
                  std::string& value) {
        if (inline_value) {
            value = *inline_value;
        } else if (next < args.size() && !(args[next].size() > 1 && args[next][0] == '-' &&
                                           !(args[next][1] >= '0' && args[next][1] <= '9'))) {
            value = args[next++];
        } else {
            error = name + " needs " + what;
            return false;
        }
        if (value.empty()) {
            error = name + " needs " + what;
            return false;
        }
        return true;
    }

    bool number_of(const std::string& name, const std::string* inline_value, long low, long high,
                   long& number) {
        std::string text;
        if (!value_of(name, inline_value, "a number", text)) return false;
        const Number kind = read_number(text, number);
        if (kind == Number::Bad) {
            error = name + " needs a whole number, not '" + text + "'";
            return false;
        }
        if (kind == Number::OutOfRange || number < low || number > high) {
            error = name + " must be " + range_text(low, high) + ", not " + text;
            return false;
        }
        return true;
    }
};

} // namespace

const std::vector<std::string>& option_names() {
    static const std::vector<std::string> names = {
        "--help", "-h", "--version", "--frames", "--record", "--bench", "--press-start-at", "--scale",
        "--fullscreen", "--screenshot-at", "--from", "--to", "--overwrite", "--quality"};
    return names;
}

bool parse_refresh_point(const std::string& text, bool end, uint32_t& refresh, std::string& reason) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) {
        long number = 0;
        const Number kind = read_number(text, number);
        if (kind == Number::Bad) {
            reason = "needs a refresh number or a time m:ss.ff, not '" + text + "'";
            return false;
        }
        if (kind == Number::OutOfRange || number < 1 || number > long{kLastRefreshNumber}) {
            reason = "must be a refresh " + range_text(1, kLastRefreshNumber) + " or a time m:ss.ff, not " + text;
            return false;
        }
        refresh = static_cast<uint32_t>(number);
        return true;
    }
    // m:ss, m:ss.f, m:ss.ff or m:ss.fff
    auto digits = [&](size_t from, size_t to) {
        if (from >= to) return false;
        for (size_t i = from; i < to; ++i)
            if (text[i] < '0' || text[i] > '9') return false;
        return true;
    };
    const size_t dot = text.find('.', colon);
    const size_t seconds_end = dot == std::string::npos ? text.size() : dot;
    const size_t fraction_digits = dot == std::string::npos ? 0 : text.size() - dot - 1;
    const bool shaped = colon >= 1 && colon <= 4 && digits(0, colon) && seconds_end - colon == 3 &&
                        digits(colon + 1, seconds_end) && text[colon + 1] < '6' &&
                        (dot == std::string::npos || (fraction_digits >= 1 && fraction_digits <= 3 &&
                                                      digits(dot + 1, text.size())));
    if (!shaped) {
        reason = "needs a refresh number or a time m:ss.ff, not '" + text + "'";
        return false;
    }
    uint64_t ms = (std::stoull(text.substr(0, colon)) * 60 + std::stoull(text.substr(colon + 1, 2))) * 1000;
    if (fraction_digits > 0) {
        std::string fraction = text.substr(dot + 1);
        fraction.resize(3, '0');
        ms += std::stoull(fraction);
    }
    // Refresh n is on display from (n - 1) / 60 s to n / 60 s.
    const uint64_t sixtieths = ms * 60;
    const uint64_t number = end ? (sixtieths + 999) / 1000 : sixtieths / 1000 + 1;
    if (number < 1) {
        reason = text + " ends before the first refresh";
        return false;
    }
    refresh = static_cast<uint32_t>(number);
    return true;
}

ParsedOptions parse_options(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    Options& o = parsed.options;
    Reader in{args, 0, {}};
    bool help = false, version = false, scale_given = false, quality_given = false;
    bool seen_frames = false, seen_record = false, seen_bench = false, seen_start = false, seen_shot = false;
    bool seen_rounds = false;
    bool seen_from = false, seen_to = false, seen_overwrite = false;

    auto fail = [&](std::string message) {
        parsed.error = std::move(message);
        return parsed;
    };

    while (in.next < args.size()) {
        const std::string arg = args[in.next++];
        std::string name = arg;
        std::string inline_text;
        const std::string* inline_value = nullptr;
        const size_t equals = arg.find('=');
        if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            inline_text = arg.substr(equals + 1);
            inline_value = &inline_text;
        }
        auto no_value = [&]() {
            if (inline_value) in.error = name + " takes no value";
            return !inline_value;
        };
        auto once = [&](bool& seen) {
            if (seen) in.error = name + " is given twice";
            seen = true;
            return in.error.empty();
        };
        auto point = [&](bool& seen, bool end, std::string& text, uint32_t& refresh) {
            if (!once(seen) || !in.value_of(name, inline_value, "a refresh number or a time", text)) return false;
            std::string reason;
            if (!parse_refresh_point(text, end, refresh, reason)) in.error = name + " " + reason;
            return in.error.empty();
        };

        if (name == "--help" || name == "-h") {
            if (!no_value()) return fail(in.error);
            help = true;
        } else if (name == "--version") {
            if (!no_value()) return fail(in.error);
            version = true;
        } else if (name == "--frames") {
            if (!once(seen_frames) || !in.value_of(name, inline_value, "a folder", o.output))
                return fail(in.error);
            o.mode = Mode::Frames;
        } else if (name == "--record") {
            if (!once(seen_record) || !in.value_of(name, inline_value, "a file name", o.output))
                return fail(in.error);
            o.mode = Mode::Record;
        } else if (name == "--bench") {
            if (!no_value() || !once(seen_bench)) return fail(in.error);
            o.mode = Mode::Bench;
        } else if (name == "--press-start-at") {
            if (!once(seen_start) ||
                !in.number_of(name, inline_value, 0, kLastRefreshNumber, o.press_start_at))
                return fail(in.error);
        } else if (name == "--scale") {
            long scale = 0;
            if (!once(scale_given) || !in.number_of(name, inline_value, kMinScale, kMaxScale, scale))
                return fail(in.error);
            o.scale = static_cast<int>(scale);
        } else if (name == "--rounds") {
            long rounds = 0;
            if (!once(seen_rounds) || !in.number_of(name, inline_value, 1, kMaxRounds, rounds))
                return fail(in.error);
            o.rounds = static_cast<int>(rounds);
        } else if (name == "--timing") {
            if (!no_value()) return fail(in.error);
            o.timing = true;
        } else if (name == "--fullscreen") {
            if (!no_value()) return fail(in.error);
            o.fullscreen = true;
        } else if (name == "--screenshot-at") {
            if (!once(seen_shot) || !in.number_of(name, inline_value, 1, kLastRefreshNumber, o.screenshot_at))
                return fail(in.error);
        } else if (name == "--from") {
            if (!point(seen_from, false, o.from_text, o.range.first)) return fail(in.error);
        } else if (name == "--to") {
            if (!point(seen_to, true, o.to_text, o.range.last)) return fail(in.error);
        } else if (name == "--overwrite") {
            if (!no_value() || !once(seen_overwrite)) return fail(in.error);
            o.overwrite = true;
        } else if (name == "--quality") {
            std::string level;
            if (!once(quality_given) || !in.value_of(name, inline_value, "small, good or high", level))
                return fail(in.error);
            if (level == "small") o.quality = Quality::Small;
            else if (level == "good") o.quality = Quality::Good;
            else if (level == "high") o.quality = Quality::High;
            else return fail("--quality must be small, good or high, not '" + level + "'");
        } else if (!arg.empty() && arg[0] == '-') {
            return fail("unknown option '" + arg + "' (see nyra1 --help)");
        } else {
            return fail("unexpected argument '" + arg + "' (see nyra1 --help)");
        }
    }

    if (help) {
        o.mode = Mode::Help;
        return parsed;
    }
    if (version) {
        o.mode = Mode::Version;
        return parsed;
    }
    o.range.given = seen_from || seen_to;
    if (seen_frames + seen_record + seen_bench > 1)
        return fail("--frames, --record and --bench cannot be used together");
    if (seen_rounds && o.mode != Mode::Bench) return fail("--rounds is for --bench");
    if (o.range.given && o.mode != Mode::Frames && o.mode != Mode::Record)
        return fail("--from and --to are for --frames and --record");
    if (o.range.first > o.range.last)
        return fail("--from " + o.from_text + " comes after --to " + o.to_text + ": no refresh is in between");
    if (seen_overwrite && o.mode != Mode::Frames)
        return fail("--overwrite is for --frames; --record replaces FILE only once the video is complete");
    if (quality_given && o.mode != Mode::Record) return fail("--quality is for --record");
    if (o.mode == Mode::Bench) {
        // The bench times the whole show as it plays by itself, with no output.
        if (seen_start) return fail("--bench plays the whole show; --press-start-at cannot be used with it");
        if (scale_given || o.fullscreen || seen_shot || o.timing)
            return fail("--bench has no picture: --scale, --fullscreen, --screenshot-at and --timing are for the window");
    }
    if (o.mode == Mode::Record) {
        VideoFormat format;
        if (!video_format_of(o.output, format))
            return fail("--record makes .mp4, .webm or .gif videos, not '" + o.output + "'");
        if (o.fullscreen) return fail("--fullscreen is for the window, not with --record");
        if (seen_shot) return fail("--screenshot-at is for the window, not with --record");
        if (o.timing) return fail("--timing is for the window, not with --record");
        if (quality_given && format == VideoFormat::Gif)
            return fail("--quality is for .mp4 and .webm videos; a GIF is always exact");
        if (!scale_given) o.scale = kRecordScale;
    }
    if (o.mode == Mode::Frames) {
        if (scale_given) return fail("--scale is for the window and --record; frames are always 320x240");
        if (o.fullscreen) return fail("--fullscreen is for the window, not with --frames");
        if (seen_shot) return fail("--screenshot-at is for the window, not with --frames");
        if (o.timing) return fail("--timing is for the window, not with --frames");
    }
    return parsed;
}

std::string usage_text() {
    return "Usage: nyra1 [OPTIONS]\n"
           "Plays the Nyra 1 show: a 320x240 256-colour demo show.\n"
           "An option takes its value as the next argument or after =: --scale 4, --scale=4.\n"
           "\n"
           "Modes (one at most; the default is a window):\n"
#if NYRA1_WINDOW
           "  (none)                 play in a window at 60 Hz\n"
#else
           "  (none)                 the window is not built into this nyra1 (no SDL2):\n"
           "                         use one of the modes below\n"
#endif
           "  --frames DIR           write every refresh as DIR/00001.png, 00002.png, ...\n"
           "                         (8-bit indexed 320x240 PNG). DIR must be new or\n"
           "                         empty; nothing else in it is ever touched\n"
           "  --record FILE          record a video through ffmpeg: FILE.mp4 (H.264),\n"
           "                         FILE.webm (VP9) or FILE.gif (exact colours);\n"
           "                         60 frames a second (GIF: 50, leaving out every\n"
           "                         sixth refresh). FILE is replaced once the video is\n"
           "                         complete; a symbolic link is followed, and the file\n"
           "                         it points to replaced\n"
           "  --bench                time the whole show and each stage, headless\n"
           "  --rounds N             with --bench: play the show N times (1 to 100) in one\n"
           "                         process and report each round and the median\n"
           "\n"
           "Options:\n"
           "  --press-start-at K     hold START from refresh K on (0: from the start;\n"
           "                         past the show's end: never, as the closing line says)\n"
           "  --from A, --to B       --frames and --record: only refreshes A to B, both\n"
           "                         included, with their own numbers; A and B are\n"
           "                         refresh numbers or times m:ss.ff at 60 refreshes a\n"
           "                         second (the show still plays from its start)\n"
           "  --overwrite            --frames into a folder that is not empty: replace\n"
           "                         files of the names this run writes, keep all others\n"
           "  --quality LEVEL        .mp4 and .webm: small, good (the default) or high\n"
           "  --scale N              pixels per show pixel, 1 to 16 (default 3 in the\n"
           "                         window, 2 in a video)\n"
           "  --fullscreen           start the window in fullscreen\n"
           "  --timing               window: at the end, say how evenly the refreshes came\n"
           "                         (mean and 99th percentile period, late refreshes)\n"
           "  --screenshot-at K      save the window as shown at refresh K\n"
           "  --help, -h             show this help and exit\n"
           "  --version              show the version and exit\n"
           "\n"
           "Keys in the window:\n"
           "  Enter, Space, Escape   START: end the show (also a gamepad's Start button\n"
           "                         and closing the window)\n"
           "  P, K                   pause / play\n"
           "  . ,                    one refresh forward / back (pauses)\n"
           "  Right, Left            1 s forward / back\n"
           "  L, J, Shift+arrows     10 s forward / back\n"
           "  Page Down, Page Up     next / previous stage\n"
           "  Home, End              first / last refresh\n"
           "  ] [ Backspace          faster / slower (1/4x to 8x) / normal speed\n"
           "  A                      loop: start here, end here, no loop\n"
           "  O                      on-screen display: refresh, time, stage, speed, cues\n"
           "  I                      palette inspector (point at a colour)\n"
           "  F11, Alt+Enter         toggle fullscreen\n"
           "  F12                    save a screenshot nyra1-YYYYMMDD-HHMMSS.png here\n"
           "The mouse shows the timeline at the bottom; click or drag on it to seek.\n"
           "\n"
           "Exit status: 0 when the show has ended, 2 on a bad argument, an output that\n"
           "cannot be written or a missing or failing ffmpeg.\n";
}

std::string version_text() { return "nyra1 1.0.0\n"; }

} // namespace Host
