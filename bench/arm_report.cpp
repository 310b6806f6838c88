// Turns the event logs of the ARM counting programs (bench/arm/, counted by
// the insn_count plugin under qemu-arm) into one table against the budget of
// the handheld: a 200 MHz ARM920T at 60 Hz has 3.33 million cycles a frame.
//   arm_report --show FILE --kernels FILE [--gpe FILE] [--strict]
// --strict: exit status 1 when a goal is missed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "host/bench_mode.h"

namespace {

constexpr int kStages = static_cast<int>(Host::Stage::Count);
constexpr double kFrameCycles = 200e6 / 60;
constexpr uint64_t kWholeFrameGoal = 2'300'000;
constexpr uint64_t kPlasmaGoal = 800'000;
constexpr uint64_t kRotozoomerGoal = 800'000;
constexpr uint64_t kVoxelGoal = 2'000'000;
constexpr uint64_t kTerrainGoal = 25'000'000;
constexpr uint64_t kSizeGoal = 32 * 1024;

struct Event {
    uint32_t words[4];
    uint64_t total;
    std::vector<uint64_t> groups;
};

struct Log {
    std::vector<std::string> groups;
    std::vector<Event> events;
};

constexpr uint32_t tag(const char (&s)[5]) {
    return static_cast<uint32_t>(s[0]) | static_cast<uint32_t>(s[1]) << 8 |
           static_cast<uint32_t>(s[2]) << 16 | static_cast<uint32_t>(s[3]) << 24;
}

bool read_log(const std::string& path, Log& log) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    if (!std::getline(in, line)) return false;
    std::istringstream head(line);
    std::string word;
    head >> word;
    if (word != "groups") return false;
    while (head >> word) log.groups.push_back(word);
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Event e;
        fields >> e.words[0] >> e.words[1] >> e.words[2] >> e.words[3] >> e.total;
        e.groups.resize(log.groups.size());
        for (uint64_t& g : e.groups) fields >> g;
        if (!fields) return false;
        log.events.push_back(std::move(e));
    }
    return !log.events.empty();
}

// Instructions between two points of a run, in all and per group.
struct Span {
    uint64_t total = 0;
    std::vector<uint64_t> groups;

    static Span between(const Event& a, const Event& b) {
        Span s;
        s.total = b.total - a.total;
        for (size_t g = 0; g < a.groups.size(); ++g) s.groups.push_back(b.groups[g] - a.groups[g]);
        return s;
    }
    void add(const Span& o) {
        total += o.total;
        groups.resize(std::max(groups.size(), o.groups.size()));
        for (size_t g = 0; g < o.groups.size(); ++g) groups[g] += o.groups[g];
    }
};

// Whole instructions with thousands separated: 1,234,567.
std::string millions(double n) {
    const std::string digits = std::to_string(static_cast<unsigned long long>(n + 0.5));
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::vector<std::string> missed;

const char* verdict(double value, double goal, const char* what) {
    if (value < goal) return "ok";
    missed.push_back(what);
    return "OVER";
}

// What each group's share of a span is, as "name 12%" for the larger ones.
std::string shares(const Span& s, const std::vector<std::string>& names) {
    std::vector<std::pair<uint64_t, std::string>> parts;
    uint64_t grouped = 0;
    for (size_t g = 0; g < names.size() && g < s.groups.size(); ++g) {
        parts.push_back({s.groups[g], names[g]});
        grouped += s.groups[g];
    }
    parts.push_back({s.total - grouped, "other"});
    std::sort(parts.rbegin(), parts.rend());
    std::string out;
    for (const auto& [n, name] : parts) {
        const double share = s.total ? 100.0 * static_cast<double>(n) / static_cast<double>(s.total) : 0;
        if (share < 1.0) continue;
        char text[48];
        std::snprintf(text, sizeof text, "%s%s %.0f%%", out.empty() ? "" : ", ", name.c_str(), share);
        out += text;
    }
    return out;
}

struct KernelFigures {
    uint32_t calls = 0;
    double mean = 0;
    uint64_t max = 0;
    Span sum;
};

std::map<uint32_t, KernelFigures> kernel_figures(const Log& log) {
    std::map<uint32_t, KernelFigures> out;
    std::map<uint32_t, const Event*> open;
    for (const Event& e : log.events) {
        if (e.words[0] == tag("open")) open[e.words[1]] = &e;
        if (e.words[0] == tag("shut") && open.count(e.words[1])) {
            const Span s = Span::between(*open[e.words[1]], e);
            KernelFigures& k = out[e.words[1]];
            ++k.calls;
            k.max = std::max(k.max, s.total);
            k.sum.add(s);
        }
    }
    // The markers' own instructions, measured around nothing, come off.
    const double overhead = out.count(tag("none")) ? static_cast<double>(out[tag("none")].sum.total) /
                                                         out[tag("none")].calls
                                                   : 0;
    for (auto& [name, k] : out) {
        k.mean = static_cast<double>(k.sum.total) / k.calls - overhead;
        k.max -= static_cast<uint64_t>(overhead);
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    std::string show_path, kernels_path, gpe_path;
    bool strict = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--show" && i + 1 < argc) show_path = argv[++i];
        else if (a == "--kernels" && i + 1 < argc) kernels_path = argv[++i];
        else if (a == "--gpe" && i + 1 < argc) gpe_path = argv[++i];
        else if (a == "--strict") strict = true;
        else {
            std::fprintf(stderr, "usage: arm_report --show FILE --kernels FILE [--gpe FILE] [--strict]\n");
            return 2;
        }
    }
    Log show, kernels;
    if (!read_log(show_path, show) || !read_log(kernels_path, kernels)) {
        std::fprintf(stderr, "arm_report: cannot read the event logs\n");
        return 2;
    }

    // ---- Kernels, one call each -------------------------------------------
    auto k = kernel_figures(kernels);
    auto mean = [&](const char (&t)[5]) { return k.count(tag(t)) ? k[tag(t)].mean : 0.0; };
    auto max = [&](const char (&t)[5]) { return k.count(tag(t)) ? static_cast<double>(k[tag(t)].max) : 0.0; };
    // A whole frame's share in the effect's own functions: its picture.
    auto own = [&](const char (&t)[5], const char* group) {
        if (!k.count(tag(t))) return 0.0;
        const auto& names = kernels.groups;
        const auto it = std::find(names.begin(), names.end(), group);
        if (it == names.end()) return 0.0;
        return static_cast<double>(k[tag(t)].sum.groups[it - names.begin()]) / k[tag(t)].calls;
    };
    const double floor = mean("floo");

    std::printf("ARM instructions counted under qemu-arm -cpu ti925t (ARMv4T), program built as nyra1.gpe is.\n");
    std::printf("Budget of a 200 MHz ARM920T at 60 Hz: %.2f M cycles a frame (an instruction takes one\n"
                "cycle or more, so instructions are a lower bound on cycles).\n\n",
                kFrameCycles / 1e6);
    std::printf("%-44s %12s %12s %9s   %s\n", "kernel, one call (instructions)", "mean", "max", "x floor", "goal");
    struct Row {
        const char* name;
        double mean;
        double max;
        uint64_t goal;
    };
    const Row rows[] = {
        {"plasma picture (draw_field)", mean("plpi"), max("plpi"), kPlasmaGoal},
        {"rotozoomer picture (own code of a frame)", own("rofr", "rotozoomer"), 0, kRotozoomerGoal},
        {"voxel picture (draw_frame: sky, ray cast)", mean("vopi"), max("vopi"), kVoxelGoal},
        {"plasma frame (run: picture..poll)", mean("plfr"), max("plfr"), 0},
        {"voxel frame (run: picture..poll)", mean("vofr"), max("vofr"), 0},
        {"rotozoomer frame (run: picture..poll)", mean("rofr"), max("rofr"), 0},
        {"scroller step (text, both passes)", mean("step"), max("step"), 0},
        {"floor: clear_canvas + copy_canvas(240)", floor, max("floo"), 0},
        {"clear_canvas", mean("clea"), max("clea"), 0},
        {"copy_canvas(240)", mean("c240"), max("c240"), 0},
        {"copy_canvas(200)", mean("c200"), max("c200"), 0},
        {"wait_vsync + flip + START poll", mean("pres"), max("pres"), 0},
        {"upload_palette (256 entries)", mean("pupl"), max("pupl"), 0},
        {"upload_faded (254 entries)", mean("pfad"), max("pfad"), 0},
        {"terrain build", mean("terr"), max("terr"), kTerrainGoal},
    };
    for (const Row& r : rows) {
        std::string goal = "-";
        if (r.goal) goal = "< " + millions(static_cast<double>(r.goal)) + " " + verdict(r.mean, static_cast<double>(r.goal), r.name);
        std::printf("%-44s %12s %12s %9.1f   %s\n", r.name, millions(r.mean).c_str(),
                    r.max > 0 ? millions(r.max).c_str() : "-", floor > 0 ? r.mean / floor : 0.0,
                    goal.c_str());
    }

    // ---- The whole show, refresh by refresh -------------------------------
    std::vector<Host::RefreshNote> notes;
    std::vector<const Event*> sync_events;
    const Event* first_poll = nullptr;
    uint32_t start_up_refreshes = 0;
    uint32_t polls = 0;
    const Event* previous_sync = nullptr;
    std::vector<Span> frames; // the work of each refresh since the previous one (or the first poll)
    Event zero{}; // the start of the program
    zero.groups.assign(show.groups.size(), 0);
    const Event* frame_start = &zero;
    for (const Event& e : show.events) {
        if (e.words[0] == tag("poll")) {
            if (!first_poll) {
                first_poll = &e;
                start_up_refreshes = static_cast<uint32_t>(notes.size());
                frame_start = &e;
            }
            ++polls;
        } else if (e.words[0] == tag("sync") || e.words[0] == tag("menu")) {
            const bool sync = e.words[0] == tag("sync");
            const bool moved = sync && previous_sync &&
                               (e.words[1] != previous_sync->words[1] || e.words[2] != previous_sync->words[2]);
            const bool ticked = sync && previous_sync && e.words[3] != previous_sync->words[3];
            notes.push_back({static_cast<double>(e.total), polls, moved, ticked});
            sync_events.push_back(&e);
            frames.push_back(Span::between(*frame_start, e));
            frame_start = &e;
            if (sync) previous_sync = &e;
            polls = 0;
        }
    }
    if (!first_poll || notes.empty()) {
        std::fprintf(stderr, "arm_report: the show log holds no START poll or no refresh\n");
        return 2;
    }
    const Event& end = show.events.back();
    Host::BenchReport r;
    Host::classify(notes, start_up_refreshes, static_cast<double>(first_poll->total),
                   static_cast<double>(end.total), r);

    std::printf("\n%-12s %9s %14s %14s %14s %8s   %s\n", "show stage", "refreshes", "instructions",
                "per refresh", "max refresh", "x floor", "where the instructions go");
    const Event& start = zero;
    uint64_t worst_frame = 0;
    const Event* stage_start = &start;
    for (int s = 0; s < kStages; ++s) {
        const Host::StageTiming& st = r.stages[s];
        const Event* stage_end = s == 0 ? first_poll
                                 : s == kStages - 1
                                     ? &end
                                     : (st.refreshes ? sync_events[r.first_refresh[s] + st.refreshes - 2] : stage_start);
        const Span span = Span::between(*stage_start, *stage_end);
        uint64_t worst = 0;
        if (s > 0 && st.refreshes) {
            for (uint32_t i = r.first_refresh[s]; i < r.first_refresh[s] + st.refreshes; ++i) {
                worst = std::max(worst, frames[i - 1].total);
            }
            worst_frame = std::max(worst_frame, worst);
        }
        const double per = st.refreshes ? static_cast<double>(span.total) / st.refreshes : 0;
        char ratio[16] = "-";
        if (s > 0 && floor > 0) std::snprintf(ratio, sizeof ratio, "%.1f", per / floor);
        std::printf("%-12s %9u %14s %14s %14s %8s   %s\n", Host::stage_name(static_cast<Host::Stage>(s)),
                    st.refreshes, millions(static_cast<double>(span.total)).c_str(),
                    s == 0 ? "-" : millions(per).c_str(), s == 0 ? "-" : millions(static_cast<double>(worst)).c_str(),
                    ratio, shares(span, show.groups).c_str());
        stage_start = stage_end;
    }
    const Span whole = Span::between(start, end);
    std::printf("%-12s %9u %14s %14s %14s %8.1f   %s\n", "whole show", r.refreshes,
                millions(static_cast<double>(whole.total)).c_str(),
                millions(static_cast<double>(whole.total) / r.refreshes).c_str(),
                millions(static_cast<double>(worst_frame)).c_str(),
                floor > 0 ? static_cast<double>(whole.total) / r.refreshes / floor : 0.0,
                shares(whole, show.groups).c_str());

    std::printf("\n%-44s %12s\n", "goal", "figure");
    std::printf("%-44s %12s   < %s %s\n", "every whole frame (picture, text, copy)", millions(static_cast<double>(worst_frame)).c_str(),
                millions(static_cast<double>(kWholeFrameGoal)).c_str(),
                verdict(static_cast<double>(worst_frame), kWholeFrameGoal, "whole frame"));
    std::printf("%-44s %12s   (%.0f%% of the frame's %.2f M cycles)\n", "worst whole frame against the budget",
                millions(static_cast<double>(worst_frame)).c_str(), 100.0 * static_cast<double>(worst_frame) / kFrameCycles,
                kFrameCycles / 1e6);
    if (!gpe_path.empty()) {
        std::ifstream gpe(gpe_path, std::ios::binary | std::ios::ate);
        if (gpe) {
            const uint64_t size = static_cast<uint64_t>(gpe.tellg());
            std::printf("%-44s %9llu B   < %llu B %s\n", "nyra1.gpe, stripped", static_cast<unsigned long long>(size),
                        static_cast<unsigned long long>(kSizeGoal),
                        verdict(static_cast<double>(size), kSizeGoal, "nyra1.gpe size"));
        } else {
            std::printf("%-44s %12s\n", "nyra1.gpe, stripped", "missing");
        }
    }
    if (missed.empty()) {
        std::printf("\nall goals met\n");
    } else {
        std::printf("\ngoals missed:");
        for (const std::string& m : missed) std::printf(" [%s]", m.c_str());
        std::printf("\n");
    }
    return strict && !missed.empty() ? 1 : 0;
}
