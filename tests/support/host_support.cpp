#include "support/host_support.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "host/program/program.h"
#include "host/viewer/script.h"

namespace fs = std::filesystem;

namespace {

// Every test starts with the built-in script in use, as the program does;
// one that ran the program with --script has left that script in use.
class BuiltInScript : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { Host::use_script(Host::Script::built_in()); }
};

const bool built_in_script_listener = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new BuiltInScript);
    return true;
}();

} // namespace

namespace {

std::string slurp(std::FILE* f) {
    std::string text;
    std::rewind(f);
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    std::fclose(f);
    return text;
}

} // namespace

Outcome run(const std::vector<std::string>& args) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int status = Host::run_program(args, out, err);
    return {status, slurp(out), slurp(err)};
}

Outcome run(const std::vector<std::string>& args, std::FILE* out) {
    std::FILE* err = std::tmpfile();
    const int status = Host::run_program(args, out, err);
    return {status, "", slurp(err)};
}

PathGuard::PathGuard(const std::string& path) : old_(std::getenv("PATH") ? std::getenv("PATH") : "") {
    setenv("PATH", path.c_str(), 1);
}

PathGuard::~PathGuard() { setenv("PATH", old_.c_str(), 1); }

std::string temp_folder(const std::string& prefix) {
    std::string path = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    EXPECT_NE(mkdtemp(path.data()), nullptr);
    return path;
}

std::set<std::string> names_in(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}
