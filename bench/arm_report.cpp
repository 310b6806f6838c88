// Turns the event logs of the ARM counting programs (bench/arm/, run under
// qemu-arm with the plugins of bench/qemu/) into tables against the budget of
// the handheld: a 200 MHz ARM920T at 60 Hz has 3.33 million cycles a frame.
//   arm_report --show FILE --kernels FILE [--cycles FILE --stalls FILE
//              [--disassembly FILE]] [--gpe FILE] [--strict]
// --show, --kernels: instruction logs (insn_count) of show_counts and
// kernel_counts; --cycles, --stalls: the cycle model's log and stalls file of
// show_counts, which give the cycle tables; --disassembly: objdump -d -C of
// show_counts, to name the instructions that stall most.
// --strict: exit status 1 when a goal is missed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/event_log.h"
#include "bench/qemu/cycle_costs.h"
#include "host/program/bench_mode.h"

namespace {

constexpr int kStages = Host::kStageCount;
constexpr double kFrameCycles = 200e6 / 60;
constexpr uint64_t kWholeFrameGoal = 2'300'000;
constexpr uint64_t kPlasmaGoal = 800'000;
constexpr uint64_t kRotozoomerGoal = 800'000;
constexpr uint64_t kVoxelGoal = 2'000'000;
constexpr uint64_t kTerrainGoal = 25'000'000;
constexpr uint64_t kSizeGoal = 32 * 1024;

using Event = LogEvent;
using Log = EventLog;

constexpr uint32_t tag(const char (&s)[5]) {
    return static_cast<uint32_t>(s[0]) | static_cast<uint32_t>(s[1]) << 8 |
           static_cast<uint32_t>(s[2]) << 16 | static_cast<uint32_t>(s[3]) << 24;
}

// Instructions between two points of a run, in all and per group.
struct Span {
    uint64_t total = 0;
    std::vector<uint64_t> groups;

    static Span between(const Event& a, const Event& b) {
        Span s;
        s.total = b.total - a.total;
        for (size_t g = 0; g < a.values.size(); ++g) s.groups.push_back(b.values[g] - a.values[g]);
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

// ---- The show's refreshes and stages --------------------------------------

// Where the refreshes and stages of the show log lie. Event 0 is the start of
// the program (added in front of the log's events).
struct ShowRun {
    uint32_t refreshes = 0;
    uint32_t stage_refreshes[kStages] = {};
    uint32_t first_refresh[kStages] = {}; // 0: stage not reached
    std::vector<size_t> frame_begin; // per refresh (refresh i at i - 1): where its work starts
    std::vector<size_t> frame_end;   // its sync (or the exit to the menu)
    size_t stage_begin[kStages] = {};
    size_t stage_end[kStages] = {};
};

void add_start(Log& log) {
    Event zero;
    zero.values.assign(log.names.size(), 0);
    log.events.insert(log.events.begin(), zero);
}

// The stages are the show's own: every sync marker carries Show::stage(),
// and the exit to the menu is the final refresh. The start-up's work ends at
// the first START poll (after the terrain build), every other stage's at its
// last refresh, the final refresh's at the end of the log.
bool split_show(const Log& show, ShowRun& run) {
    size_t first_poll = 0;
    size_t frame_start = 0;
    for (size_t i = 1; i < show.events.size(); ++i) {
        const Event& e = show.events[i];
        if (e.words[0] == tag("poll")) {
            if (!first_poll) frame_start = first_poll = i;
        } else if (e.words[0] == tag("sync") || e.words[0] == tag("menu")) {
            const uint32_t stage = e.words[0] == tag("sync") ? e.words[1] : static_cast<uint32_t>(Host::Stage::Ended);
            if (stage >= static_cast<uint32_t>(kStages)) return false;
            if (!run.stage_refreshes[stage]++) run.first_refresh[stage] = run.refreshes + 1;
            ++run.refreshes;
            run.frame_begin.push_back(frame_start);
            run.frame_end.push_back(i);
            frame_start = i;
        }
    }
    if (!first_poll || !run.refreshes) return false;
    const size_t end = show.events.size() - 1;
    size_t stage_start = 0;
    for (int s = 0; s < kStages; ++s) {
        const uint32_t n = run.stage_refreshes[s];
        run.stage_begin[s] = stage_start;
        run.stage_end[s] = s == 0             ? first_poll
                           : s == kStages - 1 ? end
                           : n                ? run.frame_end[run.first_refresh[s] + n - 2]
                                              : stage_start;
        stage_start = run.stage_end[s];
    }
    return true;
}

// The refreshes of stage s (numbers from 1), none for the start-up.
std::pair<uint32_t, uint32_t> refreshes_of(const ShowRun& run, int s) {
    if (s == 0 || !run.stage_refreshes[s]) return {0, 0};
    const uint32_t first = run.first_refresh[s];
    return {first, first + run.stage_refreshes[s]};
}

int stage_of_refresh(const ShowRun& run, uint32_t refresh) {
    for (int s = 1; s < kStages; ++s) {
        const auto [first, end] = refreshes_of(run, s);
        if (refresh >= first && refresh < end) return s;
    }
    return 0;
}

// ---- Cycles ------------------------------------------------------------------

using namespace CycleCosts;
constexpr int kSets = static_cast<int>(std::size(kCostSets));
constexpr double kNoWalksGoal = 3'000'000;

using Counts = std::vector<uint64_t>;

Counts between(const Log& cycles, size_t a, size_t b) {
    Counts c(kCounters);
    for (int k = 0; k < kCounters; ++k) c[k] = cycles.events[b].values[k] - cycles.events[a].values[k];
    return c;
}

uint64_t frame_cycles(const Counts& c, int set, bool walks) { return cycles(c.data(), kCostSets[set], walks); }

// Cycles in one cost set, with or without walks, over a stage's frames.
struct CycleFigures {
    double mean = 0;
    uint64_t worst = 0;
    uint32_t worst_refresh = 0;
    uint32_t over = 0;    // frames over the budget
    uint32_t near = 0;    // over 90 % of it
};

CycleFigures figures(const Log& cycles, const ShowRun& run, int first_stage, int end_stage, int set, bool walks) {
    CycleFigures f;
    uint64_t sum = 0;
    uint32_t frames = 0;
    for (int s = first_stage; s < end_stage; ++s) {
        const auto [first, end] = refreshes_of(run, s);
        for (uint32_t i = first; i < end; ++i) {
            const uint64_t n = frame_cycles(between(cycles, run.frame_begin[i - 1], run.frame_end[i - 1]), set, walks);
            sum += n;
            ++frames;
            if (n > f.worst) {
                f.worst = n;
                f.worst_refresh = i;
            }
            if (n > kFrameCycles) ++f.over;
            if (n > 0.9 * kFrameCycles) ++f.near;
        }
    }
    f.mean = frames ? static_cast<double>(sum) / frames : 0;
    return f;
}

std::string mega(double n) {
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", n / 1e6);
    return text;
}

void print_cycle_table(const Log& cycles, const ShowRun& run, bool walks) {
    std::printf("\ncycles a frame, %s TLB walks (M = million; budget %.2f M)\n", walks ? "with" : "without",
                kFrameCycles / 1e6);
    std::printf("%-12s %6s", "", "");
    for (const CostSet& c : kCostSets) std::printf("  %-28s", c.name);
    std::printf("\n%-12s %6s", "show stage", "frames");
    for (int set = 0; set < kSets; ++set) std::printf("  %6s %6s %6s %6s", "mean", "worst", ">100%", ">90%");
    std::printf("\n");
    for (int s = 1; s <= kStages; ++s) {
        const bool whole = s == kStages;
        const int first = whole ? 1 : s;
        const int end = whole ? kStages : s + 1;
        uint32_t frames = 0;
        for (int t = first; t < end; ++t) frames += run.stage_refreshes[t];
        std::printf("%-12s %6u", whole ? "whole show" : Host::stage_name(static_cast<Host::Stage>(s)), frames);
        for (int set = 0; set < kSets; ++set) {
            const CycleFigures f = figures(cycles, run, first, end, set, walks);
            std::printf("  %6s %6s %6u %6u", mega(f.mean).c_str(), mega(static_cast<double>(f.worst)).c_str(), f.over,
                        f.near);
        }
        std::printf("\n");
    }
}

// Short names of the counters, for the tables of misses.
constexpr const char* kShortNames[kCounters] = {"core", "interlock", "I fill", "D fill", "write-back",
                                                "write", "uncached", "I walk", "D walk"};

void print_worst_frames(const Log& show, const Log& cycles, const ShowRun& run) {
    std::printf("\nworst frame of each stage (middle, TLB walks): its misses\n");
    std::printf("%-12s %7s %7s %7s %10s %8s", "show stage", "refresh", "cycles", "no walk", "instrs", "core");
    for (int k = kInterlocks; k < kCounters; ++k) std::printf(" %10s", kShortNames[k]);
    std::printf("\n");
    for (int s = 1; s < kStages; ++s) {
        const CycleFigures f = figures(cycles, run, s, s + 1, kMiddle, true);
        if (!f.worst_refresh) continue;
        const size_t a = run.frame_begin[f.worst_refresh - 1];
        const size_t b = run.frame_end[f.worst_refresh - 1];
        const Counts c = between(cycles, a, b);
        std::printf("%-12s %7u %7s %7s %10s %8s", Host::stage_name(static_cast<Host::Stage>(s)), f.worst_refresh,
                    mega(static_cast<double>(frame_cycles(c, kMiddle, true))).c_str(),
                    mega(static_cast<double>(frame_cycles(c, kMiddle, false))).c_str(),
                    millions(static_cast<double>(show.events[b].total - show.events[a].total)).c_str(),
                    mega(static_cast<double>(c[kCore])).c_str());
        for (int k = kInterlocks; k < kCounters; ++k) std::printf(" %10s", millions(static_cast<double>(c[k])).c_str());
        std::printf("\n");
    }
}

// ---- The instructions that stall most -------------------------------------

struct Stall {
    uint32_t address;
    Counts total;
    Counts worst;
};

struct Stalls {
    size_t worst_marker = 0; // the plugin's marker index (no start event)
    std::vector<Stall> insns;
};

bool read_stalls(const std::string& path, Stalls& out) {
    std::ifstream in(path);
    std::string line, word;
    if (!in || !std::getline(in, line)) return false;
    std::istringstream head(line);
    head >> word >> out.worst_marker;
    if (word != "worst" || !head) return false;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Stall st;
        fields >> std::hex >> st.address >> word >> std::dec;
        st.total.resize(kCounters);
        st.worst.resize(kCounters);
        for (uint64_t& n : st.total) fields >> n;
        fields >> word;
        for (uint64_t& n : st.worst) fields >> n;
        if (!fields || word != "|") return false;
        out.insns.push_back(std::move(st));
    }
    return true;
}

// A function's name without its parameters and anonymous namespaces.
std::string short_name(std::string name) {
    const std::string anonymous = "(anonymous namespace)::";
    for (size_t at; (at = name.find(anonymous)) != std::string::npos;) name.erase(at, anonymous.size());
    return name.substr(0, name.find('('));
}

// objdump -d -C: the function and the text of each instruction.
struct Disassembly {
    std::map<uint32_t, std::pair<std::string, std::string>> at;
};

Disassembly read_disassembly(const std::string& path) {
    Disassembly d;
    std::ifstream in(path);
    std::string line, function;
    while (std::getline(in, line)) {
        if (line.size() > 3 && line.back() == ':' && line.find(" <") != std::string::npos && line[0] != ' ') {
            const size_t open = line.find(" <");
            function = short_name(line.substr(open + 2, line.size() - open - 4));
            continue;
        }
        const size_t colon = line.find(":\t");
        if (colon == std::string::npos || line.empty() || line[0] != ' ') continue;
        std::string text = line.substr(colon + 2);
        text = text.substr(0, text.find(" @ ")); // objdump's comments: targets, constants
        text = text.substr(0, text.find("\t@ "));
        text = text.substr(0, text.find("\t; "));
        std::replace(text.begin(), text.end(), '\t', ' ');
        d.at[static_cast<uint32_t>(std::stoul(line.substr(0, colon), nullptr, 16))] = {function, text};
    }
    return d;
}

std::string causes(const Counts& c) {
    std::string out;
    for (int k = kInterlocks; k < kCounters; ++k) {
        if (!c[k]) continue;
        if (!out.empty()) out += ", ";
        out += millions(static_cast<double>(c[k])) + " " + kShortNames[k];
    }
    return out;
}

void print_top_stalls(const Stalls& stalls, const Disassembly& dis, bool worst_frame, const std::string& title) {
    std::vector<std::pair<uint64_t, const Stall*>> ranked;
    uint64_t all = 0;
    for (const Stall& st : stalls.insns) {
        const uint64_t n = CycleCosts::stalls((worst_frame ? st.worst : st.total).data(), kCostSets[kMiddle], true);
        all += n;
        if (n) ranked.push_back({n, &st});
    }
    std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::printf("\n%s: the ten instructions with the most stall cycles (middle, TLB walks; %s in all)\n",
                title.c_str(), millions(static_cast<double>(all)).c_str());
    std::printf("%8s %12s %6s  %-28s %-28s  %s\n", "address", "stalls", "share", "function", "instruction", "from");
    for (size_t i = 0; i < ranked.size() && i < 10; ++i) {
        const Stall& st = *ranked[i].second;
        const auto it = dis.at.find(st.address);
        std::string function = it != dis.at.end() ? it->second.first : "?";
        if (function.size() > 28) function = function.substr(0, 25) + "...";
        const std::string text = it != dis.at.end() ? it->second.second : "?";
        std::printf("%8x %12s %5.1f%%  %-28s %-28s  %s\n", st.address, millions(static_cast<double>(ranked[i].first)).c_str(),
                    all ? 100.0 * static_cast<double>(ranked[i].first) / static_cast<double>(all) : 0.0,
                    function.c_str(), text.c_str(), causes(worst_frame ? st.worst : st.total).c_str());
    }
}

// The same run: the cycle log holds the show log's markers at the same
// instruction counts.
bool same_run(const Log& show, const Log& cycles) {
    if (show.events.size() != cycles.events.size()) return false;
    for (size_t i = 0; i < show.events.size(); ++i) {
        const Event& a = show.events[i];
        const Event& b = cycles.events[i];
        if (!std::equal(a.words, a.words + 4, b.words) || a.total != b.total) return false;
    }
    return cycles.names.size() == kCounters;
}

} // namespace

int main(int argc, char** argv) {
    std::string show_path, kernels_path, gpe_path, cycles_path, stalls_path, disassembly_path;
    bool strict = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--show" && i + 1 < argc) show_path = argv[++i];
        else if (a == "--kernels" && i + 1 < argc) kernels_path = argv[++i];
        else if (a == "--gpe" && i + 1 < argc) gpe_path = argv[++i];
        else if (a == "--cycles" && i + 1 < argc) cycles_path = argv[++i];
        else if (a == "--stalls" && i + 1 < argc) stalls_path = argv[++i];
        else if (a == "--disassembly" && i + 1 < argc) disassembly_path = argv[++i];
        else if (a == "--strict") strict = true;
        else {
            std::fprintf(stderr, "usage: arm_report --show FILE --kernels FILE [--cycles FILE --stalls FILE "
                                 "[--disassembly FILE]] [--gpe FILE] [--strict]\n");
            return 2;
        }
    }
    Log show, kernels, cycles;
    if (!read_event_log(show_path, "groups", show) || !read_event_log(kernels_path, "groups", kernels)) {
        std::fprintf(stderr, "arm_report: cannot read the event logs\n");
        return 2;
    }
    add_start(show);
    const bool with_cycles = !cycles_path.empty();
    Stalls stalls;
    if (with_cycles) {
        if (!read_event_log(cycles_path, "cycles", cycles) || !read_stalls(stalls_path, stalls)) {
            std::fprintf(stderr, "arm_report: cannot read the cycle model's log or stalls file\n");
            return 2;
        }
        add_start(cycles);
        if (!same_run(show, cycles)) {
            std::fprintf(stderr, "arm_report: the cycle log is not of the same run as the show log\n");
            return 2;
        }
    }

    // ---- Kernels, one call each -------------------------------------------
    auto k = kernel_figures(kernels);
    auto mean = [&](const char (&t)[5]) { return k.count(tag(t)) ? k[tag(t)].mean : 0.0; };
    auto max = [&](const char (&t)[5]) { return k.count(tag(t)) ? static_cast<double>(k[tag(t)].max) : 0.0; };
    // A whole frame's share in the effect's own functions: its picture.
    auto own = [&](const char (&t)[5], const char* group) {
        if (!k.count(tag(t))) return 0.0;
        const auto& names = kernels.names;
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
    ShowRun run;
    if (!split_show(show, run)) {
        std::fprintf(stderr, "arm_report: the show log holds no START poll or no refresh\n");
        return 2;
    }
    const Event& end = show.events.back();
    std::printf("\n%-12s %9s %14s %14s %14s %8s   %s\n", "show stage", "refreshes", "instructions",
                "per refresh", "max refresh", "x floor", "where the instructions go");
    uint64_t worst_frame = 0;
    for (int s = 0; s < kStages; ++s) {
        const uint32_t refreshes = run.stage_refreshes[s];
        const Span span = Span::between(show.events[run.stage_begin[s]], show.events[run.stage_end[s]]);
        uint64_t worst = 0;
        const auto [first, last] = refreshes_of(run, s);
        for (uint32_t i = first; i < last; ++i) {
            worst = std::max(worst, show.events[run.frame_end[i - 1]].total - show.events[run.frame_begin[i - 1]].total);
        }
        worst_frame = std::max(worst_frame, worst);
        const double per = refreshes ? static_cast<double>(span.total) / refreshes : 0;
        char ratio[16] = "-";
        if (s > 0 && floor > 0) std::snprintf(ratio, sizeof ratio, "%.1f", per / floor);
        std::printf("%-12s %9u %14s %14s %14s %8s   %s\n", Host::stage_name(static_cast<Host::Stage>(s)),
                    refreshes, millions(static_cast<double>(span.total)).c_str(),
                    s == 0 ? "-" : millions(per).c_str(), s == 0 ? "-" : millions(static_cast<double>(worst)).c_str(),
                    ratio, shares(span, show.names).c_str());
    }
    const Span whole = Span::between(show.events.front(), end);
    std::printf("%-12s %9u %14s %14s %14s %8.1f   %s\n", "whole show", run.refreshes,
                millions(static_cast<double>(whole.total)).c_str(),
                millions(static_cast<double>(whole.total) / run.refreshes).c_str(),
                millions(static_cast<double>(worst_frame)).c_str(),
                floor > 0 ? static_cast<double>(whole.total) / run.refreshes / floor : 0.0,
                shares(whole, show.names).c_str());

    // ---- Cycles under the ARM920T model -----------------------------------
    CycleFigures with_walks, without_walks, pessimistic;
    if (with_cycles) {
        std::printf("\nARM920T cycles under the model of bench/qemu/cycle_model.cpp: core timing, 16 KB\n"
                    "instruction and data caches, write buffer, TLBs; three cost sets (cycles):\n");
        std::printf("  %-12s %5s %10s %6s %9s\n", "", "fill", "write-back", "write", "uncached");
        for (const CostSet& c : kCostSets) {
            std::printf("  %-12s %5u %10u %6u %9u   (a TLB walk: two uncached reads)\n", c.name, c.fill, c.write_back,
                        c.write, c.uncached_read);
        }
        const Counts start_up = between(cycles, run.stage_begin[0], run.stage_end[0]);
        std::printf("start-up (terrain build, one refresh): %s M cycles middle with walks\n",
                    mega(static_cast<double>(frame_cycles(start_up, kMiddle, true))).c_str());
        print_cycle_table(cycles, run, true);
        print_cycle_table(cycles, run, false);
        print_worst_frames(show, cycles, run);
        with_walks = figures(cycles, run, 1, kStages, kMiddle, true);
        without_walks = figures(cycles, run, 1, kStages, kMiddle, false);
        pessimistic = figures(cycles, run, 1, kStages, kSets - 1, true);
        const Disassembly dis = read_disassembly(disassembly_path);
        const size_t marker = stalls.worst_marker + 1; // after the start event
        uint32_t refresh = 0;
        for (size_t i = 0; i < run.frame_end.size(); ++i) {
            if (run.frame_end[i] == marker) refresh = static_cast<uint32_t>(i + 1);
        }
        char title[96];
        std::snprintf(title, sizeof title, "worst frame, refresh %u (%s)", refresh,
                      Host::stage_name(static_cast<Host::Stage>(stage_of_refresh(run, refresh))));
        print_top_stalls(stalls, dis, true, title);
        print_top_stalls(stalls, dis, false, "whole run");
        if (refresh != with_walks.worst_refresh) {
            std::printf("(the plugin's worst frame differs from the report's, refresh %u)\n", with_walks.worst_refresh);
        }
    }

    std::printf("\n%-44s %12s\n", "goal", "figure");
    std::printf("%-44s %12s   < %s %s\n", "every frame's instructions", millions(static_cast<double>(worst_frame)).c_str(),
                millions(static_cast<double>(kWholeFrameGoal)).c_str(),
                verdict(static_cast<double>(worst_frame), kWholeFrameGoal, "whole frame"));
    if (with_cycles) {
        auto at_most = [](const char* name, const CycleFigures& f, double goal, bool must) {
            const bool ok = static_cast<double>(f.worst) <= goal;
            if (!ok && must) missed.push_back(name);
            std::printf("%-44s %12s   <= %s M %s%s\n", name, millions(static_cast<double>(f.worst)).c_str(),
                        mega(goal).c_str(), ok ? "ok" : "OVER", must ? "" : " (aim)");
        };
        at_most("every frame, middle, TLB walks", with_walks, kFrameCycles, true);
        at_most("every frame, middle, no TLB walks", without_walks, kNoWalksGoal, true);
        at_most("every frame, pessimistic, TLB walks", pessimistic, kFrameCycles, false);
    }
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
