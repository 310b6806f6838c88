#include "host/viewer/inside/draw.h"

#include <cstdio>


namespace Host::Inside {

std::string number(long n) {
    char out[32];
    std::snprintf(out, sizeof out, "%ld", n);
    return out;
}

std::string degrees(uint32_t angle) {
    const long tenths = (static_cast<long>(angle & 0xFFFF) * 3600 + 32768) / 65536;
    char out[32];
    std::snprintf(out, sizeof out, "%ld.%ld", tenths / 10, tenths % 10);
    return out;
}

} // namespace Host::Inside
