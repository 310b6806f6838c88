// The event logs the ARM counting plugins write (bench/qemu/): a header
// line "KIND NAME...", then one line per marker: its four words, the
// instructions executed so far and one count per name.
#pragma once
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct LogEvent {
    uint32_t words[4] = {};
    uint64_t total = 0;
    std::vector<uint64_t> values;
};

struct EventLog {
    std::vector<std::string> names;
    std::vector<LogEvent> events;
};

// Reads a log whose header starts with `kind`; false when it cannot be read,
// is of another kind or holds no event.
inline bool read_event_log(const std::string& path, const std::string& kind, EventLog& log) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) return false;
    std::istringstream head(line);
    std::string word;
    head >> word;
    if (word != kind) return false;
    while (head >> word) log.names.push_back(word);
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        LogEvent e;
        fields >> e.words[0] >> e.words[1] >> e.words[2] >> e.words[3] >> e.total;
        e.values.resize(log.names.size());
        for (uint64_t& v : e.values) fields >> v;
        if (!fields) return false;
        log.events.push_back(std::move(e));
    }
    return !log.events.empty();
}
