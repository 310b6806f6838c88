// Helpers for the PC program's tests: running it with its output caught,
// and scratch folders.
#pragma once
#include <cstdio>
#include <set>
#include <string>
#include <vector>

// What one run of the program printed and returned.
struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome run(const std::vector<std::string>& args);
// The same with the standard output given (such as /dev/full); what it
// holds is not read back, and Outcome::out stays empty.
Outcome run(const std::vector<std::string>& args, std::FILE* out);

// A new empty folder under the system's temporary folder.
std::string temp_folder(const std::string& prefix = "nyra1-test");

std::set<std::string> names_in(const std::string& folder);

// PATH set to another value for its lifetime.
class PathGuard {
public:
    explicit PathGuard(const std::string& path);
    ~PathGuard();
    PathGuard(const PathGuard&) = delete;
    PathGuard& operator=(const PathGuard&) = delete;

private:
    std::string old_;
};
