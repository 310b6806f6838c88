#include "host/output/temporary_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace Host {

bool create_temporary(std::string& pattern) {
    const int fd = mkstemp(pattern.data());
    if (fd < 0) return false;
    const mode_t mask = umask(0);
    umask(mask);
    const bool made = fchmod(fd, 0666 & ~mask) == 0;
    const int saved = errno;
    ::close(fd);
    if (made) return true;
    ::unlink(pattern.c_str());
    errno = saved;
    return false;
}

} // namespace Host
