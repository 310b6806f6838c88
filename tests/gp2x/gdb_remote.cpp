#include "gdb_remote.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace {

std::string hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%x", v);
    return buf;
}

std::vector<uint8_t> from_hex(const std::string& text) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

uint32_t little_endian(const std::vector<uint8_t>& b) {
    if (b.size() < 4) throw std::runtime_error("short register or memory reply");
    return b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
}

} // namespace

GdbRemote::GdbRemote(const std::string& socket_path, std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socket_path.size() >= sizeof address.sun_path) throw std::runtime_error("socket path too long");
    std::strcpy(address.sun_path, socket_path.c_str());
    for (;;) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0) throw std::runtime_error("socket failed");
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) break;
        ::close(fd_);
        fd_ = -1;
        if (std::chrono::steady_clock::now() > deadline) {
            throw std::runtime_error("the emulator's debugger socket did not open");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // Without acknowledgements where the stub allows it; otherwise every
    // packet received is acknowledged.
    acknowledge_ = request("QStartNoAckMode") != "OK";
}

GdbRemote::~GdbRemote() {
    if (fd_ >= 0) ::close(fd_);
}

bool GdbRemote::read_byte(char& c, std::chrono::milliseconds timeout) {
    if (pending_.empty()) {
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(timeout.count()));
        if (ready == 0) return false;
        char buf[4096];
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n <= 0) throw std::runtime_error("the emulator closed the debugger connection");
        pending_.assign(buf, static_cast<size_t>(n));
    }
    c = pending_[0];
    pending_.erase(0, 1);
    return true;
}

void GdbRemote::send(const std::string& packet) {
    unsigned sum = 0;
    for (unsigned char c : packet) sum += c;
    char tail[4];
    std::snprintf(tail, sizeof tail, "#%02x", sum & 0xFF);
    const std::string framed = "$" + packet + tail;
    size_t done = 0;
    while (done < framed.size()) {
        const ssize_t n = ::write(fd_, framed.data() + done, framed.size() - done);
        if (n <= 0) throw std::runtime_error("writing to the debugger connection failed");
        done += static_cast<size_t>(n);
    }
}

std::optional<std::string> GdbRemote::receive(std::chrono::milliseconds timeout) {
    char c;
    do {
        if (!read_byte(c, timeout)) return std::nullopt;
    } while (c != '$'); // acknowledgements before no-ack mode, if any
    std::string body;
    for (;;) {
        if (!read_byte(c, std::chrono::milliseconds(5000))) throw std::runtime_error("packet cut off");
        if (c == '#') break;
        body += c;
    }
    char sum[2];
    read_byte(sum[0], std::chrono::milliseconds(5000));
    read_byte(sum[1], std::chrono::milliseconds(5000));
    if (acknowledge_ && ::write(fd_, "+", 1) != 1) throw std::runtime_error("acknowledgement failed");
    return body;
}

std::string GdbRemote::request(const std::string& packet) {
    send(packet);
    auto reply = receive(std::chrono::milliseconds(5000));
    if (!reply) throw std::runtime_error("no reply to " + packet);
    return *reply;
}

void GdbRemote::set_breakpoint(uint32_t address) {
    const std::string reply = request("Z0," + hex(address) + ",4");
    if (reply != "OK") throw std::runtime_error("breakpoint refused: " + reply);
}

void GdbRemote::clear_breakpoint(uint32_t address) {
    const std::string reply = request("z0," + hex(address) + ",4");
    if (reply != "OK") throw std::runtime_error("breakpoint removal refused: " + reply);
}

std::vector<uint32_t> GdbRemote::read_registers() {
    // The whole register file: r0..r15 first, 8 hex digits each.
    const std::string all = request("g");
    if (all.size() < 16 * 8 || all[0] == 'E') throw std::runtime_error("register read refused: " + all);
    std::vector<uint32_t> r;
    for (size_t i = 0; i < 16; ++i) r.push_back(little_endian(from_hex(all.substr(i * 8, 8))));
    return r;
}

uint32_t GdbRemote::read_register(int number) { return read_registers().at(static_cast<size_t>(number)); }

std::vector<uint8_t> GdbRemote::read_memory(uint32_t address, uint32_t length) {
    const std::string reply = request("m" + hex(address) + "," + hex(length));
    if (reply.empty() || reply[0] == 'E') throw std::runtime_error("memory read refused: " + reply);
    return from_hex(reply);
}

uint32_t GdbRemote::read_word(uint32_t address) { return little_endian(read_memory(address, 4)); }

std::string GdbRemote::read_string(uint32_t address) {
    std::string s;
    for (;;) {
        // Never past the end of the page: the next one may not be mapped.
        const uint32_t length = std::min<uint32_t>(64, 4096 - (address & 4095));
        const std::vector<uint8_t> chunk = read_memory(address, length);
        for (uint8_t b : chunk) {
            if (b == 0) return s;
            s += static_cast<char>(b);
        }
        address += length;
        if (s.size() > 65536) throw std::runtime_error("unterminated string");
    }
}

void GdbRemote::resume() { send("c"); }

void GdbRemote::resume_from_breakpoint(uint32_t address) {
    clear_breakpoint(address);
    const std::string stop = request("s");
    if (stop.empty() || (stop[0] != 'T' && stop[0] != 'S')) throw std::runtime_error("step refused: " + stop);
    set_breakpoint(address);
    resume();
}

std::optional<std::string> GdbRemote::wait_stop(std::chrono::milliseconds timeout) {
    return receive(timeout);
}
