#include "host/program/bench_mode.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <ostream>

#include "host/state/crc32.h"
#include "host/viewer/save_state.h"
#include "platform/display.h"
#include "platform/host/display_controller.h"
#include "show/show.h"

namespace Host {

namespace {

double read_clock(clockid_t clock) {
    timespec t;
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Processor time of this thread: the show is single-threaded, and a busy
// machine slows it far less than it slows wall-clock time. Reading it is a
// system call of about a microsecond, too dear for every refresh; so the
// refreshes are stamped with the monotonic clock (a few nanoseconds), and the
// stages' shares of that are scaled to the run's processor time.
double processor_time() { return read_clock(CLOCK_THREAD_CPUTIME_ID); }
double now() { return read_clock(CLOCK_MONOTONIC); }

constexpr int kStages = kStageCount;
constexpr double kSpeedGoal = 400.0;

double since(double start) { return now() - start; }

// Counts refreshes by the stage the show is in when each is handed over,
// never holds START, and notes when each stage was last seen: at its last
// refresh or poll (the start-up's is the poll after the terrain build).
class BenchFrontend : public DisplayController::Frontend {
public:
    explicit BenchFrontend(double start) : start_(start) {}

    void refresh(const DisplayController::Refresh&) override {
        ++report.stages[seen()].refreshes;
        ++report.refreshes;
    }

    bool start_held() override {
        seen();
        return false;
    }

    BenchReport report;
    double last_seen[kStageCount] = {};

private:
    int seen() {
        const int s = static_cast<int>(Show::stage());
        last_seen[s] = since(start_);
        return s;
    }

    double start_;
};

// The floor of every refresh: the least a frame can cost, one clear and one
// full copy, in processor time. Best of several batches, so that a stray
// interruption does not count.
double measure_floor() {
    constexpr int kBatches = 7;
    constexpr int kRounds = 300;
    double best = 1e9;
    for (int b = 0; b < kBatches; ++b) {
        const double start = processor_time();
        for (int i = 0; i < kRounds; ++i) {
            Display::clear_canvas();
            Display::copy_canvas(Display::kHeight);
        }
        best = std::min(best, (processor_time() - start) / kRounds);
    }
    return best;
}

void line(std::ostream& out, const char* name, uint32_t refreshes, double seconds, double floor) {
    char text[160];
    const double per = refreshes ? seconds / refreshes : 0;
    if (refreshes) {
        std::snprintf(text, sizeof text, "%-12s %9u %11.2f %13.2f %10.1f\n", name, refreshes,
                      seconds * 1e3, per * 1e6, floor > 0 ? per / floor : 0.0);
    } else {
        std::snprintf(text, sizeof text, "%-12s %9u %11.2f %13s %10s\n", name, refreshes,
                      seconds * 1e3, "-", "-");
    }
    out << text;
}

} // namespace

BenchReport measure_show() {
    restart_show();
    const double processor_start = processor_time();
    const double start = now();
    BenchFrontend frontend(start);
    DisplayController::attach(&frontend);
    Show::run(nullptr);
    DisplayController::attach(nullptr);
    const double end = since(start);
    const double processor = processor_time() - processor_start;

    // Each stage's share of the run, from the end of the one before to its
    // own last sighting (the final refresh's ends the run), in processor time.
    BenchReport report = frontend.report;
    const double scale = end > 0 ? processor / end : 1.0;
    double previous = 0;
    for (int s = 0; s < kStages; ++s) {
        if (!report.stages[s].refreshes) continue;
        const double until = s == kStages - 1 ? end : std::max(frontend.last_seen[s], previous);
        report.stages[s].seconds = (until - previous) * scale;
        previous = until;
    }
    report.seconds = processor;
    report.completed = DisplayController::ending() == DisplayController::Ending::Completed;
    const std::vector<uint8_t> state = save_state();
    report.end_state_crc = Crc32::of(state.data(), state.size());
    report.floor_seconds = measure_floor();
    return report;
}

void print_report(const BenchReport& r, std::ostream& out) {
    const double floor = r.floor_seconds;
    char text[200];
    out << "nyra1 --bench: the whole show, headless, in virtual time, without output;\n"
           "times are processor time of the one thread that plays it\n";
    out << "stage        refreshes    total ms   us/refresh   x floor\n";
    for (int s = 0; s < kStages; ++s) {
        line(out, stage_name(static_cast<Stage>(s)), r.stages[s].refreshes, r.stages[s].seconds,
             floor);
    }
    line(out, "whole show", r.refreshes, r.seconds, floor);
    std::snprintf(text, sizeof text,
                  "floor: one clear_canvas + one copy_canvas(240) = %.2f us per refresh\n",
                  floor * 1e6);
    out << text;
    const double speed = r.seconds > 0 ? r.refreshes / double(Display::kRefreshRate) / r.seconds : 0;
    std::snprintf(text, sizeof text,
                  "speed: %.0fx real time at 60 Hz (%.1f s of show in %.3f s; goal %.0fx)%s\n",
                  speed, r.refreshes / double(Display::kRefreshRate), r.seconds, kSpeedGoal,
                  r.completed ? "" : "; the show did not play to its end");
    out << text;
}

int run_bench(std::ostream& out, int rounds) {
    std::vector<BenchReport> reports;
    for (int i = 0; i < rounds; ++i) reports.push_back(measure_show());
    std::vector<size_t> order(reports.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return reports[a].seconds < reports[b].seconds; });
    const BenchReport& median = reports[order[order.size() / 2]];

    print_report(median, out);
    bool ok = true;
    for (const BenchReport& r : reports) ok = ok && r.completed && r.end_state_crc == reports[0].end_state_crc;
    if (rounds > 1) {
        char text[160];
        out << "round   whole show ms   x real time   end state\n";
        for (size_t i = 0; i < reports.size(); ++i) {
            const BenchReport& r = reports[i];
            std::snprintf(text, sizeof text, "%5zu %15.2f %13.0f   %08x%s\n", i + 1, r.seconds * 1e3,
                          r.seconds > 0 ? r.refreshes / double(Display::kRefreshRate) / r.seconds : 0.0, r.end_state_crc,
                          &r == &median ? "   (median, above)" : "");
            out << text;
        }
        out << (ok ? "every round played the same show\n" : "THE ROUNDS DIFFER\n");
    }
    return ok ? 0 : 1;
}

} // namespace Host
