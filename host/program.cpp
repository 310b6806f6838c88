#include "host/program.h"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <sstream>

#include "host/bench_mode.h"
#include "host/frames_frontend.h"
#include "host/progress.h"
#include "host/record_frontend.h"
#include "host/options.h"
#include "host/show_runner.h"
#if NYRA1_WINDOW
#include "host/window_frontend.h"
#endif

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

// The headless run under way, for the signal handler.
RecordFrontend* recording;
FramesFrontend* writing_frames;

extern "C" void on_interrupt(int) {
    if (recording) recording->interrupt();
    if (writing_frames) writing_frames->interrupt();
}

// Ctrl+C or a termination ends the show at its next poll; the run then
// says what is left.
class InterruptGuard {
public:
    InterruptGuard() {
        struct sigaction action = {};
        action.sa_handler = on_interrupt;
        sigaction(SIGINT, &action, &old_int_);
        sigaction(SIGTERM, &action, &old_term_);
    }
    ~InterruptGuard() {
        sigaction(SIGINT, &old_int_, nullptr);
        sigaction(SIGTERM, &old_term_, nullptr);
        recording = nullptr;
        writing_frames = nullptr;
    }

private:
    struct sigaction old_int_, old_term_;
};

int run_frames(const Options& o, std::FILE* out, std::FILE* err) {
    FramesFrontend frames(o.output, o.press_start_at);
    std::string error;
    if (!frames.prepare(error)) return fail(err, error);
    InterruptGuard guard;
    writing_frames = &frames;
    const ShowResult result = play_show(frames);
    if (frames.failed()) return fail(err, frames.error());
    if (frames.interrupted())
        return fail(err, "interrupted; " + o.output + " holds only the first " + std::to_string(frames.written()) +
                             " frames");
    say(out, ending_line(result) + "; frames in " + o.output);
    return kExitOk;
}

std::string duration_text(uint32_t frames, int rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%u:%04.1f", frames / rate / 60, (frames % (60u * rate)) / double(rate));
    return text;
}

int run_record(const Options& o, std::FILE* out, std::FILE* err) {
    RecordFrontend record(o.output, o.scale, o.press_start_at);
    std::string error;
    if (!record.prepare(error)) return fail(err, error);

    // The total for the bar comes from a quick count run of its own; it
    // must fork before ffmpeg holds a pipe of ours.
    const bool terminal = isatty(fileno(err)) == 1;
    Progress progress(err, terminal);
    RefreshCounter counter;
    if (terminal) counter.start(o.press_start_at);
    if (!record.start(error)) return fail(err, error);
    record.show_progress(&progress, terminal ? &counter : nullptr);

    // An interruption leaves no video behind.
    InterruptGuard guard;
    recording = &record;
    const auto started = std::chrono::steady_clock::now();
    const ShowResult result = play_show(record);
    const bool ok = record.finish(error);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    counter.stop();
    if (!ok) return fail(err, error);

    const int rate = video_frame_rate(record.format());
    char speed[64];
    std::snprintf(speed, sizeof speed, ", made in %.1f s", seconds);
    say(out, ending_line(result) + "; video in " + o.output + " (" + duration_text(record.frames(), rate) +
                 " at " + std::to_string(rate) + " fps" + speed + ")");
    return kExitOk;
}

#if NYRA1_WINDOW
int run_window(const Options& o, std::FILE* out, std::FILE* err) {
    WindowFrontend window({o.scale, o.fullscreen, o.press_start_at, o.screenshot_at, o.timing});
    std::string error;
    if (!window.open(error)) return fail(err, error);
    const ShowResult result = window.run();
    say(out, ending_line(result));
    return kExitOk;
}
#else
int run_window(const Options&, std::FILE*, std::FILE* err) {
    return fail(err, "this nyra1 is built without the window (no SDL2): use --frames DIR, "
                     "--record FILE or --bench");
}
#endif

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
    case Mode::Record:
        return run_record(o, out, err);
    case Mode::Bench: {
        std::ostringstream report;
        const int status = run_bench(report, o.rounds);
        std::fputs(report.str().c_str(), out);
        return status == 0 ? kExitOk : kExitFailure;
    }
    case Mode::Window:
        break;
    }
    return run_window(o, out, err);
}

} // namespace Host
