#include "host/program.h"

#include "host/frames_frontend.h"
#include "host/options.h"
#include "host/show_runner.h"
#include "host/window_frontend.h"

namespace Host {

namespace {

int fail(std::FILE* err, const std::string& message) {
    std::fprintf(err, "nyra1: %s\n", message.c_str());
    std::fflush(err);
    return kExitFailure;
}

void say(std::FILE* out, const std::string& line) {
    std::fprintf(out, "%s\n", line.c_str());
    std::fflush(out);
}

int run_frames(const Options& o, std::FILE* out, std::FILE* err) {
    FramesFrontend frames(o.output, o.press_start_at);
    std::string error;
    if (!frames.prepare(error)) return fail(err, error);
    const ShowResult result = play_show(frames);
    if (frames.failed()) return fail(err, frames.error());
    say(out, ending_line(result) + "; frames in " + o.output);
    return kExitOk;
}

int run_window(const Options& o, std::FILE* out, std::FILE* err) {
    WindowFrontend window({o.scale, o.fullscreen, o.press_start_at, o.screenshot_at});
    std::string error;
    if (!window.open(error)) return fail(err, error);
    const ShowResult result = play_show(window);
    say(out, ending_line(result));
    return kExitOk;
}

} // namespace

int run_program(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    const ParsedOptions parsed = parse_options(args);
    if (!parsed.ok()) return fail(err, parsed.error);
    const Options& o = parsed.options;
    switch (o.mode) {
    case Mode::Help:
        std::fputs(usage_text().c_str(), out);
        return kExitOk;
    case Mode::Version:
        std::fputs(version_text().c_str(), out);
        return kExitOk;
    case Mode::Frames:
        return run_frames(o, out, err);
    case Mode::Window:
        break;
    }
    return run_window(o, out, err);
}

} // namespace Host
