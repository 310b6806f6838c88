#include "support/host_support.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "host/program/program.h"

namespace fs = std::filesystem;

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
