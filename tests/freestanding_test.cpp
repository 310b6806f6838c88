// The show core must run with no C library and no C++ runtime: everything it
// calls is its own, except the block moves the compiler may emit.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

std::set<std::string> symbols(const std::string& nm_options) {
    const std::string command =
        "nm " + nm_options + " --format=just-symbols " NYRA1_BINARY_DIR "/libnyra1_core.a 2>/dev/null";
    std::set<std::string> out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string s(line);
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
        if (!s.empty() && s.back() != ':') out.insert(s);
    }
    pclose(pipe);
    return out;
}

} // namespace

TEST(Freestanding, CoreNeedsNothingButBlockMovesFromOutside) {
    const auto defined = symbols("--defined-only");
    const auto undefined = symbols("--undefined-only");
    ASSERT_FALSE(defined.empty()) << "could not read libnyra1_core.a with nm";
    const std::set<std::string> allowed = {"memcpy", "memset", "memmove", "_GLOBAL_OFFSET_TABLE_"};
    for (const auto& s : undefined) {
        if (defined.count(s) || allowed.count(s)) continue;
        // The platform backend is linked beside the core.
        if (s.find("HardwareAccess") != std::string::npos) continue;
        ADD_FAILURE() << "the show core calls " << s;
    }
}
