#include "handheld_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "elf_file.h"
#include "gdb_remote.h"
#include "platform/display.h"
#include "platform/hardware.h"

namespace fs = std::filesystem;
using namespace std::chrono;
using namespace HardwareAccess;

namespace {

constexpr uint64_t kMemoryFileSize = 0xC0010000ull;

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The physical memory as the harness sees it.
class PhysicalMemory {
public:
    explicit PhysicalMemory(const fs::path& file) {
        fd_ = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
        if (fd_ < 0) throw std::runtime_error("cannot open " + file.string());
        video_ = map(kVideoSize, kVideoPhysical);
        registers_ = map(kRegistersSize, kRegistersPhysical);
    }
    ~PhysicalMemory() {
        ::munmap(video_, kVideoSize);
        ::munmap(const_cast<uint8_t*>(registers_), kRegistersSize);
        ::close(fd_);
    }
    uint16_t read(uint32_t offset) const {
        return *reinterpret_cast<const volatile uint16_t*>(registers_ + offset);
    }
    void write(uint32_t offset, uint16_t value) {
        *reinterpret_cast<volatile uint16_t*>(registers_ + offset) = value;
    }
    const uint8_t* video() const { return video_; }
    uint32_t address(uint32_t low, uint32_t high) const {
        return static_cast<uint32_t>(read(high)) << 16 | read(low);
    }

private:
    uint8_t* map(uint32_t length, uint32_t physical) {
        void* p = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, physical);
        if (p == MAP_FAILED) throw std::runtime_error("cannot map the memory file");
        return static_cast<uint8_t*>(p);
    }
    int fd_ = -1;
    uint8_t* video_ = nullptr;
    volatile uint8_t* registers_ = nullptr;
};

std::vector<std::string> string_vector(GdbRemote& gdb, uint32_t address) {
    std::vector<std::string> strings;
    if (address == 0) return strings;
    for (;; address += 4) {
        const uint32_t p = gdb.read_word(address);
        if (p == 0) return strings;
        strings.push_back(gdb.read_string(p));
        if (strings.size() > 4096) throw std::runtime_error("unterminated vector");
    }
}

std::vector<Syscall> parse_trace(const std::string& log) {
    static const std::regex call(R"(^\d+ (\w+)\((.*?)\)(?: = (.*))?$)");
    std::vector<Syscall> calls;
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        std::smatch m;
        if (std::regex_match(line, m, call)) calls.push_back({m[1], m[2], m[3]});
    }
    return calls;
}

// The debugger stub's own time-outs are short; a whole run has a deadline.
struct Deadline {
    steady_clock::time_point end;
    milliseconds left() const {
        return std::max(milliseconds(0), duration_cast<milliseconds>(end - steady_clock::now()));
    }
    bool passed() const { return steady_clock::now() >= end; }
};

} // namespace

uint32_t picture_crc(const uint8_t* video, uint16_t format, uint16_t pitch, uint32_t address) {
    std::vector<uint8_t> shown(Display::kFrameBufferSize, 0);
    if (format == kFormat8Bit) {
        for (uint64_t y = 0; y < 240; ++y) {
            const uint64_t line = address + y * pitch;
            if (line < kVideoPhysical || line + 320 > uint64_t{kVideoPhysical} + kVideoSize) continue;
            std::memcpy(shown.data() + y * 320, video + (line - kVideoPhysical), 320);
        }
    }
    return static_cast<uint32_t>(crc32(0, shown.data(), static_cast<uInt>(shown.size())));
}

std::vector<std::string> HandheldRun::syscall_names() const {
    std::vector<std::string> names;
    for (const Syscall& s : syscalls) names.push_back(s.name);
    return names;
}

HandheldRun run_handheld(const HandheldOptions& options) {
    HandheldRun run;
    const auto started_at = steady_clock::now();

    char pattern[] = "/tmp/nyra1-gp2x-XXXXXX";
    if (!::mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    const fs::path prefix = pattern;
    struct Cleanup {
        fs::path p;
        ~Cleanup() {
            std::error_code ec;
            fs::remove_all(p, ec);
        }
    } cleanup{prefix};
    const fs::path device = prefix / "dev" / "mem";
    fs::create_directories(prefix / "dev");

    std::unique_ptr<PhysicalMemory> memory;
    switch (options.device) {
    case HandheldOptions::Device::MemoryFile: {
        const int fd = ::open(device.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(kMemoryFileSize)) != 0) {
            throw std::runtime_error("cannot create the memory file");
        }
        ::close(fd);
        memory = std::make_unique<PhysicalMemory>(device);
        // Released START reads 1 in bit 8 (and 1 in the bits nobody uses).
        memory->write(kButtons, options.start_from == 0 ? 0xFEFF : 0xFFFF);
        memory->write(kSyncPolarity, 0);
        memory->write(kSyncStatus, 0);
        break;
    }
    case HandheldOptions::Device::Directory:
        fs::create_directory(device);
        break;
    case HandheldOptions::Device::Fifo:
        if (::mkfifo(device.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
        break;
    case HandheldOptions::Device::Missing:
        break;
    }

    // Without PREFIX/dev/mem the emulator would open the host's own
    // /dev/mem: never start it then. A plain file must have the full size.
    struct stat st{};
    if (::lstat(device.c_str(), &st) != 0) {
        run.refusal = device.string() + " does not exist; not starting the emulator";
        return run;
    }
    if (S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) != kMemoryFileSize) {
        run.refusal = device.string() + " has the wrong size; not starting the emulator";
        return run;
    }

    const ElfFile symbols(NYRA1_ELF);
    const uint32_t read_register = symbols.symbol("_ZN14HardwareAccess13read_registerEj");
    const uint32_t exec_menu = symbols.symbol("_ZN14HardwareAccess9exec_menuEPKPc");

    const fs::path socket = prefix / "gdb.sock";
    const fs::path trace = prefix / "trace.txt";
    const fs::path errors = prefix / "stderr.txt";
    std::vector<std::string> args = {NYRA1_QEMU_ARM, "-cpu", "ti925t", "-L", prefix.string(),
                                     "-strace", "-D", trace.string()};
    if (options.lockstep) {
        args.push_back("-g");
        args.push_back(socket.string());
    }
    args.push_back(options.program);

    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int out = ::open("/dev/null", O_RDWR);
        const int err = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        std::vector<char*> argv, envp;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (const std::string& e : options.environment) envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    run.started = true;
    const Deadline deadline{started_at + options.limit};

    auto finish_process = [&](bool kill_it) {
        if (kill_it) ::kill(pid, SIGKILL);
        int status = 0;
        for (;;) {
            const pid_t r = ::waitpid(pid, &status, WNOHANG);
            if (r == pid) break;
            if (deadline.passed() && !kill_it) {
                run.problem += " the emulator did not end in time;";
                ::kill(pid, SIGKILL);
                kill_it = true;
            }
            std::this_thread::sleep_for(milliseconds(2));
        }
        if (WIFEXITED(status)) run.exit_status = WEXITSTATUS(status);
        if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    };

    bool kill_it = false;
    if (options.lockstep) {
        try {
            GdbRemote gdb(socket.string(), milliseconds(10000));
            // Stopped at the first instruction: the stack as the kernel left it.
            const uint32_t sp = gdb.read_register(13);
            const uint32_t argc = gdb.read_word(sp);
            run.entry_environment_address = sp + 4 + 4 * (argc + 1);
            run.entry_environment = string_vector(gdb, run.entry_environment_address);

            gdb.set_breakpoint(read_register);
            gdb.set_breakpoint(exec_menu);
            uint32_t syncs = 0;
            bool in_sync = true; // the next status read ends a sync period
            uint32_t stopped_at = 0; // the breakpoint the program stands on
            for (;;) {
                if (stopped_at) {
                    gdb.resume_from_breakpoint(stopped_at);
                } else {
                    gdb.resume();
                }
                auto stop = gdb.wait_stop(deadline.left());
                if (!stop) throw std::runtime_error("time limit reached after sync " + std::to_string(syncs));
                if ((*stop)[0] == 'W' || (*stop)[0] == 'X') break;
                const std::vector<uint32_t> r = gdb.read_registers();
                const uint32_t pc = r[15];
                stopped_at = pc;
                if (pc == exec_menu) {
                    run.menu_call_seen = true;
                    run.menu_environment = string_vector(gdb, r[0]);
                    // Step on to the execve trap and look at what it passes.
                    gdb.clear_breakpoint(exec_menu);
                    stopped_at = 0;
                    for (int steps = 0; steps < 1000; ++steps) {
                        const std::vector<uint32_t> q = gdb.read_registers();
                        if (gdb.read_word(q[15]) == 0xEF90000Bu) { // swi 0x90000b
                            run.execve_trapped = true;
                            run.execve_path = gdb.read_string(q[0]);
                            run.execve_arguments = q[1];
                            run.execve_environment = q[2];
                            break;
                        }
                        const std::string step = gdb.request("s");
                        if (step.empty() || step[0] != 'T') throw std::runtime_error("step failed: " + step);
                    }
                    continue;
                }
                if (pc != read_register) throw std::runtime_error("unexpected stop: " + *stop);
                if (r[0] != kSyncStatus) continue;

                // The status bit as the display drives it, one half period
                // per read: the read that ends a sync period sees the
                // polarity level, the next one sees the change to the other
                // level, which is the vertical sync.
                const uint16_t level = (memory->read(kSyncPolarity) & 1) ? kSyncStatusBit : 0;
                if (in_sync) {
                    in_sync = false;
                    memory->write(kSyncStatus, level);
                    continue;
                }
                in_sync = true;
                ++syncs;
                // Every flip before this sync is done and the buffer on
                // display is never written: this is the picture of the sync.
                const uint32_t address = memory->address(kAddressLow1, kAddressHigh1);
                if (address != memory->address(kAddressLow2, kAddressHigh2)) ++run.pair_mismatches;
                run.display_address.push_back(address);
                run.picture_crc.push_back(picture_crc(memory->video(), memory->read(kDisplayFormat),
                                                      memory->read(kLinePitch), address));
                memory->write(kSyncStatus, level ^ kSyncStatusBit);
                // Every START poll from here on sees the button held.
                if (options.start_from > 0 && syncs == static_cast<uint32_t>(options.start_from)) {
                    memory->write(kButtons, 0xFEFF);
                }
            }
        } catch (const std::exception& e) {
            run.problem = e.what();
            kill_it = true;
        }
    }
    finish_process(kill_it);

    if (memory) {
        run.final_address = memory->address(kAddressLow1, kAddressHigh1);
        run.display_format = memory->read(kDisplayFormat);
        run.line_pitch = memory->read(kLinePitch);
        run.final_crc = picture_crc(memory->video(), run.display_format, run.line_pitch, run.final_address);
        run.frame_buffers.assign(memory->video(), memory->video() + 2 * Display::kFrameBufferSize);
    }
    run.log = slurp(trace);
    run.error_output = slurp(errors);
    run.syscalls = parse_trace(run.log);
    run.seconds = duration<double>(steady_clock::now() - started_at).count();
    return run;
}
