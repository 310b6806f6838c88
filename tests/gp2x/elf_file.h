// Just enough of a 32-bit little-endian ELF reader to find symbols in the
// unstripped program and to compare its loaded bytes with the stripped one.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ElfSegment {
    uint32_t address;
    uint32_t memory_size;
    std::vector<uint8_t> bytes; // the part stored in the file
    uint32_t flags;
};

class ElfFile {
public:
    explicit ElfFile(const std::string& path); // throws std::runtime_error
    uint32_t entry() const { return entry_; }
    uint16_t machine() const { return machine_; }
    const std::vector<ElfSegment>& loaded() const { return loaded_; }
    bool has_interpreter() const { return interpreter_; }
    std::vector<std::string> section_names() const;
    // Address of a symbol; throws when the file has no such symbol.
    uint32_t symbol(const std::string& name) const;

private:
    std::vector<uint8_t> data_;
    uint32_t entry_ = 0;
    uint16_t machine_ = 0;
    bool interpreter_ = false;
    std::vector<ElfSegment> loaded_;
    struct Section {
        std::string name;
        uint32_t type, offset, size, link, entsize;
    };
    std::vector<Section> sections_;
};
