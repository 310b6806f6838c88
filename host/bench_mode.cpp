#include "host/bench_mode.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <ostream>

#include <zlib.h>

#include "effects/rotozoomer.h"
#include "host/snapshot.h"
#include "effects/voxel_flight.h"
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
constexpr double kRefreshRate = 60.0;
constexpr double kSpeedGoal = 400.0;

double since(double start) { return now() - start; }

// Counts refreshes and START polls, never holds START, and notes at every
// refresh what tells the stages apart: the voxel camera moves on every frame
// of the flight and nowhere else, the rotozoomer's time counter on every
// frame of the rotozoomer and nowhere else.
class BenchFrontend : public DisplayController::Frontend {
public:
    explicit BenchFrontend(double start) : start_(start) {
        notes.reserve(8192);
        course_ = VoxelFlight::course();
        time_ = Rotozoomer::time();
    }

    void refresh(const DisplayController::Refresh&) override {
        const VoxelFlight::Course c = VoxelFlight::course();
        const bool moved = c.x != course_.x || c.y != course_.y || c.heading != course_.heading;
        const bool ticked = Rotozoomer::time() != time_;
        course_ = c;
        time_ = Rotozoomer::time();
        notes.push_back({since(start_), polls_, moved, ticked});
        polls_ = 0;
    }

    bool start_held() override {
        if (!polled_) {
            polled_ = true;
            start_up_seconds = since(start_);
            start_up_refreshes = static_cast<uint32_t>(notes.size());
        }
        ++polls_;
        return false;
    }

    std::vector<RefreshNote> notes;
    double start_up_seconds = 0;
    uint32_t start_up_refreshes = 0;

private:
    double start_;
    VoxelFlight::Course course_;
    int32_t time_;
    uint32_t polls_ = 0;
    bool polled_ = false;
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

void classify(const std::vector<RefreshNote>& notes, uint32_t start_up_refreshes,
              double start_up_seconds, double end_seconds, BenchReport& report) {
    const uint32_t n = static_cast<uint32_t>(notes.size());
    uint32_t first_flight = 0;
    uint32_t last_flight = 0;
    uint32_t first_tick = 0;
    for (uint32_t i = 1; i <= n; ++i) {
        const RefreshNote& note = notes[i - 1];
        if (note.course_moved) {
            if (!first_flight) first_flight = i;
            last_flight = i;
        }
        if (note.rotozoomer_ticked && !first_tick) first_tick = i;
    }
    const uint32_t flight_start = first_flight ? first_flight : n + 1;
    // The title's fades and set-up frames do not poll START; the plasma polls
    // after every frame. Its first refresh is the last one before the flight
    // that no poll preceded.
    uint32_t plasma_first = 0;
    for (uint32_t i = start_up_refreshes + 1; i < flight_start && i <= n; ++i) {
        if (notes[i - 1].polls_before == 0) plasma_first = i;
    }

    // Last refresh of each stage. The rotozoomer's initialisation presents one
    // refresh before its time counter first moves.
    uint32_t last[kStages];
    last[0] = start_up_refreshes;
    last[1] = (plasma_first ? plasma_first : flight_start) - 1;
    last[2] = flight_start - 1;
    last[3] = first_flight ? last_flight : flight_start - 1;
    last[4] = first_tick >= 2 ? first_tick - 2 : n;
    last[5] = n;

    uint32_t previous = 0;
    double previous_end = 0;
    for (int s = 0; s < kStages; ++s) {
        last[s] = std::clamp(last[s], previous, n);
        double end = s == 0 ? start_up_seconds
                     : s == kStages - 1 ? end_seconds
                     : last[s] > 0 ? notes[last[s] - 1].seconds
                                   : previous_end;
        end = std::max(end, previous_end);
        report.stages[s].refreshes = last[s] - previous;
        report.stages[s].seconds = end - previous_end;
        report.first_refresh[s] = last[s] > previous ? previous + 1 : 0;
        previous = last[s];
        previous_end = end;
    }
    report.refreshes = n;
    report.seconds = end_seconds;
}

BenchReport measure_show() {
    BenchReport report;
    restart_show();
    const double processor_start = processor_time();
    const double start = now();
    BenchFrontend frontend(start);
    DisplayController::attach(&frontend);
    Show::run(nullptr);
    DisplayController::attach(nullptr);
    const double end = since(start);
    const double processor = processor_time() - processor_start;

    classify(frontend.notes, frontend.start_up_refreshes, frontend.start_up_seconds, end, report);
    const double scale = end > 0 ? processor / end : 1.0;
    for (StageTiming& stage : report.stages) stage.seconds *= scale;
    report.seconds = processor;
    report.completed = DisplayController::ending() == DisplayController::Ending::Completed;
    const std::vector<uint8_t> state = Snapshot::take().bytes();
    report.end_state_crc = static_cast<uint32_t>(crc32(0, state.data(), static_cast<uInt>(state.size())));
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
    const double speed = r.seconds > 0 ? r.refreshes / kRefreshRate / r.seconds : 0;
    std::snprintf(text, sizeof text,
                  "speed: %.0fx real time at 60 Hz (%.1f s of show in %.3f s; goal %.0fx)%s\n",
                  speed, r.refreshes / kRefreshRate, r.seconds, kSpeedGoal,
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
                          r.seconds > 0 ? r.refreshes / kRefreshRate / r.seconds : 0.0, r.end_state_crc,
                          &r == &median ? "   (median, above)" : "");
            out << text;
        }
        out << (ok ? "every round played the same show\n" : "THE ROUNDS DIFFER\n");
    }
    return ok ? 0 : 1;
}

} // namespace Host
