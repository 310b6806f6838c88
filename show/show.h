// The show: start-up, the effects in their fixed order, and the exit to the
// menu program.
#pragma once

namespace Show {

// Plays the show once. Its last act is the exit to the menu program with the
// environment received at entry; where that exit does not replace the
// process, it returns afterwards.
void run(char* const* envp);

} // namespace Show
