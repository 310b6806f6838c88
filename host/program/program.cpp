#include "host/program/program.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <sstream>

#include "host/output/output_file.h"
#include "host/output/shown_name.h"
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
    std::fprintf(err, "nyra1: %s\n", one_line(message).c_str());
    std::fflush(err);
    return kExitFailure;
}

// The first failed write to the standard output (its errno), said once the
// mode is done: output that is lost is a failure like any other.
int output_error = 0;

void note_output_error(int error) {
    if (output_error == 0) output_error = error ? error : EIO;
}

void check_output(std::FILE* out) {
    errno = 0;
    if (std::fflush(out) != 0 || std::ferror(out)) note_output_error(errno);
}

// A text longer than the stream's buffer is written, and fails, within
// fputs itself: its errno is the one to tell.
void put(std::FILE* out, const std::string& text) {
    errno = 0;
    if (std::fputs(text.c_str(), out) == EOF) note_output_error(errno);
    check_output(out);
}

void say(std::FILE* out, const std::string& line) { put(out, one_line(line) + "\n"); }

// "1 file", "2 files".
std::string count(size_t n, const char* one, const char* many) { return std::to_string(n) + " " + (n == 1 ? one : many); }

// The headless run under way, for the signal handler.
volatile std::sig_atomic_t interruption = 0;
RecordFrontend* recording;
FramesFrontend* writing_frames;

extern "C" void on_interrupt(int) {
    interruption = 1;
    if (recording) recording->interrupt();
    if (writing_frames) writing_frames->interrupt();
}

// Ctrl+C or a termination ends the show at its next poll; the run then
// says what is left. Set up before the first file or folder is made, so
// that no signal ends the program between making a file and cleaning up.
class InterruptGuard {
public:
    explicit InterruptGuard(RecordFrontend* record = nullptr, FramesFrontend* frames = nullptr) {
        interruption = 0;
        recording = record;
        writing_frames = frames;
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
    bool interrupted() const { return interruption != 0; }

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
    const std::string held = shown_name(o.output) + " holds the ";
    if (c.written() == 1) return held + "1 complete frame " + FramesFrontend::frame_name(c.first_written());
    return held + std::to_string(c.written()) + " complete frames " + FramesFrontend::frame_name(c.first_written()) +
           " to " + FramesFrontend::frame_name(c.last_written());
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
    InterruptGuard guard(nullptr, &frames);
    std::string error;
    if (!frames.prepare(error)) return fail(err, error);
    const ShowResult result = play_show(frames);
    frames.finish();
    if (frames.failed()) return fail(err, frames.error() + "; " + frames_held(o, frames));
    if (frames.interrupted()) return fail(err, "interrupted; " + frames_held(o, frames));
    // A range past the show's end is refused before the play, from the timeline.
    if (frames.written() == 0) return fail(err, "no refresh was in range; nothing written");
    std::string line = capture_line(o, result, frames.capture()) + "; frames in " + shown_name(o.output);
    if (o.overwrite) {
        const size_t others = frames.others_kept();
        line += ", replacing " + count(frames.replaced(), "file", "files") + " of the same name and leaving " +
                count(others, "other entry", "other entries") + (others == 1 ? " as it was" : " as they were");
    }
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
    // An interruption leaves no video behind, from before the file is made.
    InterruptGuard guard(&record);
    const std::string interrupted = "recording interrupted; no video written";
    std::string error;
    if (!record.prepare(error)) return fail(err, guard.interrupted() ? interrupted : error);
    if (guard.interrupted()) return fail(err, interrupted);

    // The bar's total: the show's length is known from its timeline.
    const bool terminal = isatty(fileno(err)) == 1;
    Progress progress(err, terminal);
    if (!record.start(error)) return fail(err, guard.interrupted() ? interrupted : error);
    const uint32_t length = script_in_use().timeline().refreshes_with_start_at(o.press_start_at);
    record.show_progress(&progress, o.range.first, std::min(o.range.last, length));

    const auto started = std::chrono::steady_clock::now();
    const ShowResult result = play_show(record);
    const bool ok = record.finish(error);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    if (!ok) return fail(err, error);

    const int rate = video_frame_rate(record.format());
    char speed[64];
    std::snprintf(speed, sizeof speed, ", made in %.1f s", seconds);
    const OutputFile& video = record.output();
    const std::string where = video.target() == o.output
                                  ? shown_name(o.output)
                                  : shown_name(video.target()) + " (through the link " + shown_name(o.output) + ")";
    say(out, capture_line(o, result, record.capture()) + "; video in " + where + " (" +
                 duration_text(record.frames(), rate) + " at " + std::to_string(rate) + " fps" + speed + ")");
    return kExitOk;
}

// The views of one refresh, headless, as one PNG. The file is checked and
// made first, so that a pipe or a device is refused before the work.
int run_inside(const Options& o, std::FILE* out, std::FILE* err) {
    InterruptGuard guard;
    OutputFile file(o.output);
    std::string error;
    Inside::Image image;
    if (!file.open(error) || !Inside::views_picture_at(o.inside_at, image, error) ||
        !Inside::encode_views_png(file, image, error))
        return fail(err, error);
    if (guard.interrupted()) return fail(err, "interrupted; nothing written");
    if (!file.commit(error)) return fail(err, error);
    std::string views;
    // The final refresh shows the last stage's picture.
    const Timeline& t = script_in_use().timeline();
    Show::Stage stage = t.chapter_at(o.inside_at).stage;
    if (stage == Show::Stage::Ended) stage = t.chapter_at(o.inside_at - 1).stage;
    for (Inside::Kind k : Inside::views_for(stage))
        views += std::string(views.empty() ? "" : ", ") + Inside::name(k);
    say(out, "nyra1: refresh " + std::to_string(o.inside_at) + " of the show and its views (" + views + ") in " +
                 shown_name(o.output));
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

int run_mode(const Options& o, std::FILE* out, std::FILE* err) {
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
    // A refresh to look at lies in the show, which only its script knows.
    const uint32_t last = script_in_use().timeline().refreshes;
    const auto beyond = [&](const char* option, long refresh) {
        return fail(err, std::string(option) + " must be a refresh from 1 to " + std::to_string(last) + ", not " +
                             std::to_string(refresh));
    };
    if (o.mode == Mode::Inside && o.inside_at > last) return beyond("--inside-at", o.inside_at);
    if (o.mode == Mode::Window && o.screenshot_at > static_cast<long>(last))
        return beyond("--screenshot-at", o.screenshot_at);
    switch (o.mode) {
    case Mode::CheckScript:
        break;
    case Mode::ExportGpe:
        return run_export_gpe(o.output, o.script, out, err);
    case Mode::Help:
        put(out, usage_text());
        return kExitOk;
    case Mode::Version:
        put(out, version_text());
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
        put(out, report.str());
        return status == 0 ? kExitOk : kExitFailure;
    }
    case Mode::Window:
        break;
    }
    return run_window(o, out, err);
}

} // namespace

int run_program(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    const ParsedOptions parsed = parse_options(args);
    if (!parsed.ok()) return fail(err, parsed.error);
    output_error = 0;
    const int status = run_mode(parsed.options, out, err);
    // `nyra1 --help >/dev/full`: what did not reach the output is said.
    check_output(out);
    if (output_error != 0)
        return fail(err, std::string("cannot write the standard output: ") + std::strerror(output_error));
    return status;
}

} // namespace Host
