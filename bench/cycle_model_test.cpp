// The cycle model (bench/qemu/cycle_model.cpp) run on bench/arm/cycle_probe:
// every phase's counts against the ones its access pattern must give.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "bench/event_log.h"
#include "bench/qemu/cycle_costs.h"

using namespace CycleCosts;

namespace {

using Counts = std::array<uint64_t, kCounters>;

// Each phase's counts: from its marker n to its marker n | 64.
std::map<uint32_t, Counts> run_probe(const std::string& options) {
    std::string folder = (std::filesystem::temp_directory_path() / "nyra1-cycles-XXXXXX").string();
    if (!mkdtemp(folder.data())) return {};
    const std::string log_path = folder + "/probe.log";
    const std::string command = std::string(NYRA1_QEMU_ARM) + " -cpu ti925t -plugin " + NYRA1_CYCLE_MODEL +
                                ",out=" + log_path + options + " " + NYRA1_CYCLE_PROBE;
    std::map<uint32_t, Counts> phases;
    EventLog log;
    if (std::system(command.c_str()) == 0 && read_event_log(log_path, "cycles", log)) {
        for (size_t i = 0; i + 1 < log.events.size(); ++i) {
            const LogEvent& a = log.events[i];
            const LogEvent& b = log.events[i + 1];
            if (a.words[0] == 0 || a.words[0] >= 64 || b.words[0] != (a.words[0] | 64)) continue;
            Counts& c = phases[a.words[0]];
            for (int k = 0; k < kCounters; ++k) c[k] = b.values[k] - a.values[k];
        }
    }
    std::filesystem::remove_all(folder);
    return phases;
}

const std::map<uint32_t, Counts>& round_robin() {
    static const auto phases = run_probe("");
    return phases;
}

const std::map<uint32_t, Counts>& random_replacement() {
    static const auto phases = run_probe(",replace=random");
    return phases;
}

constexpr int kPhases = 19;

struct DataPhase {
    uint32_t phase;
    const char* what;
    uint64_t dfills, writebacks, writes, ureads, dwalks;
};

// What each data phase must count (the patterns are in cycle_probe.cpp).
const DataPhase kDataPhases[] = {
    {1, "8 KB read 4 times: filled once", 256, 0, 0, 0, 2},
    {2, "64 KB read twice: filled every pass", 4096, 0, 0, 0, 16},
    {3, "64 lines 1 KB apart, 4 passes: one set holds them", 64, 0, 0, 0, 16},
    {4, "128 lines 1 KB apart, 4 passes: every read misses", 512, 0, 0, 0, 32},
    {5, "word stores to lines not cached: no allocation", 0, 0, 1024, 0, 1},
    {6, "reading the stored lines: all miss", 128, 0, 0, 0, 0},
    {7, "reading and dirtying 4 KB: stores hit", 128, 0, 0, 0, 1},
    {8, "16 KB of fresh lines: every dirty line written back", 512, 128, 0, 0, 4},
    {9, "reading the dirtied block again", 128, 0, 0, 0, 0},
    {10, "48 pages, 3 passes: the TLB holds them", 48, 0, 0, 0, 48},
    {11, "96 pages, 3 passes: every access walks", 96, 0, 0, 0, 288},
    {12, "frame buffer reads: uncached", 0, 0, 0, 64, 1},
    {13, "frame buffer writes: buffered", 0, 0, 64, 0, 0},
    {14, "register reads: uncached", 0, 0, 0, 16, 1},
};

TEST(CycleModel, ProbeRunsEveryPhase) {
    const auto& phases = round_robin();
    ASSERT_EQ(phases.size(), static_cast<size_t>(kPhases)) << "the probe did not run under qemu-arm with the plugin";
}

TEST(CycleModel, DataCacheTlbAndUncachedMemory) {
    const auto& phases = round_robin();
    for (const DataPhase& p : kDataPhases) {
        SCOPED_TRACE(p.what);
        ASSERT_TRUE(phases.count(p.phase));
        const Counts& c = phases.at(p.phase);
        EXPECT_EQ(c[kDFills], p.dfills);
        EXPECT_EQ(c[kWriteBacks], p.writebacks);
        EXPECT_EQ(c[kWrites], p.writes);
        EXPECT_EQ(c[kUncachedReads], p.ureads);
        EXPECT_EQ(c[kDWalks], p.dwalks);
        EXPECT_EQ(c[kInterlocks], 0u);
    }
}

TEST(CycleModel, LoadUseLoop) {
    const auto& phases = round_robin();
    ASSERT_TRUE(phases.count(15) && phases.count(16));
    // 1000 rounds of load, add, subs, taken bne (+2), but the last: 6000.
    const Counts& used = phases.at(15);
    const Counts& unused = phases.at(16);
    EXPECT_EQ(used[kCore], 6000u);
    EXPECT_EQ(used[kInterlocks], 1000u);
    EXPECT_EQ(unused[kCore], 6000u);
    EXPECT_EQ(unused[kInterlocks], 0u);
    // One line fill and one walk on top, in the middle set: 16 + 2 x 12.
    EXPECT_EQ(cycles(used.data(), kCostSets[kMiddle], true), 6000u + 1000 + 16 + 24);
    EXPECT_EQ(cycles(used.data(), kCostSets[kMiddle], false), 6000u + 1000 + 16);
}

TEST(CycleModel, CoreTimingRules) {
    const auto& phases = round_robin();
    ASSERT_TRUE(phases.count(17));
    const Counts& c = phases.at(17);
    // Multiplies, a register shift, LDM/STM, taken branches, loads into pc:
    // the sum of the probe's annotations.
    EXPECT_EQ(c[kCore], 57u);
    // The last register of an LDM and a byte load, used at once; a
    // conditional load that does not execute stalls nothing.
    EXPECT_EQ(c[kInterlocks], 2u);
    EXPECT_EQ(c[kDFills], 2u);
    EXPECT_EQ(c[kWrites], 3u);
}

TEST(CycleModel, InstructionCache) {
    const auto& phases = round_robin();
    ASSERT_TRUE(phases.count(18) && phases.count(19));
    // 8 KB of code from 8 bytes into a line: 257 lines, the first fetched
    // before the phase; then they stay.
    EXPECT_EQ(phases.at(18)[kIFills], 256u);
    // 32 KB: 1025 lines, all fetched again in the second pass.
    EXPECT_EQ(phases.at(19)[kIFills], 1024u + 1025);
    EXPECT_EQ(phases.at(18)[kDFills] + phases.at(19)[kDFills], 0u);
}

TEST(CycleModel, RandomReplacement) {
    const auto& phases = random_replacement();
    ASSERT_EQ(phases.size(), static_cast<size_t>(kPhases));
    // Lines that thrash a set under round-robin partly survive, and lines
    // that fit one set partly evict each other.
    EXPECT_LT(phases.at(4)[kDFills], 512u);
    EXPECT_GT(phases.at(4)[kDFills], 128u);
    EXPECT_GT(phases.at(3)[kDFills], 64u);
    EXPECT_LT(phases.at(19)[kIFills], 2049u);
    // What replacement cannot change.
    for (uint32_t p : {5u, 11u, 12u, 13u, 15u, 17u}) {
        SCOPED_TRACE(p);
        for (Counter k : {kCore, kInterlocks, kWrites, kUncachedReads, kDWalks}) {
            EXPECT_EQ(phases.at(p)[k], round_robin().at(p)[k]);
        }
    }
}

} // namespace
