// nyra1: the show on a PC, in a window as a viewer, or headless as PNG
// frames, a video or a bench (host/program/program.h).
#include <cstdio>
#include <string>
#include <vector>

#include "host/program/program.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return Host::run_program(args, stdout, stderr);
}
