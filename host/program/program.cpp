#include "host/program/program.h"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <sstream>

#include "host/program/bench_mode.h"
#include "host/program/frames_frontend.h"
#include "host/program/inside_png.h"
#include "host/program/progress.h"
#include "host/program/record_frontend.h"
#include "host/program/options.h"
#include "host/program/script_file.h"
#include "host/viewer/show_runner.h"
#include "host/viewer/viewer.h"
#if NYRA1_WINDOW
#include "host/window/window_frontend.h"
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

// Said after the closing words when --press-start-at named a refresh the
// show never reached.
std::string start_note(const Options& o, const ShowResult& result) {
    if (o.press_start_at < 0 || result.ending != DisplayController::Ending::Completed) return "";
    return " (--press-start-at " + std::to_string(o.press_start_at) +
           " is past the show's end: START was never held)";
}

// The closing words of a capture: the whole run, or the refreshes in range.
std::string capture_line(const Options& o, const ShowResult& result, const CaptureRange& capture) {
    if (!o.range.given) return ending_line(result) + start_note(o, result);
    std::string line = "nyra1: refreshes " + std::to_string(capture.first_written()) + " to " +
                       std::to_string(capture.last_written()) + " of the show";
    if (!o.to_text.empty() && capture.last_written() < o.range.last)
        line += " (it " + std::string(result.ending == DisplayController::Ending::StoppedByStart
                                          ? "was stopped by START"
                                          : "ended") +
                " after " + std::to_string(result.refreshes) + ", before --to " + o.to_text + ")";
    return line + start_note(o, result);
}

std::string frames_held(const Options& o, const FramesFrontend& frames) {
    const CaptureRange& c = frames.capture();
    if (c.written() == 0) return "no frame written";
    return o.output + " holds the " + std::to_string(c.written()) + " complete frames " +
           FramesFrontend::frame_name(c.first_written()) + " to " + FramesFrontend::frame_name(c.last_written());
}

// A range that starts after the show's last refresh: known from the show's
// timeline before anything is played or written.
bool range_past_the_end(const Options& o, std::FILE* err, int& status) {
    const Timeline& t = script_in_use().timeline();
    const uint32_t length = t.refreshes_with_start_at(o.press_start_at);
    if (!o.range.given || o.range.first <= length) return false;
    const std::string start =
        length < t.refreshes ? " with START held from refresh " + std::to_string(o.press_start_at) : "";
    status = fail(err, "--from " + o.from_text + " is past the end of the show" + start + ", which has " +
                           std::to_string(length) + " refreshes; nothing written");
    return true;
}

int run_frames(const Options& o, std::FILE* out, std::FILE* err) {
    int status = 0;
    if (range_past_the_end(o, err, status)) return status;
    FramesFrontend frames(o.output, o.press_start_at, o.range, o.overwrite);
    std::string error;
    if (!frames.prepare(error)) return fail(err, error);
    InterruptGuard guard;
    writing_frames = &frames;
    const ShowResult result = play_show(frames);
    frames.finish();
    if (frames.failed()) return fail(err, frames.error() + "; " + frames_held(o, frames));
    if (frames.interrupted()) return fail(err, "interrupted; " + frames_held(o, frames));
    // A range past the show's end is refused before the play, from the timeline.
    if (frames.written() == 0) return fail(err, "no refresh was in range; nothing written");
    std::string line = capture_line(o, result, frames.capture()) + "; frames in " + o.output;
    if (o.overwrite)
        line += ", replacing " + std::to_string(frames.replaced()) + " files of the same name and leaving " +
                std::to_string(frames.others_kept()) + " other entries as they were";
    say(out, line);
    return kExitOk;
}

std::string duration_text(uint32_t frames, int rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%u:%04.1f", frames / rate / 60, (frames % (60u * rate)) / double(rate));
    return text;
}

int run_record(const Options& o, std::FILE* out, std::FILE* err) {
    int status = 0;
    if (range_past_the_end(o, err, status)) return status;
    RecordFrontend record(o.output, o.scale, o.press_start_at, o.range, o.quality);
    std::string error;
    if (!record.prepare(error)) return fail(err, error);

    // The bar's total: the show's length is known from its timeline.
    const bool terminal = isatty(fileno(err)) == 1;
    Progress progress(err, terminal);
    if (!record.start(error)) return fail(err, error);
    const uint32_t length = script_in_use().timeline().refreshes_with_start_at(o.press_start_at);
    record.show_progress(&progress, o.range.first, std::min(o.range.last, length));

    // An interruption leaves no video behind.
    InterruptGuard guard;
    recording = &record;
    const auto started = std::chrono::steady_clock::now();
    const ShowResult result = play_show(record);
    const bool ok = record.finish(error);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    if (!ok) return fail(err, error);

    const int rate = video_frame_rate(record.format());
    char speed[64];
    std::snprintf(speed, sizeof speed, ", made in %.1f s", seconds);
    const std::string where =
        record.target_file() == o.output ? o.output : record.target_file() + " (through the link " + o.output + ")";
    say(out, capture_line(o, result, record.capture()) + "; video in " + where + " (" +
                 duration_text(record.frames(), rate) + " at " + std::to_string(rate) + " fps" + speed + ")");
    return kExitOk;
}

// The views of one refresh, headless, as one PNG.
int run_inside(const Options& o, std::FILE* out, std::FILE* err) {
    std::string error;
    if (!Inside::write_views_png(o.inside_at, o.output, error)) return fail(err, error);
    std::string views;
    // The final refresh shows the last stage's picture.
    const Timeline& t = script_in_use().timeline();
    Show::Stage stage = t.chapter_at(o.inside_at).stage;
    if (stage == Show::Stage::Ended) stage = t.chapter_at(o.inside_at - 1).stage;
    for (Inside::Kind k : Inside::views_for(stage))
        views += std::string(views.empty() ? "" : ", ") + Inside::name(k);
    say(out, "nyra1: refresh " + std::to_string(o.inside_at) + " of the show and its views (" + views + ") in " + o.output);
    return kExitOk;
}

#if NYRA1_WINDOW
int run_window(const Options& o, std::FILE* out, std::FILE* err) {
    WindowFrontend window({o.scale, o.fullscreen, o.press_start_at, o.screenshot_at, o.timing, out, err});
    std::string error;
    if (!window.open(error)) return fail(err, error);
    const ShowResult result = window.run();
    say(out, ending_line(result) + start_note(o, result));
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
    if (o.mode == Mode::CheckScript) return run_check_script(o.script, out, err);
    // A script is read once, whole, and checked before anything is played,
    // written or exported; from then on every play uses it.
    if (o.script.empty()) {
        use_script(Script::built_in());
    } else if (o.mode != Mode::Help && o.mode != Mode::Version) {
        const std::optional<Script> script = load_script(o.script, err);
        if (!script) return kExitFailure;
        use_script(*script);
    }
    switch (o.mode) {
    case Mode::CheckScript:
        break;
    case Mode::ExportGpe:
        return run_export_gpe(o.output, o.script, out, err);
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
    case Mode::Inside:
        return run_inside(o, out, err);
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
