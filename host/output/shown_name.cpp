#include "host/output/shown_name.h"

#include <cstdint>
#include <cstdio>

namespace Host {

namespace {

// The length of the printable UTF-8 character at text[at], or 0 when the
// byte there is a control character or does not start a well-formed
// sequence (overlong forms, surrogates and C1 controls included).
size_t printable_at(const std::string& text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(at);
    if (lead < 0x80) return lead >= 0x20 && lead != 0x7f ? 1 : 0;
    const size_t length = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc2 ? 2 : 0;
    if (length == 0 || lead > 0xf4 || at + length > text.size()) return 0;
    uint32_t code = lead & (0x7f >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xc0) != 0x80) return 0;
        code = code << 6 | (byte(at + i) & 0x3f);
    }
    static constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return 0;
    return code >= 0x80 && code <= 0x9f ? 0 : length;
}

void escape(std::string& out, uint8_t c) {
    switch (c) {
    case '\n': out += "\\n"; return;
    case '\t': out += "\\t"; return;
    case '\r': out += "\\r"; return;
    default: {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02x", c);
        out += hex;
    }
    }
}

bool plain(const std::string& text) {
    for (size_t at = 0; at < text.size();) {
        const size_t n = printable_at(text, at);
        if (n == 0) return false;
        at += n;
    }
    return true;
}

std::string shell_escaped(const std::string& name) {
    std::string out = "$'";
    for (size_t at = 0; at < name.size();) {
        const size_t n = printable_at(name, at);
        if (n == 0) {
            escape(out, static_cast<uint8_t>(name[at++]));
            continue;
        }
        if (name[at] == '\'' || name[at] == '\\') out += '\\';
        out.append(name, at, n);
        at += n;
    }
    return out + "'";
}

} // namespace

std::string shown_name(const std::string& name) { return plain(name) ? name : shell_escaped(name); }

std::string quoted_name(const std::string& name) {
    return plain(name) && name.find('\'') == std::string::npos ? "'" + name + "'" : shell_escaped(name);
}

std::string one_line(const std::string& text) {
    std::string out;
    for (size_t at = 0; at < text.size();) {
        const size_t n = printable_at(text, at);
        if (n == 0) {
            escape(out, static_cast<uint8_t>(text[at++]));
            continue;
        }
        out.append(text, at, n);
        at += n;
    }
    return out;
}

} // namespace Host
