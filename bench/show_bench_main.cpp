// The whole show, timed stage by stage: what nyra1 --bench prints.
#include <iostream>

#include "host/bench_mode.h"

int main() { return Host::run_bench(std::cout); }
