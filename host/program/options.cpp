#include "host/program/options.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "host/output/shown_name.h"
#include "host/viewer/layout.h"
#include "host/viewer/player.h"
#include "host/output/video_format.h"
#include "host/viewer/script.h"
#include "host/viewer/timeline.h"

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

constexpr long kLastPoint = static_cast<long>(kLastRefreshNumber);
// The last refresh of the longest show a script may make: a refresh to look
// at past it is in no show.
constexpr long kAnyShowsLast = static_cast<long>(kScriptLongestShow);

// A number's range as a message gives it: a refresh by what it is, not by
// the limit of the number that holds it. A refresh to look at is held to
// the show's length once its script is known (the program checks it).
std::string range_words(long low, long high) {
    if (high == kLastPoint) return "a refresh number, " + std::to_string(low) + " or more";
    if (high == kAnyShowsLast) return "a refresh of the show, " + std::to_string(low) + " to its last";
    return range_text(low, high);
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
            error = name + " needs a whole number, not " + quoted_name(text);
            return false;
        }
        if (kind == Number::OutOfRange || number < low || number > high) {
            // A refresh with no bound but the counter's (--press-start-at):
            // any number past the show's end means never.
            if (high == kLastPoint && text[0] != '-' && (kind == Number::OutOfRange || number > high)) {
                number = kLastPoint;
                return true;
            }
            error = name + " must be " + range_words(low, high) + ", not " + text;
            return false;
        }
        return true;
    }
};

} // namespace

namespace {

// What the parse has gathered so far, beyond the options themselves.
struct Parse {
    explicit Parse(Options& options) : o(options) {}
    Options& o;
    bool help = false, version = false, scale_given = false, quality_given = false, start_given = false,
         shot_given = false, rounds_given = false, overwrite_given = false, script_given = false;
    std::string error;
};

enum class Value { None, Text, Number, Point, EndPoint, NumberAndFile };

// The options the program accepts: the parser's one table, from which
// option_names() and the --help test derive.
struct OptionRule {
    const char* name;
    const char* alias;
    Value value;
    const char* what; // the value, as an error names it
    bool once;        // given twice is an error
    long low, high;   // a number's range
    void (*apply)(Parse& p, const std::string& text, long number);
};

// A file name that stands for the standard output or error rather than a
// file or folder of its own.
bool standard_stream(const std::string& path) {
    return path == "-" || path.rfind("/dev/std", 0) == 0 || path.rfind("/dev/fd/", 0) == 0 ||
           path.rfind("/proc/self/fd/", 0) == 0;
}

const OptionRule kOptions[] = {
    {"--help", "-h", Value::None, nullptr, false, 0, 0, [](Parse& p, const std::string&, long) { p.help = true; }},
    {"--version", nullptr, Value::None, nullptr, false, 0, 0, [](Parse& p, const std::string&, long) { p.version = true; }},
    {"--frames", nullptr, Value::Text, "a folder", true, 0, 0,
     [](Parse& p, const std::string& text, long) {
         if (standard_stream(text))
             p.error = "--frames writes PNG files into a folder; " + quoted_name(text) + " is the standard output, not a folder";
         p.o.mode = Mode::Frames;
         p.o.output = text;
     }},
    {"--record", nullptr, Value::Text, "a file name", true, 0, 0,
     [](Parse& p, const std::string& text, long) {
         if (standard_stream(text))
             p.error = "--record writes a video file; it cannot go to the standard output (" + quoted_name(text) + ")";
         p.o.mode = Mode::Record;
         p.o.output = text;
     }},
    {"--bench", nullptr, Value::None, nullptr, true, 0, 0, [](Parse& p, const std::string&, long) { p.o.mode = Mode::Bench; }},
    {"--inside-at", nullptr, Value::NumberAndFile, "a PNG file name", true, 1, kLastPoint,
     [](Parse& p, const std::string& file, long n) {
         p.o.mode = Mode::Inside;
         p.o.inside_at = static_cast<uint32_t>(n);
         p.o.output = file;
         const std::string png = ".png";
         if (file.size() <= png.size() || file.compare(file.size() - png.size(), png.size(), png) != 0)
             p.error = "--inside-at writes a .png picture, not " + quoted_name(file);
     }},
    {"--check-script", nullptr, Value::Text, "a script file", true, 0, 0,
     [](Parse& p, const std::string& file, long) {
         p.o.mode = Mode::CheckScript;
         p.o.script = file;
     }},
    {"--export-gpe", nullptr, Value::Text, "a file name", true, 0, 0,
     [](Parse& p, const std::string& file, long) {
         p.o.mode = Mode::ExportGpe;
         p.o.output = file;
         const std::string gpe = ".gpe";
         if (file.size() <= gpe.size() || file.compare(file.size() - gpe.size(), gpe.size(), gpe) != 0)
             p.error = "--export-gpe writes a handheld program, a .gpe file, not '" + file + "'";
     }},
    {"--script", nullptr, Value::Text, "a script file", true, 0, 0,
     [](Parse& p, const std::string& file, long) {
         p.o.script = file;
         p.script_given = true;
     }},
    {"--rounds", nullptr, Value::Number, nullptr, true, 1, kMaxRounds,
     [](Parse& p, const std::string&, long n) {
         p.o.rounds = static_cast<int>(n);
         p.rounds_given = true;
     }},
    {"--press-start-at", nullptr, Value::Number, nullptr, true, 0, kLastPoint,
     [](Parse& p, const std::string&, long n) {
         p.o.press_start_at = n;
         p.start_given = true;
     }},
    {"--from", nullptr, Value::Point, nullptr, true, 0, 0,
     [](Parse& p, const std::string& text, long n) {
         p.o.range.first = static_cast<uint32_t>(n);
         p.o.from_text = text;
         p.o.range.given = true;
     }},
    {"--to", nullptr, Value::EndPoint, nullptr, true, 0, 0,
     [](Parse& p, const std::string& text, long n) {
         p.o.range.last = static_cast<uint32_t>(n);
         p.o.to_text = text;
         p.o.range.given = true;
     }},
    {"--overwrite", nullptr, Value::None, nullptr, true, 0, 0,
     [](Parse& p, const std::string&, long) {
         p.o.overwrite = true;
         p.overwrite_given = true;
     }},
    {"--quality", nullptr, Value::Text, "small, good or high", true, 0, 0,
     [](Parse& p, const std::string& level, long) {
         p.quality_given = true;
         if (level == "small") p.o.quality = Quality::Small;
         else if (level == "good") p.o.quality = Quality::Good;
         else if (level == "high") p.o.quality = Quality::High;
         else p.error = "--quality must be small, good or high, not " + quoted_name(level);
     }},
    {"--scale", nullptr, Value::Number, nullptr, true, kMinScale, kMaxScale,
     [](Parse& p, const std::string&, long n) {
         p.o.scale = static_cast<int>(n);
         p.scale_given = true;
     }},
    {"--fullscreen", nullptr, Value::None, nullptr, false, 0, 0, [](Parse& p, const std::string&, long) { p.o.fullscreen = true; }},
    {"--timing", nullptr, Value::None, nullptr, false, 0, 0, [](Parse& p, const std::string&, long) { p.o.timing = true; }},
    {"--screenshot-at", nullptr, Value::Number, nullptr, true, 1, kAnyShowsLast,
     [](Parse& p, const std::string&, long n) {
         p.o.screenshot_at = n;
         p.shot_given = true;
     }},
};

const OptionRule* rule_named(const std::string& name) {
    for (const OptionRule& r : kOptions)
        if (name == r.name || (r.alias && name == r.alias)) return &r;
    return nullptr;
}

// The combinations that make no sense, once every option is read.
std::string check_combination(const Parse& p) {
    const Options& o = p.o;
    if (p.rounds_given && o.mode != Mode::Bench) return "--rounds is for --bench";
    if (o.range.given && o.mode != Mode::Frames && o.mode != Mode::Record)
        return "--from and --to are for --frames and --record";
    if (o.range.first > o.range.last)
        return "--from " + o.from_text + " comes after --to " + o.to_text + ": no refresh is in between";
    if (p.overwrite_given && o.mode != Mode::Frames)
        return "--overwrite is for --frames; --record replaces FILE only once the video is complete";
    if (p.quality_given && o.mode != Mode::Record) return "--quality is for --record";
    if (o.mode == Mode::Bench) {
        // The bench times the whole show as it plays by itself, with no output.
        if (p.start_given) return "--bench plays the whole show; --press-start-at cannot be used with it";
        if (p.scale_given || o.fullscreen || p.shot_given || o.timing)
            return "--bench has no picture: --scale, --fullscreen, --screenshot-at and --timing are for the window";
    }
    if (o.mode == Mode::Record) {
        VideoFormat format;
        if (!video_format_of(o.output, format))
            return "--record makes .mp4, .webm or .gif videos, not " + quoted_name(o.output);
        if (o.fullscreen) return "--fullscreen is for the window, not with --record";
        if (p.shot_given) return "--screenshot-at is for the window, not with --record";
        if (o.timing) return "--timing is for the window, not with --record";
        if (p.quality_given && format == VideoFormat::Gif)
            return "--quality is for .mp4 and .webm videos; a GIF is always exact";
    }
    if (o.mode == Mode::Inside) {
        if (p.start_given) return "--inside-at shows the straight play; --press-start-at cannot be used with it";
        if (p.scale_given || o.fullscreen || p.shot_given || o.timing)
            return "--inside-at writes a picture: --scale, --fullscreen, --screenshot-at and --timing are for the window";
    }
    if (o.mode == Mode::CheckScript || o.mode == Mode::ExportGpe) {
        // A script checked or put into the handheld program plays nothing.
        const char* name = o.mode == Mode::CheckScript ? "--check-script" : "--export-gpe";
        if (o.mode == Mode::CheckScript && p.script_given)
            return "--check-script checks its own FILE; --script is for playing one";
        if (p.start_given || p.scale_given || o.fullscreen || p.shot_given || o.timing)
            return std::string(name) + " plays nothing: --press-start-at, --scale, --fullscreen, --screenshot-at "
                                       "and --timing are for playing";
    }
    if (o.mode == Mode::Frames) {
        if (p.scale_given) return "--scale is for the window and --record; frames are always 320x240";
        if (o.fullscreen) return "--fullscreen is for the window, not with --frames";
        if (p.shot_given) return "--screenshot-at is for the window, not with --frames";
        if (o.timing) return "--timing is for the window, not with --frames";
    }
    return "";
}

} // namespace

const std::vector<std::string>& option_names() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const OptionRule& r : kOptions) {
            list.push_back(r.name);
            if (r.alias) list.push_back(r.alias);
        }
        return list;
    }();
    return names;
}

ParsedOptions parse_options(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    Parse p(parsed.options);
    Reader in{args, 0, {}};
    std::vector<const OptionRule*> seen;
    bool mode_given = false;

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
        const OptionRule* rule = rule_named(name);
        if (!rule) {
            if (!arg.empty() && arg[0] == '-') return fail("unknown option " + quoted_name(arg) + " (see nyra1 --help)");
            return fail("unexpected argument " + quoted_name(arg) + " (see nyra1 --help)");
        }
        if (rule->value == Value::None && inline_value) return fail(name + " takes no value");
        if (rule->once && std::find(seen.begin(), seen.end(), rule) != seen.end()) return fail(name + " is given twice");
        seen.push_back(rule);

        std::string text;
        long number = 0;
        switch (rule->value) {
        case Value::None:
            break;
        case Value::Text:
            if (!in.value_of(name, inline_value, rule->what, text)) return fail(in.error);
            break;
        case Value::Number:
            if (!in.number_of(name, inline_value, rule->low, rule->high, number)) return fail(in.error);
            break;
        case Value::NumberAndFile: {
            // A refresh or a time, as --from takes it, then the file.
            std::string point, reason;
            uint32_t refresh = 0;
            if (!in.value_of(name, inline_value, "a refresh number or a time", point)) return fail(in.error);
            if (!parse_point(point, PointRole::Start, refresh, reason)) return fail(name + " " + reason);
            if (!in.value_of(name, nullptr, rule->what, text)) return fail(in.error);
            number = refresh;
            break;
        }
        case Value::Point:
        case Value::EndPoint: {
            if (!in.value_of(name, inline_value, "a refresh number or a time", text)) return fail(in.error);
            uint32_t refresh = 0;
            std::string reason;
            if (!parse_refresh_point(text, rule->value == Value::EndPoint, refresh, reason))
                return fail(name + " " + reason);
            number = refresh;
            break;
        }
        }
        const bool sets_mode = name == "--frames" || name == "--record" || name == "--bench" || name == "--inside-at" ||
                               name == "--check-script" || name == "--export-gpe";
        if (sets_mode && mode_given)
            return fail("--frames, --record, --bench, --inside-at, --check-script and --export-gpe cannot be used "
                        "together");
        mode_given = mode_given || sets_mode;
        rule->apply(p, text, number);
        if (!p.error.empty()) return fail(p.error);
    }

    Options& o = parsed.options;
    if (p.help) {
        o.mode = Mode::Help;
        return parsed;
    }
    if (p.version) {
        o.mode = Mode::Version;
        return parsed;
    }
    const std::string wrong = check_combination(p);
    if (!wrong.empty()) return fail(wrong);
    if (o.mode == Mode::Record && !p.scale_given) o.scale = kRecordScale;
    return parsed;
}

// The keys in the window, from the player's one key table: the keys in a
// column of their own where they fit, what they do after them.
static std::string keys_text() {
    std::string text = "Keys in the window (and the page):\n";
    for (const KeyHelp& k : key_help()) {
        std::string line = "  " + k.keys;
        line += line.size() < 25 ? std::string(25 - line.size(), ' ') : "\n" + std::string(25, ' ');
        const std::vector<std::string> what = Text::wrap(k.what, 80 - 25);
        for (size_t i = 0; i < what.size(); ++i) text += (i ? std::string(25, ' ') : line) + what[i] + "\n";
    }
    return text + "A click on the picture shows or hides the controls; click or drag on the timeline\n"
                  "to seek. Clips (R) go to nyra1-YYYYMMDD-HHMMSS-A-B.gif (.mp4) here.\n";
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
           "  --inside-at K FILE.png write refresh K's picture beside the views that show\n"
           "                         how its effect makes it (the keys' V), headless\n"
           "  --rounds N             with --bench: play the show N times (1 to 100) in one\n"
           "                         process and report each round and the median\n"
           "  --check-script FILE    check a script (a scroll text of your own that runs\n"
           "                         the show, FILE.nyra1: see docs/script.md) and print\n"
           "                         its show: the stages, every code's step and refresh\n"
           "  --export-gpe OUT.gpe   write the handheld program with the script of\n"
           "                         --script FILE in it (or the built-in one)\n"
           "\n"
           "Options:\n"
           "  --script FILE          play the script FILE instead of the built-in one, in\n"
           "                         any mode; it is checked first and read only once\n"
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
           + keys_text() +
           "\n"
           "Exit status: 0 when the show has ended, 2 on a bad argument, an output that\n"
           "cannot be written, a missing or failing ffmpeg, or a script the check refuses.\n";
}

std::string version_text() { return std::string("nyra1 ") + NYRA1_VERSION + "\n"; }

} // namespace Host
