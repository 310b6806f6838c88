// The process entry on the handheld, without a C library: _start hands the
// argument count, the argument vector and the environment vector to the
// program's handheld_main, and the process ends with its result as the exit
// status.
#pragma once
#include <stdint.h>

int32_t handheld_main(uint32_t argc, char* const* argv, char* const* envp);
