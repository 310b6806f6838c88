// The page's checker: the script check alone, in a worker of its own, so
// that checking as people type never holds up the page's frames. The worker
// (checker_worker.js, appended to this module) takes a script's text and
// answers with the check (check_json.h) and how long it took.
#include <emscripten.h>

#include <string>

#include "host/web/check_json.h"

namespace {
std::string answer;
}

extern "C" EMSCRIPTEN_KEEPALIVE const char* nyra1_check(const char* bytes, int size) {
    answer = Web::check_json(Host::check_script({bytes, static_cast<size_t>(size)}));
    return answer.c_str();
}

int main() { return 0; }
