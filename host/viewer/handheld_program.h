// The handheld program with a script of one's own: nyra1.gpe carries the
// scroll text in its script slot (data/assets.h), and putting another
// script there needs no compiler, only these bytes written anew. The
// program still reads no file when it runs. Plain standard C++, for every
// frontend that offers the handheld's program (the PC program's
// --export-gpe, the page's download).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Host {

// Puts `text` (a script the check accepted) into the script slot of
// `program`, the bytes of a nyra1.gpe. False, with the reason, when the
// bytes are not a handheld program with a script slot of this build's kind,
// or the text does not fit it; the bytes are then as they were.
bool put_script(std::vector<uint8_t>& program, std::string_view text, std::string& reason);

// The script a handheld program carries, or nothing (with the reason).
std::optional<std::string> script_of(const std::vector<uint8_t>& program, std::string& reason);

} // namespace Host
