// The handheld program itself, run in the ARM emulator against a memory file
// standing for the handheld's physical memory, compared sync by sync with the
// PC model playing the same show.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
#include <set>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include "elf_file.h"
#include "handheld_run.h"
#include "platform/host/display_controller.h"
#include "show/show.h"

namespace {

using Names = std::vector<std::string>;

// The show on the PC model, in virtual time: refresh n is sync n.
struct ModelRun {
    std::vector<uint32_t> picture_crc;
    std::vector<uint32_t> display_address;
    uint32_t final_crc = 0;
    DisplayController::Ending ending = DisplayController::Ending::Running;
    bool overran = false;
};

constexpr size_t kMaximumSyncs = 20000;

class ModelFrontend : public DisplayController::Frontend {
public:
    ModelFrontend(ModelRun& out, long start_from) : out_(out), start_from_(start_from) {}
    void refresh(const DisplayController::Refresh& r) override {
        const uint32_t crc = static_cast<uint32_t>(crc32(0, r.pixels, 320 * 240));
        if (r.final) {
            out_.final_crc = crc;
            return;
        }
        out_.picture_crc.push_back(crc);
        out_.display_address.push_back(DisplayController::display_address());
    }
    bool start_held() override {
        // A show that does not end by itself is stopped (and reported).
        if (out_.picture_crc.size() > kMaximumSyncs) out_.overran = true;
        return out_.overran || (start_from_ >= 0 && out_.picture_crc.size() >= static_cast<size_t>(start_from_));
    }

private:
    ModelRun& out_;
    long start_from_;
};

// The model keeps its state in statics, so each play runs in a child process
// of its own and sends its results back through a pipe.
ModelRun play_model(long start_from) {
    int channel[2];
    if (pipe(channel) != 0) throw std::runtime_error("pipe failed");
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        ModelRun run;
        ModelFrontend frontend(run, start_from);
        DisplayController::attach(&frontend);
        char* no_environment[] = {nullptr};
        Show::run(no_environment);
        std::vector<uint32_t> words = {static_cast<uint32_t>(run.picture_crc.size()), run.final_crc,
                                       static_cast<uint32_t>(DisplayController::ending()), run.overran};
        words.insert(words.end(), run.picture_crc.begin(), run.picture_crc.end());
        words.insert(words.end(), run.display_address.begin(), run.display_address.end());
        const char* p = reinterpret_cast<const char*>(words.data());
        size_t left = words.size() * 4;
        while (left > 0) {
            const ssize_t n = write(channel[1], p, left);
            if (n <= 0) _exit(1);
            p += n;
            left -= static_cast<size_t>(n);
        }
        _exit(0);
    }
    close(channel[1]);
    std::vector<uint32_t> words;
    uint32_t word;
    while (read(channel[0], &word, 4) == 4) words.push_back(word);
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ModelRun run;
    if (words.size() < 4 || words.size() != 4 + 2 * size_t{words[0]}) {
        run.overran = true;
        return run;
    }
    run.final_crc = words[1];
    run.ending = static_cast<DisplayController::Ending>(words[2]);
    run.overran = words[3] != 0;
    run.picture_crc.assign(words.begin() + 4, words.begin() + 4 + words[0]);
    run.display_address.assign(words.begin() + 4 + words[0], words.end());
    return run;
}

const std::vector<std::string> kEnvironment = {"HOME=/home/nyra", "LANG=C", "NYRA1_CHECK=one two=three",
                                               "PATH=/usr/gp2x:/bin", "EMPTY="};

HandheldOptions lockstep(long start_from) {
    HandheldOptions o;
    o.start_from = start_from;
    o.environment = kEnvironment;
    return o;
}

std::string describe(const HandheldRun& run) {
    std::string s = "problem: " + run.problem + "\nexit " + std::to_string(run.exit_status) +
                    ", signal " + std::to_string(run.signal) + ", " + std::to_string(run.picture_crc.size()) +
                    " syncs, " + std::to_string(run.seconds) + " s\nstderr: " + run.error_output + "\ntrace:\n";
    s += run.log.size() > 4000 ? run.log.substr(0, 4000) + "..." : run.log;
    return s;
}

uint32_t hex_value(const std::string& text) { return static_cast<uint32_t>(std::stoul(text, nullptr, 0)); }

// Sync-by-sync equality with the model: the same picture indices on display
// and the same display address at every sync, and the same final picture.
void expect_same_pictures(const HandheldRun& run, const ModelRun& model) {
    ASSERT_EQ(run.picture_crc.size(), model.picture_crc.size()) << "syncs met";
    size_t mismatches = 0;
    for (size_t n = 0; n < model.picture_crc.size(); ++n) {
        if (run.picture_crc[n] == model.picture_crc[n] && run.display_address[n] == model.display_address[n]) {
            continue;
        }
        if (++mismatches <= 5) {
            ADD_FAILURE() << "sync " << n + 1 << ": handheld picture " << std::hex << run.picture_crc[n]
                          << " at " << run.display_address[n] << ", model " << model.picture_crc[n] << " at "
                          << model.display_address[n];
        }
    }
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(run.final_crc, model.final_crc) << "picture left on display";
    EXPECT_EQ(run.pair_mismatches, 0u) << "both display address pairs always hold the same address";
}

// open "/dev/mem" read-write, then the video memory, then the registers.
void expect_opening(const HandheldRun& run) {
    ASSERT_GE(run.syscalls.size(), 3u);
    EXPECT_EQ(run.syscalls[0].arguments, "\"/dev/mem\",O_RDWR");
    EXPECT_GE(std::stol(run.syscalls[0].result), 0);
}

void expect_menu_start(const HandheldRun& run, size_t at) {
    ASSERT_GE(run.syscalls.size(), at + 4);
    EXPECT_EQ(run.syscalls[at].arguments, "\"/usr/gp2x\"");
    EXPECT_TRUE(run.syscalls[at + 1].arguments.starts_with("\"/usr/gp2x/gp2xmenu\","))
        << run.syscalls[at + 1].arguments;
    ASSERT_TRUE(run.execve_trapped);
    EXPECT_EQ(run.execve_path, "/usr/gp2x/gp2xmenu");
    EXPECT_EQ(run.execve_arguments, 0u) << "a null argument vector";
    EXPECT_EQ(run.execve_environment, run.entry_environment_address)
        << "the very environment vector the program received";
    EXPECT_TRUE(run.syscalls[at + 2].arguments.starts_with("2,")) << "the message goes to standard error";
    EXPECT_EQ(run.syscalls[at + 3].arguments, "1");
    EXPECT_EQ(run.error_output, "nyra1: cannot start /usr/gp2x/gp2xmenu\n");
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_TRUE(run.menu_call_seen);
    // The emulator hands the strings over in an order of its own.
    std::vector<std::string> received = run.entry_environment, given = kEnvironment;
    std::sort(received.begin(), received.end());
    std::sort(given.begin(), given.end());
    EXPECT_EQ(received, given) << "what the emulator handed over";
    EXPECT_EQ(run.menu_environment, run.entry_environment) << "the environment goes on unchanged";
}

} // namespace

TEST(HandheldProgram, IsAStaticArmV4TProgramWithoutNewerInstructions) {
    const ElfFile gpe(NYRA1_GPE), elf(NYRA1_ELF);
    EXPECT_EQ(gpe.machine(), 40) << "ARM";
    EXPECT_FALSE(gpe.has_interpreter()) << "static, no dynamic loader";
    EXPECT_EQ(gpe.entry(), elf.symbol("_start"));
    for (const std::string& name : elf.section_names()) {
        EXPECT_TRUE(name != ".init_array" && name != ".ctors" && name != ".dynamic" && name != ".got" &&
                    name != ".ARM.exidx" && name != ".tbss" && name != ".tdata")
            << "nothing runs before _start and nothing is linked at run time: " << name;
    }
    // The file that is tested and copied is the one the symbols describe:
    // the same loaded bytes, apart from the file header's section table fields.
    ASSERT_EQ(gpe.loaded().size(), elf.loaded().size());
    for (size_t i = 0; i < gpe.loaded().size(); ++i) {
        const std::vector<uint8_t>& a = gpe.loaded()[i].bytes;
        const std::vector<uint8_t>& b = elf.loaded()[i].bytes;
        const size_t from = i == 0 ? 52 : 0;
        EXPECT_EQ(gpe.loaded()[i].address, elf.loaded()[i].address);
        ASSERT_EQ(a.size(), b.size());
        EXPECT_TRUE(std::equal(a.begin() + from, a.end(), b.begin() + from)) << "segment " << i;
    }

    auto output = [](const std::string& command) {
        std::string text;
        std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
        std::array<char, 4096> buf;
        size_t n;
        while (pipe && (n = fread(buf.data(), 1, buf.size(), pipe.get())) > 0) text.append(buf.data(), n);
        return text;
    };
    const std::string attributes = output(std::string(NYRA1_READELF) + " -A " + NYRA1_GPE);
    EXPECT_NE(attributes.find("Tag_CPU_arch: v4T\n"), std::string::npos) << attributes;
    EXPECT_EQ(attributes.find("VFP"), std::string::npos) << attributes;

    // ARMv5 and later instructions the ARM920T would trap on.
    const std::string code = output(std::string(NYRA1_OBJDUMP) + " -d --no-show-raw-insn " + NYRA1_ELF);
    static const std::regex newer(
        R"(\t(blx|clz|bkpt|ldrd|strd|pld|smla\w*|smul\w*|smlal\w\w|qd?add|qd?sub|mcrr2?|mrrc2?|ldc2|stc2|cdp2|mcr2|mrc2|ldrex\w*|strex\w*|rev\w*|uxt\w*|sxt\w*|movw|movt)\b)");
    std::smatch m;
    EXPECT_FALSE(std::regex_search(code, m, newer)) << "found: " << m.str();
    // System calls only in the old convention, number in the trap: exit,
    // write, open, close, execve, chdir, mmap (old form), munmap.
    static const std::regex trap(R"(\t(?:svc|swi)\t(0x[0-9a-f]+))");
    std::set<uint32_t> traps;
    for (auto it = std::sregex_iterator(code.begin(), code.end(), trap); it != std::sregex_iterator(); ++it) {
        traps.insert(hex_value((*it)[1]));
    }
    EXPECT_EQ(traps, (std::set<uint32_t>{0x900001, 0x900004, 0x900005, 0x900006, 0x90000b, 0x90000c, 0x90005a,
                                         0x90005b}));

    const auto size = std::filesystem::file_size(NYRA1_GPE);
    std::printf("nyra1.gpe: %ju bytes (%.1f KiB)\n", static_cast<uintmax_t>(size), size / 1024.0);
    RecordProperty("stripped_size", static_cast<int>(size));
    EXPECT_LT(size, 256u * 1024u);
}

TEST(HandheldProgram, RefusesToRunWithoutTheMemoryFile) {
    HandheldOptions o;
    o.device = HandheldOptions::Device::Missing;
    const HandheldRun run = run_handheld(o);
    EXPECT_FALSE(run.started) << "the emulator would have opened the host's /dev/mem";
    EXPECT_NE(run.refusal.find("dev/mem does not exist"), std::string::npos) << run.refusal;
}

// Without the right to the device nothing is touched: open fails, one line on
// standard error, status 1 (a register access would end the process by a
// signal instead).
TEST(HandheldProgram, FailedOpenEndsBeforeAnyAccess) {
    HandheldOptions o;
    o.device = HandheldOptions::Device::Directory; // open read-write fails
    o.lockstep = false;
    o.limit = std::chrono::seconds(30);
    const HandheldRun run = run_handheld(o);
    ASSERT_TRUE(run.started) << run.refusal;
    EXPECT_EQ(run.syscall_names(), (Names{"open", "write", "exit"})) << describe(run);
    EXPECT_LT(std::stol(run.syscalls.at(0).result), 0);
    EXPECT_EQ(run.error_output, "nyra1: cannot open /dev/mem\n");
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.signal, 0);
}

TEST(HandheldProgram, FailedMappingEndsBeforeAnyAccess) {
    HandheldOptions o;
    o.device = HandheldOptions::Device::Fifo; // opens, but cannot be mapped
    o.lockstep = false;
    o.limit = std::chrono::seconds(30);
    const HandheldRun run = run_handheld(o);
    ASSERT_TRUE(run.started) << run.refusal;
    EXPECT_EQ(run.syscall_names(), (Names{"open", "mmap", "write", "exit"})) << describe(run);
    EXPECT_GE(std::stol(run.syscalls.at(0).result), 0);
    EXPECT_EQ(run.error_output, "nyra1: cannot map /dev/mem\n");
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.signal, 0);
}

// START held while the program starts: the hardware is opened, the video mode
// set and the tables built, then the menu is started at once, without
// releasing anything.
TEST(HandheldProgram, StartHeldFromTheBeginningGoesStraightToTheMenu) {
    const ModelRun model = play_model(0);
    const HandheldRun run = run_handheld(lockstep(0));
    ASSERT_TRUE(run.problem.empty()) << describe(run);
    EXPECT_EQ(run.syscall_names(), (Names{"open", "mmap", "mmap", "chdir", "execve", "write", "exit"}))
        << describe(run);
    expect_opening(run);
    expect_menu_start(run, 3);
    EXPECT_EQ(run.picture_crc.size(), 1u) << "only init_video's sync";
    expect_same_pictures(run, model);
    EXPECT_EQ(run.display_format, 0x2AB);
    EXPECT_EQ(run.line_pitch, 320);
    EXPECT_EQ(run.final_address, 0x3000000u);
}

// START held from sync K of the plasma: the frame after that sync is shown,
// the next poll sees START and the menu is started; no further sync is
// waited for and nothing is released.
TEST(HandheldProgram, StartHeldDuringTheShowIsSeenAtTheNextPoll) {
    constexpr long kSync = 1000;
    const ModelRun model = play_model(kSync);
    ASSERT_EQ(model.ending, DisplayController::Ending::StoppedByStart);
    ASSERT_EQ(model.picture_crc.size(), static_cast<size_t>(kSync));
    HandheldOptions options = lockstep(kSync);
    options.limit = std::chrono::seconds(300);
    const HandheldRun run = run_handheld(options);
    ASSERT_TRUE(run.problem.empty()) << describe(run);
    EXPECT_EQ(run.syscall_names(), (Names{"open", "mmap", "mmap", "chdir", "execve", "write", "exit"}))
        << describe(run);
    expect_menu_start(run, 3);
    expect_same_pictures(run, model);
}

// The whole show: the same picture as the model at every sync, then the
// mappings released in reverse order, the device closed and the menu started
// with the environment the program received.
TEST(HandheldProgram, PlaysTheWholeShowLikeThePcModel) {
    const ModelRun model = play_model(-1);
    ASSERT_FALSE(model.overran) << "the show did not end on the PC model";
    ASSERT_EQ(model.ending, DisplayController::Ending::Completed);
    // About 6,800 syncs: the longest test (tens of seconds on an idle machine).
    HandheldOptions options = lockstep(-1);
    options.limit = std::chrono::seconds(800);
    const HandheldRun run = run_handheld(options);
    std::printf("%zu syncs in %.1f s\n", run.picture_crc.size(), run.seconds);
    ASSERT_TRUE(run.problem.empty()) << describe(run);
    ASSERT_EQ(run.syscall_names(),
              (Names{"open", "mmap", "mmap", "munmap", "munmap", "close", "chdir", "execve", "write", "exit"}))
        << describe(run);
    expect_opening(run);
    const std::string video = run.syscalls[1].result, registers = run.syscalls[2].result;
    EXPECT_EQ(run.syscalls[3].arguments, registers + ",65536") << "registers first";
    EXPECT_EQ(run.syscalls[4].arguments, video + ",15728640");
    EXPECT_EQ(run.syscalls[5].arguments, run.syscalls[0].result) << "the device descriptor";
    expect_menu_start(run, 6);

    expect_same_pictures(run, model);
    EXPECT_EQ(run.display_format, 0x2AB) << "8 bits per pixel through the palette";
    EXPECT_EQ(run.line_pitch, 320);
    // Only the two frame buffers are ever shown, and both are.
    std::set<uint32_t> shown(run.display_address.begin() + 1, run.display_address.end());
    EXPECT_EQ(shown, (std::set<uint32_t>{0x3000000, 0x3012C00}));
    EXPECT_EQ(run.display_address.front(), 0u) << "nothing shown before init_video's sync";
}

// ---- Scripts of one's own ------------------------------------------------

namespace {

namespace fs = std::filesystem;

std::vector<std::string> test_scripts() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(NYRA1_TEST_SCRIPTS))
        if (entry.path().extension() == ".nyra1") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A stored list's CRCs, refresh n at n - 1 (the final refresh last).
std::vector<uint32_t> stored_pictures(const std::string& name) {
    std::vector<uint32_t> crcs;
    std::FILE* f = std::fopen((std::string(NYRA1_TEST_SCRIPTS) + "/" + name + ".pictures.txt").c_str(), "r");
    unsigned n;
    unsigned long crc;
    while (f && std::fscanf(f, "%u %lx", &n, &crc) == 2) crcs.push_back(static_cast<uint32_t>(crc));
    if (f) std::fclose(f);
    return crcs;
}

std::vector<uint8_t> file_bytes(const fs::path& path) {
    std::vector<uint8_t> bytes(fs::file_size(path));
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f || std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
    if (f) std::fclose(f);
    return bytes;
}

class HandheldScript : public testing::TestWithParam<std::string> {};

} // namespace

// nyra1 --script FILE --export-gpe makes the handheld program with the
// script in its slot, and nothing else changed; under the emulator it shows
// at every sync the picture of the script's stored list (the list the PC's
// golden test compares the PC with), and ends as the show ends.
TEST_P(HandheldScript, TheExportedProgramShowsWhatThePcShows) {
    const std::string name = GetParam();
    const fs::path script = fs::path(NYRA1_TEST_SCRIPTS) / (name + ".nyra1");
    const fs::path work = fs::temp_directory_path() / ("nyra1-export-" + std::to_string(getpid()));
    fs::create_directories(work);
    const fs::path gpe = work / (name + ".gpe");
    const std::string command = std::string(NYRA1_PROGRAM) + " --script " + script.string() + " --export-gpe " +
                                gpe.string() + " > /dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    // The slot alone differs from the program the build made.
    const std::vector<uint8_t> built = file_bytes(NYRA1_GPE), made = file_bytes(gpe);
    ASSERT_EQ(made.size(), built.size());
    size_t first = 0, last = 0, differ = 0;
    for (size_t i = 0; i < made.size(); ++i)
        if (made[i] != built[i]) {
            if (differ++ == 0) first = i;
            last = i;
        }
    EXPECT_LT(last - first, 4096u) << "bytes outside the script slot changed";

    const std::vector<uint32_t> list = stored_pictures(name);
    ASSERT_GT(list.size(), 641u) << name;
    HandheldOptions options = lockstep(-1);
    options.program = gpe.string();
    options.limit = std::chrono::seconds(850);
    const HandheldRun run = run_handheld(options);
    fs::remove_all(work);
    std::printf("%s: %zu syncs in %.1f s\n", name.c_str(), run.picture_crc.size(), run.seconds);
    ASSERT_TRUE(run.problem.empty()) << describe(run);
    EXPECT_EQ(run.syscall_names(),
              (Names{"open", "mmap", "mmap", "munmap", "munmap", "close", "chdir", "execve", "write", "exit"}))
        << "the show ends by itself";
    ASSERT_EQ(run.picture_crc.size() + 1, list.size()) << "syncs met, and the final refresh";
    size_t mismatches = 0;
    for (size_t n = 0; n < run.picture_crc.size(); ++n)
        if (run.picture_crc[n] != list[n] && ++mismatches <= 5)
            ADD_FAILURE() << "sync " << n + 1 << ": handheld " << std::hex << run.picture_crc[n] << ", stored "
                          << list[n];
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(run.final_crc, list.back()) << "picture left on display";
}

INSTANTIATE_TEST_SUITE_P(Scripts, HandheldScript, testing::ValuesIn(test_scripts()),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });
