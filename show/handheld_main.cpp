// The handheld program's entry: its start-up code (platform/gp2x/entry.cpp)
// hands it the environment, and the show ends by replacing the process with
// the menu program.
#include "platform/gp2x/entry.h"
#include "platform/gp2x/system_calls.h"
#include "show/show.h"

int32_t handheld_main(uint32_t, char* const*, char* const* envp) {
    Show::run(envp);
    // The exit to the menu program either replaced the process or failed and
    // said so; it never gets here.
    SystemCalls::fail("nyra1: show returned\n");
}
