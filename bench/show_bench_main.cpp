// The whole show, timed stage by stage: what nyra1 --bench prints.
//   show_bench [ROUNDS]    plays the show ROUNDS times (default 1)
#include <cstdlib>
#include <iostream>

#include "host/program/bench_mode.h"

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 1;
    if (argc > 2 || rounds < 1) {
        std::cerr << "usage: show_bench [ROUNDS]\n";
        return 2;
    }
    return Host::run_bench(std::cout, rounds);
}
