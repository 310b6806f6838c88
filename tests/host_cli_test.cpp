// The PC program's command line, its exit statuses and one-line messages,
// the closing line and the screenshot names.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/program/options.h"
#include "host/viewer/player.h"
#include "host/program/program.h"
#include "host/program/progress.h"
#include "host/output/screenshot.h"
#include "host/output/png_file.h"
#include "host/viewer/handheld_program.h"
#include "host/viewer/script.h"
#include "host/viewer/show_runner.h"
#include "host/viewer/viewer.h"
#include "platform/host/display_controller.h"
#include "support/host_support.h"
#include "support/test_support.h"

using Host::Mode;
using Host::parse_options;

namespace {

// A one-line error: "nyra1: ...\n", exactly one newline.
void expect_one_line_error(const Outcome& o) {
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err.rfind("nyra1: ", 0), 0u) << o.err;
    ASSERT_FALSE(o.err.empty());
    EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << o.err;
    EXPECT_EQ(o.out, "");
}

// Whether --help describes the option: it opens a line of the option list
// or follows another option there ("--from A, --to B").
bool described(const std::string& help, const std::string& option) {
    for (const std::string& before : {std::string("\n  "), std::string(", ")})
        for (const char after : {' ', ',', '\n'})
            if (help.find(before + option + after) != std::string::npos) return true;
    return false;
}

} // namespace

TEST(HostOptions, NoArgumentsPlayInAWindowAtScaleThree) {
    const auto p = parse_options({});
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_EQ(p.options.mode, Mode::Window);
    EXPECT_EQ(p.options.scale, 3);
    EXPECT_EQ(p.options.press_start_at, -1);
    EXPECT_FALSE(p.options.fullscreen);
    EXPECT_EQ(p.options.screenshot_at, -1);
}

TEST(HostOptions, AcceptedForms) {
    auto p = parse_options({"--frames", "out"});
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_EQ(p.options.mode, Mode::Frames);
    EXPECT_EQ(p.options.output, "out");

    p = parse_options({"--frames=some dir", "--press-start-at=7"});
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_EQ(p.options.output, "some dir");
    EXPECT_EQ(p.options.press_start_at, 7);

    p = parse_options({"--press-start-at", "0", "--scale", "16", "--fullscreen"});
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_EQ(p.options.mode, Mode::Window);
    EXPECT_EQ(p.options.press_start_at, 0);
    EXPECT_EQ(p.options.scale, 16);
    EXPECT_TRUE(p.options.fullscreen);

    p = parse_options({"--scale=5"});
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_EQ(p.options.scale, 5);

    p = parse_options({"--scale", "1", "--screenshot-at", "12"});
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_EQ(p.options.scale, 1);
    EXPECT_EQ(p.options.screenshot_at, 12);

    p = parse_options({"--record", "show.mp4"});
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_EQ(p.options.mode, Mode::Record);
    EXPECT_EQ(p.options.output, "show.mp4");
    EXPECT_EQ(p.options.scale, 2); // a video's default

    p = parse_options({"--record=dir/Show.WEBM", "--scale", "3", "--press-start-at", "30"});
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_EQ(p.options.mode, Mode::Record);
    EXPECT_EQ(p.options.scale, 3);
    EXPECT_EQ(p.options.press_start_at, 30);
    EXPECT_TRUE(parse_options({"--record", "a.gif"}).ok());

    p = parse_options({"--press-start-at", "4000000000"});
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_EQ(p.options.press_start_at, 4000000000L);
}

TEST(HostOptions, HelpAndVersionWinOverAMode) {
    EXPECT_EQ(parse_options({"--help"}).options.mode, Mode::Help);
    EXPECT_EQ(parse_options({"-h"}).options.mode, Mode::Help);
    EXPECT_EQ(parse_options({"--frames", "x", "--help"}).options.mode, Mode::Help);
    EXPECT_EQ(parse_options({"--version"}).options.mode, Mode::Version);
    EXPECT_EQ(parse_options({"--bench"}).options.mode, Mode::Bench);
    EXPECT_EQ(parse_options({"--version", "--help"}).options.mode, Mode::Help);
}

TEST(HostOptions, BadArgumentsGiveOneLineReasons) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"-x"}, "unknown option '-x'"},
        {{"show.mp4"}, "unexpected argument 'show.mp4'"},
        {{"--frames"}, "--frames needs a folder"},
        {{"--frames", "--scale", "2"}, "--frames needs a folder"},
        {{"--frames="}, "--frames needs a folder"},
        {{"--frames", "a", "--frames", "b"}, "--frames is given twice"},
        {{"--press-start-at"}, "--press-start-at needs a number"},
        {{"--press-start-at", "-1"}, "--press-start-at must be a refresh number, 0 or more, not -1"},
        {{"--press-start-at", "five"}, "--press-start-at needs a whole number, not 'five'"},
        {{"--press-start-at", "5x"}, "--press-start-at needs a whole number, not '5x'"},
        {{"--press-start-at", "+5"}, "--press-start-at needs a whole number, not '+5'"},
        {{"--press-start-at", " 5"}, "--press-start-at needs a whole number, not ' 5'"},
        {{"--scale", "99999999999999999999"}, "--scale must be from 1 to 16, not 99999999999999999999"},
        {{"--scale=-99999999999999999999"}, "--scale must be from 1 to 16, not -99999999999999999999"},
        {{"--frames", "d", "--from", "0"}, "--from must be a refresh, 1 or more, or a time m:ss.ff, not 0"},
        {{"--frames", "d", "--from", "1:60"}, "--from needs a refresh number or a time m:ss.ff, not '1:60'"},
        {{"--frames", "d", "--from", "1:5"}, "--from needs a refresh number or a time m:ss.ff"},
        {{"--frames", "d", "--from", "0:05.1234"}, "--from needs a refresh number or a time m:ss.ff"},
        {{"--frames", "d", "--from", "12,5"}, "--from needs a refresh number or a time m:ss.ff"},
        {{"--frames", "d", "--from", "1:00s"}, "--from needs a refresh number or a time m:ss.ff"},
        {{"--frames", "d", "--from", "-3"}, "--from needs a refresh number or a time m:ss.ff"},
        {{"--frames", "d", "--to", "0:00"}, "--to 0:00 ends before the first refresh"},
        {{"--frames", "d", "--from", "400", "--to", "300"}, "--from 400 comes after --to 300"},
        {{"--frames", "d", "--from", "0:10", "--to", "0:09.99"}, "--from 0:10 comes after --to 0:09.99"},
        {{"--frames", "d", "--from", "1", "--from", "2"}, "--from is given twice"},
        {{"--from", "5"}, "--from and --to are for --frames and --record"},
        {{"--bench", "--to", "5"}, "--from and --to are for --frames and --record"},
        {{"--record", "a.mp4", "--overwrite"}, "--overwrite is for --frames"},
        {{"--overwrite"}, "--overwrite is for --frames"},
        {{"--frames", "d", "--overwrite=yes"}, "--overwrite takes no value"},
        {{"--frames", "d", "--quality", "high"}, "--quality is for --record"},
        {{"--record", "a.gif", "--quality", "high"}, "--quality is for .mp4 and .webm videos"},
        {{"--record", "a.mp4", "--quality", "best"}, "--quality must be small, good or high, not 'best'"},
        {{"--press-start-at", "1", "--press-start-at", "2"}, "--press-start-at is given twice"},
        {{"--scale", "0"}, "--scale must be from 1 to 16, not 0"},
        {{"--scale", "17"}, "--scale must be from 1 to 16, not 17"},
        {{"--scale", "2.5"}, "--scale needs a whole number, not '2.5'"},
        {{"--scale"}, "--scale needs a number"},
        {{"--fullscreen=yes"}, "--fullscreen takes no value"},
        {{"--help=me"}, "--help takes no value"},
        {{"--frames", "d", "--scale", "2"}, "--scale is for the window"},
        {{"--frames", "d", "--fullscreen"}, "--fullscreen is for the window"},
        {{"--frames", "d", "--screenshot-at", "3"}, "--screenshot-at is for the window"},
        {{"--screenshot-at", "0"}, "--screenshot-at must be a refresh of the show, 1 to its last, not 0"},
        {{"--record"}, "--record needs a file name"},
        {{"--record", "show.avi"}, "--record makes .mp4, .webm or .gif videos, not 'show.avi'"},
        {{"--record", "show"}, "--record makes .mp4, .webm or .gif videos"},
        {{"--record", ".mp4"}, "--record makes .mp4, .webm or .gif videos"},
        {{"--record", "a.mp4", "--record", "b.mp4"}, "--record is given twice"},
        {{"--frames", "d", "--record", "a.mp4"}, "--frames, --record, --bench, --inside-at, --check-script and --export-gpe cannot be used together"},
        {{"--record", "a.mp4", "--frames", "d"}, "--frames, --record, --bench, --inside-at, --check-script and --export-gpe cannot be used together"},
        {{"--bench", "--frames", "d"}, "--frames, --record, --bench, --inside-at, --check-script and --export-gpe cannot be used together"},
        {{"--bench", "--bench"}, "--bench is given twice"},
        {{"--bench=1"}, "--bench takes no value"},
        {{"--bench", "--press-start-at", "5"}, "--bench plays the whole show"},
        {{"--bench", "--scale", "2"}, "--bench has no picture"},
        {{"--record", "a.mp4", "--fullscreen"}, "--fullscreen is for the window"},
        {{"--record", "a.mp4", "--screenshot-at", "2"}, "--screenshot-at is for the window"},
        {{"--record", "a.mp4", "--scale", "0"}, "--scale must be from 1 to 16"},
        // Frames are files in a folder and a video a file of its own: not the
        // standard output, whatever the name says.
        {{"--frames", "-"}, "--frames writes PNG files into a folder; '-' is the standard output"},
        {{"--record", "-"}, "--record writes a video file; it cannot go to the standard output ('-')"},
        {{"--record", "/dev/stdout"}, "--record writes a video file; it cannot go to the standard output"},
        {{"--record", "/dev/fd/1"}, "--record writes a video file; it cannot go to the standard output"},
        {{"--inside-at", "3200"}, "--inside-at needs a PNG file name"},
        {{"--inside-at", "x.png"}, "--inside-at needs a refresh number or a time m:ss.ff, not 'x.png'"},
        {{"--inside-at", "0", "a.png"}, "--inside-at must be a refresh, 1 or more, or a time m:ss.ff, not 0"},
        {{"--inside-at", "3200", "a.jpg"}, "--inside-at writes a .png picture, not 'a.jpg'"},
        {{"--inside-at", "3200", "a.png", "--frames", "d"}, "--frames, --record, --bench, --inside-at, --check-script and --export-gpe cannot be used together"},
        {{"--inside-at", "3200", "a.png", "--scale", "2"}, "--inside-at writes a picture"},
        {{"--inside-at", "3200", "a.png", "--press-start-at", "2"}, "--inside-at shows the straight play"},
        {{"--script"}, "--script needs a script file"},
        {{"--script", "a.nyra1", "--script", "b.nyra1"}, "--script is given twice"},
        {{"--check-script"}, "--check-script needs a script file"},
        {{"--check-script", "a.nyra1", "--script", "b.nyra1"}, "--check-script checks its own FILE"},
        {{"--script", "b.nyra1", "--check-script", "a.nyra1"}, "--check-script checks its own FILE"},
        {{"--check-script", "a.nyra1", "--bench"}, "--frames, --record, --bench, --inside-at, --check-script and"},
        {{"--check-script", "a.nyra1", "--scale", "2"}, "--check-script plays nothing"},
        {{"--check-script", "a.nyra1", "--to", "5"}, "--from and --to are for --frames and --record"},
        {{"--export-gpe"}, "--export-gpe needs a file name"},
        {{"--export-gpe", "nyra1.zip"}, "--export-gpe writes a handheld program, a .gpe file, not 'nyra1.zip'"},
        {{"--export-gpe", ".gpe"}, "--export-gpe writes a handheld program, a .gpe file"},
        {{"--export-gpe", "a.gpe", "--press-start-at", "3"}, "--export-gpe plays nothing"},
        {{"--export-gpe", "a.gpe", "--frames", "d"}, "--frames, --record, --bench, --inside-at, --check-script and"},
    };
    const std::string help = Host::usage_text();
    for (const auto& [args, reason] : cases) {
        const auto p = parse_options(args);
        EXPECT_FALSE(p.ok()) << args[0];
        EXPECT_EQ(p.error.rfind(reason, 0), 0u) << "got: " << p.error << "\nwanted: " << reason;
        EXPECT_EQ(p.error.find('\n'), std::string::npos);
        // Every option a message names is one that --help describes.
        for (size_t at = p.error.find("--"); at != std::string::npos; at = p.error.find("--", at + 2)) {
            size_t end = at + 2;
            while (end < p.error.size() && (std::isalnum(static_cast<unsigned char>(p.error[end])) || p.error[end] == '-'))
                ++end;
            const std::string option = p.error.substr(at, end - at);
            if (option == "--bogus") continue; // the unknown option itself
            EXPECT_TRUE(described(help, option)) << option << " in: " << p.error;
        }
    }
}

// A refresh number out of range is answered with the show's refreshes, not
// with the limit of the number's type; START held past the show's end is
// never held, however far past.
TEST(HostOptions, RefreshNumbersAreBoundedByTheShow) {
    const std::string last = std::to_string(Host::built_in_timeline().refreshes);
    EXPECT_EQ(parse_options({"--inside-at", "0", "a.png"}).error,
              "--inside-at must be a refresh, 1 or more, or a time m:ss.ff, not 0");
    EXPECT_EQ(parse_options({"--screenshot-at", "0"}).error, "--screenshot-at must be a refresh of the show, 1 to its last, not 0");
    EXPECT_EQ(parse_options({"--screenshot-at", "99999999999"}).error,
              "--screenshot-at must be a refresh of the show, 1 to its last, not 99999999999");
    // Past the show: known once its script is, before anything is made.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--inside-at", "99999", "a.png"}, {"--inside-at", "2:00", "a.png"},
          {"--screenshot-at", "9999"}}) {
        const Outcome o = run(args);
        const std::string shown = args[1] == "2:00" ? "7201" : args[1];
        EXPECT_EQ(o.err, "nyra1: " + args[0] + " must be a refresh from 1 to " + last + ", not " + shown + "\n");
        EXPECT_EQ(o.status, 2);
    }
    for (const char* negative : {"-1", "-99999999999999999999"})
        EXPECT_EQ(parse_options({"--press-start-at", negative}).error,
                  std::string("--press-start-at must be a refresh number, 0 or more, not ") + negative);
    for (const char* far : {"4294967296", "99999999999999999999999"}) {
        const auto p = parse_options({"--frames", "d", "--press-start-at", far});
        ASSERT_TRUE(p.ok()) << p.error;
        EXPECT_GT(p.options.press_start_at, long{Host::built_in_timeline().refreshes});
    }
}

TEST(HostOptions, HelpListsEveryOptionTheParserAccepts) {
    const std::string help = Host::usage_text();
    EXPECT_NE(help.find("--scale=4"), std::string::npos);
    for (const std::string& name : Host::option_names()) {
        // Listed where options are described: at a line's start or after a comma.
        EXPECT_TRUE(described(help, name)) << name;
        // And the parser knows it.
        const auto p = parse_options({name});
        EXPECT_EQ(p.error.find("unknown option"), std::string::npos) << name << ": " << p.error;
    }
    // Anything else that looks like an option is unknown.
    EXPECT_EQ(parse_options({"--range"}).error.rfind("unknown option '--range'", 0), 0u);
}

TEST(HostOptions, RangesTakeRefreshNumbersOrTimesAtSixtyAsecond) {
    struct Case {
        const char* text;
        uint32_t as_start, as_end;
    };
    // A start time is the refresh on display then; an end time the last
    // refresh that begins before it, so that 0:10 to 0:20 is ten seconds.
    for (const Case& c : {Case{"1", 1, 1}, Case{"3300", 3300, 3300}, Case{"0:00.01", 1, 1}, Case{"0:10", 601, 600},
                          Case{"0:20", 1201, 1200}, Case{"0:10.5", 631, 630}, Case{"0:10.51", 631, 631},
                          Case{"1:52.70", 6763, 6762}, Case{"10:00.000", 36001, 36000},
                          // Seconds, as the page's ?t= takes them: with a point or an s.
                          Case{"10.5", 631, 630}, Case{"10s", 601, 600}, Case{"10.51s", 631, 631}}) {
        uint32_t start = 0, end = 0;
        std::string reason;
        ASSERT_TRUE(Host::parse_refresh_point(c.text, false, start, reason)) << c.text << ": " << reason;
        ASSERT_TRUE(Host::parse_refresh_point(c.text, true, end, reason)) << c.text << ": " << reason;
        EXPECT_EQ(start, c.as_start) << c.text;
        EXPECT_EQ(end, c.as_end) << c.text;
    }
    auto p = parse_options({"--record", "clip.mp4", "--from=0:10", "--to", "0:20"});
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_TRUE(p.options.range.given);
    EXPECT_EQ(p.options.range.last - p.options.range.first + 1, 600u);
    p = parse_options({"--frames", "d", "--from", "6000"});
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_EQ(p.options.range.last, Host::kLastRefreshNumber);
    EXPECT_FALSE(parse_options({"--frames", "d"}).options.range.given);
    EXPECT_TRUE(parse_options({"--frames", "d", "--overwrite"}).options.overwrite);
}

// --inside-at writes a refresh's picture and its views as one PNG, and says so.
TEST(HostProgram, InsideAtWritesTheViewsOfARefresh) {
    const std::string folder = temp_folder("nyra1-cli");
    const uint32_t n = Host::built_in_timeline().chapter_start(Show::Stage::Flight) + 100;
    const Outcome o = run({"--inside-at", std::to_string(n), folder + "/views.png"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("refresh " + std::to_string(n)), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("flight"), std::string::npos) << o.out;
    EXPECT_TRUE(std::filesystem::exists(folder + "/views.png"));
    const Outcome past = run({"--inside-at", "99999", folder + "/past.png"});
    expect_one_line_error(past);
    EXPECT_FALSE(std::filesystem::exists(folder + "/past.png"));
    std::filesystem::remove_all(folder);
}

TEST(HostProgram, PressStartPastTheShowsEndIsSaid) {
    const std::string folder = temp_folder("nyra1-cli");
    const std::string last = std::to_string(Host::built_in_timeline().refreshes);
    const Outcome o = run({"--frames", folder + "/f", "--press-start-at", "100000", "--from", last});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "nyra1: refreshes " + last + " to " + last + " of the show (--press-start-at 100000 is past "
                     "the show's end: START was never held); frames in " + folder + "/f\n");
    std::filesystem::remove_all(folder);
}

TEST(HostProgram, HelpAndVersionGoToStandardOutput) {
    auto o = run({"--help"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(o.out.rfind("Usage: nyra1", 0), 0u);
    for (const char* word : {"--frames", "--record", ".mp4", ".webm", ".gif", "--press-start-at", "--scale",
                             "--fullscreen", "--version", "--screenshot-at", "--from", "--to", "--overwrite",
                             "--quality", "symbolic link", "F11", "F12", "Alt+Enter", "Escape"})
        EXPECT_NE(o.out.find(word), std::string::npos) << word;

    o = run({"--version"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, std::string("nyra1 ") + NYRA1_VERSION + "\n");
    EXPECT_EQ(o.err, "");
}

TEST(HostProgram, BadArgumentEndsWithStatusTwoBeforeAnyWork) {
    expect_one_line_error(run({"--scale", "99"}));
    expect_one_line_error(run({"--press-start-at", "-3"}));
    expect_one_line_error(run({"--frames", "a", "--frames", "b"}));
    expect_one_line_error(run({"--record", "x.mov"}));
    expect_one_line_error(run({"--record", "x.mp4", "--frames", "y"}));
    EXPECT_EQ(DisplayController::refreshes(), 0u);
    EXPECT_FALSE(DisplayController::is_open());
}

TEST(HostProgram, UnwritableFramesFolderEndsWithStatusTwoBeforeAnyWork) {
    const std::string base = temp_folder("nyra1-cli");
    std::ofstream(base + "/plain-file") << "x";
    // A folder cannot be made below a plain file, not even by root.
    const Outcome o = run({"--frames", base + "/plain-file/frames"});
    expect_one_line_error(o);
    EXPECT_NE(o.err.find("plain-file/frames"), std::string::npos) << o.err;
    EXPECT_EQ(DisplayController::refreshes(), 0u);
    EXPECT_FALSE(DisplayController::is_open());
    const Outcome o2 = run({"--frames", base + "/plain-file"});
    expect_one_line_error(o2);
    std::filesystem::remove_all(base);
}

TEST(HostProgram, NoDisplayPointsToFramesAndRecording) {
    if (!NYRA1_WINDOW) GTEST_SKIP() << "this build has no window";
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SDL_VIDEODRIVER");
    const Outcome o = run({});
    expect_one_line_error(o);
    EXPECT_NE(o.err.find("no display"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("nyra1 --record show.mp4"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("--frames DIR"), std::string::npos) << o.err;
    EXPECT_EQ(DisplayController::refreshes(), 0u);
}

TEST(HostProgress, BarShowsCountTotalSpeedAndTimeLeft) {
    // 600 refreshes (10 s of show) in 5 s: twice real time, 5 s left for 600 more.
    const std::string line = Host::Progress::bar_line(600, 1200, 5.0, 80);
    EXPECT_EQ(line.size(), 79u) << line;
    EXPECT_NE(line.find(" 600/1200 refreshes"), std::string::npos) << line;
    EXPECT_NE(line.find("2.0x real time"), std::string::npos) << line;
    EXPECT_NE(line.find("0:05 left"), std::string::npos) << line;
    const size_t open = line.find('['), close = line.find(']');
    ASSERT_NE(open, std::string::npos);
    const std::string bar = line.substr(open + 1, close - open - 1);
    const size_t filled = std::count(bar.begin(), bar.end(), '#');
    EXPECT_EQ(filled, bar.size() / 2) << line;
    // The bar keeps its length while the count grows.
    EXPECT_EQ(Host::Progress::bar_line(7, 1200, 5.0, 80).size(), line.size());
    const std::string full = Host::Progress::bar_line(1200, 1200, 5.0, 80);
    EXPECT_EQ(full.substr(0, full.find(']')).find('.'), std::string::npos) << full;
    EXPECT_NE(full.find("0:00 left"), std::string::npos) << full;

    // Total not known yet, or passed: count and speed only.
    const std::string open_ended = Host::Progress::bar_line(300, 0, 10.0, 80);
    EXPECT_EQ(open_ended.find('['), std::string::npos) << open_ended;
    EXPECT_NE(open_ended.find("300 refreshes"), std::string::npos) << open_ended;
    EXPECT_NE(open_ended.find("0.5x real time"), std::string::npos) << open_ended;
    EXPECT_LT(Host::Progress::bar_line(300, 1200, 10.0, 30).size(), 30u);

    // No speed and no time left until a few seconds of measured work: the
    // first refreshes and ffmpeg's start say nothing of the rest.
    const std::string early = Host::Progress::bar_line(7, 1200, 0.3, 100);
    EXPECT_EQ(early.find("left"), std::string::npos) << early;
    EXPECT_EQ(early.find("real time"), std::string::npos) << early;
    EXPECT_NE(Host::Progress::bar_line(200, 1200, 2.5, 100).find("left"), std::string::npos);

    EXPECT_EQ(Host::Progress::plain_line(600, 6702, 20.0),
              "nyra1: recorded 600 of 6702 refreshes (0:10 of show) in 0:20, 0.5x real time");
    EXPECT_EQ(Host::Progress::plain_line(1200, 0, 10.0),
              "nyra1: recorded 1200 refreshes (0:20 of show) in 0:10, 2.0x real time");
}

TEST(HostShowRunner, StartRuleHoldsFromRefreshKOn) {
    const Host::StartRule never;
    EXPECT_FALSE(never.held(0));
    EXPECT_FALSE(never.held(100000));
    const Host::StartRule at_start(0);
    EXPECT_TRUE(at_start.held(0));
    EXPECT_TRUE(at_start.held(1));
    const Host::StartRule at_five(5);
    EXPECT_FALSE(at_five.held(0));
    EXPECT_FALSE(at_five.held(4));
    EXPECT_TRUE(at_five.held(5));
    EXPECT_TRUE(at_five.held(6));
    const Host::StartRule far(4000000000L);
    EXPECT_FALSE(far.held(3999999999u));
    EXPECT_TRUE(far.held(4000000000u));
}

TEST(HostShowRunner, ClosingLineSaysHowTheShowEnded) {
    using DisplayController::Ending;
    EXPECT_EQ(Host::ending_line({Ending::Completed, 6702}), "nyra1: show completed after 6702 refreshes");
    EXPECT_EQ(Host::ending_line({Ending::StoppedByStart, 7}), "nyra1: show stopped by START after 7 refreshes");
    EXPECT_EQ(Host::ending_line({Ending::StoppedByStart, 1}), "nyra1: show stopped by START after 1 refresh");
}

TEST(HostScreenshot, NamesCarryTheTimeAndACounter) {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 0;
    t.tm_mday = 5;
    t.tm_hour = 7;
    t.tm_min = 8;
    t.tm_sec = 9;
    EXPECT_EQ(Host::screenshot_name(t, 0), "nyra1-20240105-070809.png");
    EXPECT_EQ(Host::screenshot_name(t, 1), "nyra1-20240105-070809-1.png");
    EXPECT_EQ(Host::screenshot_name(t, 12), "nyra1-20240105-070809-12.png");
}

TEST(HostScreenshot, NeverReplacesAFile) {
    const std::string folder = temp_folder("nyra1-cli");
    std::tm t{};
    t.tm_year = 2030 - 1900;
    t.tm_mday = 1;
    std::vector<uint8_t> rgb(4 * 3 * 3, 0x7F);
    std::ofstream(folder + "/" + Host::screenshot_name(t, 0)) << "keep me";
    std::string error;
    const std::string first = Host::save_screenshot(folder, t, 4, 3, rgb.data(), error);
    const std::string second = Host::save_screenshot(folder, t, 4, 3, rgb.data(), error);
    EXPECT_EQ(first, folder + "/nyra1-20300101-000000-1.png");
    EXPECT_EQ(second, folder + "/nyra1-20300101-000000-2.png");
    std::ifstream kept(folder + "/" + Host::screenshot_name(t, 0));
    std::string text;
    std::getline(kept, text);
    EXPECT_EQ(text, "keep me");

    // A folder that cannot be written: no name, a reason, no endless search.
    EXPECT_EQ(Host::save_screenshot(folder + "/missing", t, 4, 3, rgb.data(), error), "");
    EXPECT_NE(error.find("cannot write"), std::string::npos);
    std::filesystem::remove_all(folder);
}

TEST(HostProgram, BenchTimesEveryStageOfTheWholeShow) {
    const Outcome o = run({"--bench"});
    EXPECT_EQ(o.status, 0) << o.err;
    for (const char* line : {"start-up ", "title ", "plasma ", "flight ", "hand-over ", "rotozoomer ", "final ",
                             "whole show ", "floor:", "real time at 60 Hz"}) {
        EXPECT_NE(o.out.find(line), std::string::npos) << line << "\n" << o.out;
    }
    EXPECT_NE(o.out.find(" " + std::to_string(Host::built_in_timeline().refreshes) + " "), std::string::npos) << o.out;
}

// The keys come from the player's one key table: --help lists them from
// it, and the manual page names every one of them in its KEYS section, so
// that a key added to the table and missing from either fails here.
TEST(HostOptions, HelpAndTheManualPageNameEveryKeyOfTheKeyTable) {
    const std::string help = Host::usage_text();
    std::ifstream man_file(std::string(NYRA1_SOURCE_DIR) + "/dist/nyra1.6.in");
    std::string man((std::istreambuf_iterator<char>(man_file)), {});
    const size_t keys = man.find(".SH KEYS"), end = man.find(".SH", keys + 1);
    ASSERT_NE(keys, std::string::npos);
    man = man.substr(keys, end - keys);
    // The words of the .B and .BR lines, without roff's quotes.
    std::set<std::string> named;
    std::istringstream lines(man);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(".B", 0) != 0) continue;
        for (size_t at = line.find(' '); at != std::string::npos;) {
            size_t from = at + 1, to;
            if (from < line.size() && line[from] == '"') {
                to = line.find('"', from + 1);
                named.insert(line.substr(from + 1, to - from - 1));
                at = line.find(' ', to);
            } else {
                to = line.find(' ', from);
                named.insert(line.substr(from, to == std::string::npos ? std::string::npos : to - from));
                at = to;
            }
        }
    }
    for (const Host::KeyHelp& k : Host::key_help()) {
        EXPECT_NE(help.find("  " + k.keys), std::string::npos) << "--help lacks " << k.keys;
        // The keys, ", " between them (a key may be the comma itself).
        for (size_t from = 0; from < k.keys.size();) {
            size_t to = k.keys.find(", ", from + 1);
            if (to == std::string::npos) to = k.keys.size();
            const std::string key = k.keys.substr(from, to - from);
            EXPECT_TRUE(named.count(key)) << "the manual page's KEYS lack " << key;
            from = to + 2;
        }
    }
}

// ---- Scripts ------------------------------------------------------------------

namespace {

const std::string kScripts = std::string(NYRA1_SOURCE_DIR) + "/tests/golden/scripts/";

std::string written(const std::string& folder, const std::string& name, const std::string& text) {
    const std::string path = folder + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// A test script's stored list: refresh n's CRC (indices, then colours) at n - 1.
std::vector<uint32_t> stored_checksums(const std::string& name) {
    std::vector<uint32_t> crcs;
    std::ifstream in(kScripts + name + ".checksum.txt");
    unsigned n;
    std::string crc;
    while (in >> n >> crc && crc != "checksum") crcs.push_back(static_cast<uint32_t>(std::stoul(crc, nullptr, 16)));
    return crcs;
}

} // namespace

TEST(HostScript, CheckPrintsTheShowOfAGoodScriptAndRefusesABadOneAtItsPlace) {
    const std::string folder = temp_folder("nyra1-cli");
    const Outcome good = run({"--check-script", kScripts + "short.nyra1"});
    ASSERT_EQ(good.status, 0) << good.err;
    EXPECT_EQ(good.err, "");
    for (const char* line : {"short.nyra1: a good script of 377 bytes\n", "the show: 3,341 refreshes, 0:55.69\n",
                             "  plasma            642      1,149  0:10.69\n",
                             "  @1    1:74            343      984  0:16.39  plasma      starts the fade-in\n",
                             "  @4    1:376         2,668    3,340  0:55.65  rotozoomer  ends the show\n"})
        EXPECT_NE(good.out.find(line), std::string::npos) << line << "\n" << good.out;

    const Outcome warned = run({"--check-script", kScripts + "no_fade_in.nyra1"});
    ASSERT_EQ(warned.status, 0) << warned.err;
    EXPECT_EQ(warned.out.rfind(kScripts + "no_fade_in.nyra1:1:137: warning: the plasma never fades in", 0), 0u)
        << warned.out;

    const std::string bad = written(folder, "bad.nyra1", std::string(40, ' ') + "HELLO\n  @1 THERE");
    const Outcome refused = run({"--check-script", bad});
    expect_one_line_error(refused);
    EXPECT_EQ(refused.err, "nyra1: " + bad + ":2:3: the plasma never ends: no @4 or @5 comes after line 2, column 3\n");
    const Outcome missing = run({"--check-script", folder + "/none.nyra1"});
    expect_one_line_error(missing);
    EXPECT_NE(missing.err.find("cannot read the script"), std::string::npos) << missing.err;
    const Outcome directory = run({"--check-script", folder});
    expect_one_line_error(directory);
    EXPECT_NE(directory.err.find("it is a folder"), std::string::npos) << directory.err;
    std::filesystem::remove_all(folder);
}

// The example of docs/script.md is what the check says of it.
TEST(HostScript, TheDocumentsExampleIsTheChecksOwn) {
    const std::string file = std::string(NYRA1_SOURCE_DIR) + "/docs/hello.nyra1";
    Outcome o = run({"--check-script", file});
    ASSERT_EQ(o.status, 0) << o.err;
    ASSERT_EQ(o.out.rfind(file, 0), 0u);
    o.out.replace(0, file.size(), "docs/hello.nyra1");
    std::ifstream in(std::string(NYRA1_SOURCE_DIR) + "/docs/script.md");
    const std::string doc{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_NE(doc.find("```\n" + o.out + "```\n"), std::string::npos) << o.out;
}

// The headless modes play the script: the frames are those of its stored
// list, START and --from past the end are known from its timeline, the
// views and the bench follow it. A refused script plays and writes nothing.
TEST(HostScript, EveryHeadlessModePlaysTheScript) {
    const std::string folder = temp_folder("nyra1-cli");
    const std::string script = kScripts + "short.nyra1";
    const std::vector<uint32_t> list = stored_checksums("short");
    ASSERT_EQ(list.size(), 3341u);

    const Outcome frames = run({"--script", script, "--frames", folder + "/f", "--from", "2580", "--to", "2600"});
    ASSERT_EQ(frames.status, 0) << frames.err;
    for (uint32_t n = 2580; n <= 2600; ++n) {
        Host::PngPicture png;
        std::string error;
        char name[16];
        std::snprintf(name, sizeof name, "/%05u.png", n);
        ASSERT_TRUE(Host::read_png(folder + "/f" + name, png, error)) << error;
        EXPECT_EQ(refresh_crc(png.pixels.data(), png.palette.data()), list[n - 1]) << n;
    }

    const Outcome held = run({"--script", script, "--frames", folder + "/s", "--press-start-at", "1000"});
    ASSERT_EQ(held.status, 0) << held.err;
    EXPECT_EQ(held.out.rfind("nyra1: show stopped by START after 1001 refreshes", 0), 0u) << held.out;
    const Outcome past = run({"--script", script, "--frames", folder + "/p", "--from", "3342"});
    expect_one_line_error(past);
    EXPECT_NE(past.err.find("which has 3341 refreshes; nothing written"), std::string::npos) << past.err;

    const Outcome views = run({"--script", script, "--inside-at", "3342", folder + "/v.png"});
    expect_one_line_error(views);
    EXPECT_NE(views.err.find("--inside-at must be a refresh from 1 to 3341, not 3342"), std::string::npos) << views.err;
    EXPECT_FALSE(std::filesystem::exists(folder + "/v.png"));
    const Outcome bench = run({"--script", script, "--bench"});
    ASSERT_EQ(bench.status, 0) << bench.err;
    EXPECT_NE(bench.out.find("whole show        3341 "), std::string::npos) << bench.out;

    const std::string bad = written(folder, "bad.nyra1", "HELLO @9");
    const Outcome refused = run({"--script", bad, "--frames", folder + "/r"});
    expect_one_line_error(refused);
    EXPECT_EQ(refused.err.rfind("nyra1: " + bad + ":1:7: '@' followed by '9' is not a code", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(folder + "/r"));

    // Warnings go to the error stream, and the show plays.
    const Outcome warned = run({"--script", kScripts + "no_fade_in.nyra1", "--frames", folder + "/w", "--to", "2"});
    ASSERT_EQ(warned.status, 0) << warned.err;
    EXPECT_EQ(warned.err.rfind("nyra1: " + kScripts + "no_fade_in.nyra1:1:137: warning: ", 0), 0u) << warned.err;
    std::filesystem::remove_all(folder);
}

// The handheld program with a script in its slot, made from the build's own;
// a refused script, or a target that cannot be, leaves nothing behind.
TEST(HostScript, ExportPutsTheScriptIntoTheHandheldProgram) {
    const std::string built = std::string(NYRA1_BINARY_DIR) + "/gp2x/nyra1.gpe";
    if (!std::filesystem::exists(built)) GTEST_SKIP() << "this build has no handheld program (no cross compiler)";
    const std::string folder = temp_folder("nyra1-cli");
    const std::string script = kScripts + "short.nyra1";
    const Outcome o = run({"--script", script, "--export-gpe", folder + "/short.gpe"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "nyra1: the handheld program with the script " + script + " in " + folder +
                         "/short.gpe (" + std::to_string(std::filesystem::file_size(built)) + " bytes, made from " +
                         built + ")\n");
    std::ifstream in(folder + "/short.gpe", std::ios::binary);
    const std::vector<uint8_t> program{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::string reason;
    std::ifstream text_in(script, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(text_in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(Host::script_of(program, reason), text) << reason;
    EXPECT_NE(std::filesystem::status(folder + "/short.gpe").permissions() & std::filesystem::perms::owner_exec,
              std::filesystem::perms::none);

    // Without --script: the built-in one, the very program the build made.
    ASSERT_EQ(run({"--export-gpe", folder + "/built_in.gpe"}).status, 0);
    std::ifstream a(built, std::ios::binary), b(folder + "/built_in.gpe", std::ios::binary);
    EXPECT_TRUE(std::equal(std::istreambuf_iterator<char>(a), std::istreambuf_iterator<char>(),
                           std::istreambuf_iterator<char>(b), std::istreambuf_iterator<char>()));

    const std::string bad = written(folder, "bad.nyra1", "NEVER ENDS");
    expect_one_line_error(run({"--script", bad, "--export-gpe", folder + "/bad.gpe"}));
    std::filesystem::create_directory(folder + "/dir.gpe");
    expect_one_line_error(run({"--script", script, "--export-gpe", folder + "/dir.gpe"}));
    expect_one_line_error(run({"--script", script, "--export-gpe", folder + "/no/such/folder.gpe"}));
    EXPECT_EQ(names_in(folder), (std::set<std::string>{"bad.nyra1", "built_in.gpe", "dir.gpe", "short.gpe"}));
    std::filesystem::remove_all(folder);
}
