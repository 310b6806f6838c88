#include "elf_file.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

template <typename T>
T load(const std::vector<uint8_t>& data, uint64_t offset) {
    if (offset + sizeof(T) > data.size()) throw std::runtime_error("ELF file truncated");
    T value;
    std::memcpy(&value, data.data() + offset, sizeof(T));
    return value;
}

std::string text_at(const std::vector<uint8_t>& data, uint64_t offset) {
    std::string s;
    while (offset < data.size() && data[offset]) s += static_cast<char>(data[offset++]);
    return s;
}

} // namespace

ElfFile::ElfFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    data_.assign(std::istreambuf_iterator<char>(in), {});
    if (data_.size() < 52 || std::memcmp(data_.data(), "\x7f" "ELF\x01\x01", 6) != 0) {
        throw std::runtime_error(path + " is not a 32-bit little-endian ELF file");
    }
    machine_ = load<uint16_t>(data_, 18);
    entry_ = load<uint32_t>(data_, 24);
    const uint32_t phoff = load<uint32_t>(data_, 28);
    const uint32_t shoff = load<uint32_t>(data_, 32);
    const uint16_t phentsize = load<uint16_t>(data_, 42), phnum = load<uint16_t>(data_, 44);
    const uint16_t shentsize = load<uint16_t>(data_, 46), shnum = load<uint16_t>(data_, 48);
    const uint16_t shstrndx = load<uint16_t>(data_, 50);

    for (uint32_t i = 0; i < phnum; ++i) {
        const uint64_t p = phoff + uint64_t{i} * phentsize;
        const uint32_t type = load<uint32_t>(data_, p);
        if (type == 3) interpreter_ = true; // PT_INTERP
        if (type != 1) continue;            // PT_LOAD
        const uint32_t offset = load<uint32_t>(data_, p + 4);
        const uint32_t filesz = load<uint32_t>(data_, p + 16);
        if (uint64_t{offset} + filesz > data_.size()) throw std::runtime_error("ELF segment truncated");
        loaded_.push_back({load<uint32_t>(data_, p + 8), load<uint32_t>(data_, p + 20),
                           std::vector<uint8_t>(data_.begin() + offset, data_.begin() + offset + filesz),
                           load<uint32_t>(data_, p + 24)});
    }

    for (uint32_t i = 0; i < shnum; ++i) {
        const uint64_t s = shoff + uint64_t{i} * shentsize;
        sections_.push_back({std::to_string(load<uint32_t>(data_, s)), load<uint32_t>(data_, s + 4),
                             load<uint32_t>(data_, s + 16), load<uint32_t>(data_, s + 20),
                             load<uint32_t>(data_, s + 24), load<uint32_t>(data_, s + 36)});
    }
    if (shstrndx < sections_.size()) {
        const uint32_t names = sections_[shstrndx].offset;
        for (Section& section : sections_) section.name = text_at(data_, names + std::stoul(section.name));
    }
}

std::vector<std::string> ElfFile::section_names() const {
    std::vector<std::string> names;
    for (const Section& s : sections_) names.push_back(s.name);
    return names;
}

uint32_t ElfFile::symbol(const std::string& name) const {
    for (const Section& table : sections_) {
        if (table.type != 2 || table.entsize != 16) continue; // SHT_SYMTAB
        const uint32_t strings = sections_.at(table.link).offset;
        for (uint32_t at = 0; at + 16 <= table.size; at += 16) {
            const uint64_t e = table.offset + at;
            if (text_at(data_, strings + load<uint32_t>(data_, e)) == name) {
                return load<uint32_t>(data_, e + 4);
            }
        }
    }
    throw std::runtime_error("symbol " + name + " not found");
}
