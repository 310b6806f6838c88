#include "host/options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "host/record_frontend.h"

namespace Host {

namespace {

// Whole decimal numbers only: no spaces, no signs but a leading minus, no
// trailing characters. Negative values come back as such so that the caller
// can say what is wrong with them.
bool read_number(const std::string& text, long& value) {
    if (text.empty()) return false;
    size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) return false;
    for (size_t j = i; j < text.size(); ++j)
        if (text[j] < '0' || text[j] > '9') return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0';
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
        if (!read_number(text, number)) {
            error = name + " needs a whole number, not '" + text + "'";
            return false;
        }
        if (number < low || number > high) {
            error = name + " must be " +
                    (high == LONG_MAX ? std::to_string(low) + " or more"
                                      : "from " + std::to_string(low) + " to " + std::to_string(high)) +
                    ", not " + text;
            return false;
        }
        return true;
    }
};

} // namespace

ParsedOptions parse_options(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    Options& o = parsed.options;
    Reader in{args, 0, {}};
    bool help = false, version = false, scale_given = false;
    bool seen_frames = false, seen_record = false, seen_bench = false, seen_start = false, seen_shot = false;
    bool seen_rounds = false;

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
            if (!once(seen_start) || !in.number_of(name, inline_value, 0, LONG_MAX, o.press_start_at))
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
            if (!once(seen_shot) || !in.number_of(name, inline_value, 1, LONG_MAX, o.screenshot_at))
                return fail(in.error);
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
    if (seen_frames + seen_record + seen_bench > 1)
        return fail("--frames, --record and --bench cannot be used together");
    if (seen_rounds && o.mode != Mode::Bench) return fail("--rounds is for --bench");
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
        if (!scale_given) o.scale = kRecordScale;
    }
    if (o.mode == Mode::Frames) {
        if (scale_given) return fail("--scale is for the window; frames are always 320x240");
        if (o.fullscreen) return fail("--fullscreen is for the window, not with --frames");
        if (seen_shot) return fail("--screenshot-at is for the window, not with --frames");
        if (o.timing) return fail("--timing is for the window, not with --frames");
    }
    return parsed;
}

std::string usage_text() {
    return "Usage: nyra1 [OPTIONS]\n"
           "Plays the Nyra 1 show: a 320x240 256-colour demo show.\n"
           "\n"
           "Modes (one at most; the default is a window):\n"
#if NYRA1_WINDOW
           "  (none)                 play in a window at 60 Hz\n"
#else
           "  (none)                 the window is not built into this nyra1 (no SDL2):\n"
           "                         use one of the modes below\n"
#endif
           "  --frames DIR           write every refresh as DIR/00001.png, 00002.png, ...\n"
           "                         (8-bit indexed 320x240 PNG; old numbered frames in DIR\n"
           "                         are replaced)\n"
           "  --bench                time the whole show and each stage, headless\n"
           "  --rounds N             with --bench: play the show N times (1 to 100) in one\n"
           "                         process and report each round and the median\n"
           "  --record FILE          record a video through ffmpeg: FILE.mp4 (H.264),\n"
           "                         FILE.webm (VP8) or FILE.gif; 60 frames a second\n"
           "                         (GIF: 50, leaving out every sixth refresh)\n"
           "\n"
           "Options:\n"
           "  --press-start-at K     hold START from refresh K on (0: from the start)\n"
           "  --scale N              pixels per show pixel, 1 to 16 (default 3 in the\n"
           "                         window, 2 in a video)\n"
           "  --fullscreen           start the window in fullscreen\n"
           "  --timing               window: at the end, say how evenly the refreshes came\n"
           "                         (mean and 99th percentile period, late refreshes)\n"
           "  --help                 show this help and exit\n"
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
