// make_timeline OUTPUT.cpp: plays the show once in virtual time and writes
// its timeline (length, stages, cues, START polls) as C++ source, so that
// the PC program knows it without playing the show: the record progress
// bar's total, for one, is known before the first refresh.
#include <cstdio>
#include <string>

#include "host/viewer/timeline.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_timeline OUTPUT.cpp\n");
        return 2;
    }
    const Host::Timeline t = Host::play_timeline();
    std::FILE* out = std::fopen(argv[1], "w");
    if (!out) {
        std::fprintf(stderr, "make_timeline: cannot write %s\n", argv[1]);
        return 2;
    }
    std::fprintf(out, "// Made by make_timeline from a play of the show at build time.\n"
                      "#include \"host/viewer/timeline.h\"\n\nnamespace Host {\n\n"
                      "const Timeline& built_in_timeline() {\n    static const Timeline timeline = [] {\n"
                      "        Timeline t;\n        t.refreshes = %u;\n", t.refreshes);
    for (const auto& c : t.chapters)
        std::fprintf(out, "        t.chapters.push_back({Show::Stage(%d), %u});\n", static_cast<int>(c.stage), c.first);
    for (const auto& m : t.cues)
        std::fprintf(out, "        t.cues.push_back({%u, Cue(%d)});\n", m.refresh, static_cast<int>(m.cue));
    // The polls come in long runs of consecutive refreshes: written as runs.
    std::fprintf(out, "        const uint32_t runs[][2] = {\n");
    for (size_t i = 0; i < t.polls.size();) {
        size_t j = i;
        while (j + 1 < t.polls.size() && t.polls[j + 1] == t.polls[j] + 1) ++j;
        std::fprintf(out, "            {%u, %u},\n", t.polls[i], t.polls[j]);
        i = j + 1;
    }
    std::fprintf(out, "        };\n        for (const auto& r : runs)\n"
                      "            for (uint32_t n = r[0]; n <= r[1]; ++n) t.polls.push_back(n);\n"
                      "        return t;\n    }();\n    return timeline;\n}\n\n} // namespace Host\n");
    return std::fclose(out) == 0 ? 0 : 2;
}
