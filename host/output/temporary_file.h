// Output files are written under a temporary name beside their own and
// renamed when complete, so that the real name only ever holds a finished
// file, and a link of that name is replaced rather than followed.
#pragma once
#include <string>

namespace Host {

// Creates an empty file from pattern (ending in XXXXXX, replaced in place)
// with the permissions any new file gets here, 0666 less the umask, rather
// than mkstemp's 0600. False, with errno set, when it cannot.
bool create_temporary(std::string& pattern);

} // namespace Host
