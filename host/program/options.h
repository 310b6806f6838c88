// The command line of the PC program.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "host/output/video_frames.h"
#include "host/viewer/show_runner.h"
#include "host/viewer/timeline.h"

namespace Host {

enum class Mode { Window, Frames, Record, Bench, Inside, CheckScript, ExportGpe, Help, Version };

struct Options {
    Mode mode = Mode::Window;
    std::string output;       // the folder for --frames, the file for --record, --inside-at and --export-gpe
    std::string script;       // --script, or --check-script's file: empty for the built-in script
    uint32_t inside_at = 0;   // --inside-at: the refresh whose views are written
    long press_start_at = -1; // -1: START is never held by the program itself
    int scale = 3;            // pixels per show pixel: 3 in the window, 2 in a video
    bool fullscreen = false;
    long screenshot_at = -1;  // save the window as shown at this refresh
    bool overwrite = false;   // --frames may replace files of the names it writes
    RefreshRange range;
    std::string from_text, to_text; // as given, for messages
    Quality quality = Quality::Good;
    int rounds = 1;           // --bench: plays of the whole show
    bool timing = false;      // window: how evenly the refreshes came, at the end
};

struct ParsedOptions {
    Options options;
    std::string error; // one line, without the program name; empty when fine
    bool ok() const { return error.empty(); }
};

inline constexpr int kMinScale = 1;
inline constexpr int kMaxScale = 16;
inline constexpr int kWindowScale = 3;
inline constexpr int kRecordScale = 2;
inline constexpr int kMaxRounds = 100;

// Every option the parser knows, as written on the command line.
const std::vector<std::string>& option_names();

// Reads the arguments that follow the program name. Never throws.
ParsedOptions parse_options(const std::vector<std::string>& args);

std::string usage_text();
std::string version_text();

} // namespace Host
