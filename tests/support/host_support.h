// Helpers for the PC program's tests: running it with its output caught,
// and scratch folders.
#pragma once
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

// A new empty folder under the system's temporary folder.
std::string temp_folder(const std::string& prefix = "nyra1-test");

std::set<std::string> names_in(const std::string& folder);
