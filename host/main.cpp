#include <cstdio>
#include "platform/host/display_controller.h"
#include "show/show.h"

extern char** environ;

int main() {
    Show::run(environ);
    std::printf("refreshes: %u\n", DisplayController::refreshes());
    return 0;
}
