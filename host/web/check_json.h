// What the page's editor marks of a script's check, as JSON, the same from
// the page's module and from the checker's worker:
// {"accepted":true,"refusal":null or {"line":L,"column":C,"message":"..."},
//  "warnings":[{"line":L,"column":C,"message":"..."},...],"refreshes":N}
// (refreshes: the show's length when accepted, else 0).
#pragma once
#include <cstdio>
#include <string>

#include "host/viewer/script.h"

namespace Web {

// s as a JSON string.
inline std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

inline std::string finding_json(const Host::ScriptFinding& f) {
    return "{\"line\":" + std::to_string(f.place.line) + ",\"column\":" + std::to_string(f.place.column) +
           ",\"message\":" + quoted(f.message) + "}";
}

inline std::string check_json(const Host::ScriptCheck& check) {
    std::string out = std::string("{\"accepted\":") + (check.accepted() ? "true" : "false") +
                      ",\"refusal\":" + (check.refusal ? finding_json(*check.refusal) : "null") + ",\"warnings\":[";
    for (size_t i = 0; i < check.warnings.size(); ++i) out += (i ? "," : "") + finding_json(check.warnings[i]);
    return out + "],\"refreshes\":" + std::to_string(check.accepted() ? check.timeline.refreshes : 0) + "}";
}

} // namespace Web
