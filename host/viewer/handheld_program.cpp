#include "host/viewer/handheld_program.h"

#include <algorithm>
#include <cstddef>
#include <functional>

#include "data/assets.h"

namespace Host {

namespace {

constexpr uint16_t kArmMachine = 40;

uint32_t read32(const uint8_t* at) {
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24;
}

// Where the slot's marker stands in the program: exactly once, in a 32-bit
// little-endian ARM ELF file, with this build's capacity after it.
std::optional<size_t> find_slot(const std::vector<uint8_t>& program, std::string& reason) {
    const uint8_t elf[] = {0x7F, 'E', 'L', 'F', 1 /* 32-bit */, 1 /* little-endian */};
    if (program.size() < 52 || !std::equal(std::begin(elf), std::end(elf), program.begin()) ||
        (program[18] | program[19] << 8) != kArmMachine) {
        reason = "it is not a handheld program (a 32-bit ARM ELF file like nyra1.gpe)";
        return std::nullopt;
    }
    const std::string_view marker(Assets::kScriptMarker, Assets::kScriptMarkerSize);
    // A plain search: the page's standard library has no searcher objects,
    // and a program is some 30 KB.
    const auto search = [&](std::vector<uint8_t>::const_iterator from) {
        return std::search(from, program.end(), marker.begin(), marker.end(),
                           [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); });
    };
    const auto first = search(program.begin());
    if (first == program.end()) {
        reason = "it has no script slot (a nyra1.gpe made before scripts could be put in)";
        return std::nullopt;
    }
    if (search(first + 1) != program.end()) {
        reason = "its script slot's marker is in it twice";
        return std::nullopt;
    }
    const size_t at = static_cast<size_t>(first - program.begin());
    const size_t text = at + offsetof(Assets::ScriptSlot, text);
    if (text + Assets::kScriptCapacity > program.size() ||
        read32(&program[at + offsetof(Assets::ScriptSlot, capacity)]) != Assets::kScriptCapacity) {
        reason = "its script slot is not of this nyra1's kind (" + std::to_string(Assets::kScriptCapacity) +
                 " bytes)";
        return std::nullopt;
    }
    return text;
}

} // namespace

bool put_script(std::vector<uint8_t>& program, std::string_view script, std::string& reason) {
    const std::optional<size_t> text = find_slot(program, reason);
    if (!text) return false;
    if (script.size() >= Assets::kScriptCapacity || script.find('\0') != std::string_view::npos) {
        reason = "the script does not fit the script slot";
        return false;
    }
    std::fill_n(program.begin() + static_cast<std::ptrdiff_t>(*text), Assets::kScriptCapacity, uint8_t{0});
    std::copy(script.begin(), script.end(), program.begin() + static_cast<std::ptrdiff_t>(*text));
    return true;
}

std::optional<std::string> script_of(const std::vector<uint8_t>& program, std::string& reason) {
    const std::optional<size_t> text = find_slot(program, reason);
    if (!text) return std::nullopt;
    const auto begin = program.begin() + static_cast<std::ptrdiff_t>(*text);
    const auto end = std::find(begin, begin + Assets::kScriptCapacity, uint8_t{0});
    if (end == begin + Assets::kScriptCapacity) {
        reason = "its script slot holds no terminated text";
        return std::nullopt;
    }
    return std::string(begin, end);
}

} // namespace Host
