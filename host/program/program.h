// The whole PC program behind main(): options, the chosen frontend, the show
// and the closing line. Exit status 0 when the show ended, 2 on a bad
// argument or an output that cannot be written.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

namespace Host {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 2;

// args: the arguments after the program name. out/err: where the closing
// line and the one-line errors go.
int run_program(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

} // namespace Host
