// Every writer of the PC program (--inside-at, --frames, --record, the
// window's screenshots), as an attacker and a new user would try them: what
// is at the path survives a failed write, named pipes and devices are
// refused before they are opened, a signal in the first milliseconds leaves
// nothing behind, a long name works, a lost line of output is an error, and
// every message stays one line whatever the names hold.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "host/output/ffmpeg.h"
#include "host/output/output_file.h"
#include "host/output/png_file.h"
#include "host/output/screenshot.h"
#include "host/output/shown_name.h"
#include "host/program/program.h"
#include "host/viewer/timeline.h"
#include "support/host_support.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_file(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// A message is one line of plain text: one newline, at its end, and no
// other control character (a terminal would act on an escape sequence).
void expect_one_plain_line(const std::string& text, const std::string& what) {
    ASSERT_FALSE(text.empty()) << what;
    EXPECT_EQ(text.find('\n'), text.size() - 1) << what << ": " << text;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        EXPECT_FALSE(c < 0x20 || c == 0x7f) << what << ": byte " << int(c) << " at " << i << " in " << text;
    }
}

// The nyra1 program as a process of its own, its output in files of a
// scratch folder.
class Child {
public:
    Child(const std::vector<std::string>& args, const std::string& scratch, const std::string& out = "") {
        out_ = out.empty() ? scratch + "/out.txt" : out;
        out_is_file_ = out.empty();
        err_ = scratch + "/err.txt";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> storage = {NYRA1_PROGRAM};
        storage.insert(storage.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& s : storage) argv.push_back(s.data());
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&pid_, NYRA1_PROGRAM, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    void signal(int s) const { kill(pid_, s); }

    struct Ended {
        bool timed_out = false;
        int status = -1; // the exit status, or -1 when ended by a signal
        int signal = 0;
        std::string out, err;
    };
    // Waits for the end, at most `seconds`; then ends the child itself.
    Ended wait(double seconds = 60) {
        Ended ended;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ended.timed_out = true;
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        pid_ = -1;
        if (WIFEXITED(status)) ended.status = WEXITSTATUS(status);
        if (WIFSIGNALED(status)) ended.signal = WTERMSIG(status);
        ended.out = out_is_file_ ? read_file(out_) : "";
        ended.err = read_file(err_);
        return ended;
    }

private:
    pid_t pid_ = -1;
    std::string out_, err_;
    bool out_is_file_ = true; // not a device such as /dev/full
};

// Every entry below folder, folders included, relative to it.
std::set<std::string> everything_in(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        names.insert(fs::relative(e.path(), folder).string());
    return names;
}

// An ffmpeg stand-in that copies its input into its output file.
std::string fake_ffmpeg(const std::string& folder) {
    const std::string bin = folder + "/bin";
    fs::create_directories(bin);
    write_file(bin + "/ffmpeg", "#!/bin/sh\n"
                                "PATH=/usr/bin:/bin\n"
                                "case \"$*\" in *-encoders*) printf ' V..... gif  GIF\\n V....D libx264 x\\n'; exit 0;; esac\n"
                                "for a; do out=\"$a\"; done\n"
                                "cat >\"$out\"\n");
    chmod((bin + "/ffmpeg").c_str(), 0755);
    return bin;
}

bool is_fifo(const std::string& path) {
    struct stat s;
    return lstat(path.c_str(), &s) == 0 && S_ISFIFO(s.st_mode);
}

} // namespace

// A full disk while --inside-at writes: the picture that was there stays.
TEST(Writers, AFailedPictureLeavesTheFileThatWasThere) {
    const std::string folder = temp_folder("nyra1-writers");
    const std::string old = folder + "/old.png";
    write_file(old, "an older picture");
    struct rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    struct rlimit small = limit;
    small.rlim_cur = 3000; // the views' picture is far larger
    std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const Outcome o = run({"--inside-at", "5000", old});
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_EQ(o.status, 2);
    expect_one_plain_line(o.err, "the refusal");
    EXPECT_EQ(o.err.rfind("nyra1: cannot write " + old + ": ", 0), 0u) << o.err;
    EXPECT_EQ(read_file(old), "an older picture");
    EXPECT_EQ(names_in(folder), std::set<std::string>{"old.png"});
    fs::remove_all(folder);
}

// A named pipe or a device where a file is to go is refused at once: the
// program neither waits in open() for a reader nor deletes the node.
TEST(Writers, NamedPipesAndDevicesAreRefusedBeforeTheyAreOpened) {
    const std::string folder = temp_folder("nyra1-writers");
    const std::string scratch = temp_folder("nyra1-writers-out");
    const std::string bin = fake_ffmpeg(scratch);
    ASSERT_EQ(mkfifo((folder + "/pipe.png").c_str(), 0644), 0);
    ASSERT_EQ(mkfifo((folder + "/pipe.mp4").c_str(), 0644), 0);
    ASSERT_EQ(mkfifo((folder + "/pipe-folder").c_str(), 0644), 0);
    fs::create_symlink("/dev/full", folder + "/full.png");
    fs::create_directories(folder + "/frames");
    ASSERT_EQ(mkfifo((folder + "/frames/00001.png").c_str(), 0644), 0);
    // A device node of its own where this test may make one (as root).
    const bool node = mknod((folder + "/node.png").c_str(), S_IFCHR | 0644, makedev(1, 7)) == 0;

    struct Case {
        std::vector<std::string> args;
        std::string kind;
        std::string path;
        std::function<bool()> kept;
    };
    std::vector<Case> cases = {
        {{"--inside-at", "100", folder + "/pipe.png"}, "a named pipe (FIFO)", folder + "/pipe.png",
         [&] { return is_fifo(folder + "/pipe.png"); }},
        {{"--record", folder + "/pipe.mp4"}, "a named pipe (FIFO)", folder + "/pipe.mp4",
         [&] { return is_fifo(folder + "/pipe.mp4"); }},
        {{"--frames", folder + "/pipe-folder"}, "a named pipe (FIFO)", folder + "/pipe-folder",
         [&] { return is_fifo(folder + "/pipe-folder"); }},
        {{"--frames", folder + "/frames", "--overwrite", "--to", "2"}, "a named pipe (FIFO)",
         folder + "/frames/00001.png", [&] { return is_fifo(folder + "/frames/00001.png"); }},
        {{"--inside-at", "100", folder + "/full.png"}, "a device", folder + "/full.png",
         [&] { return fs::is_symlink(folder + "/full.png") && fs::is_character_file("/dev/full"); }},
    };
    if (node)
        cases.push_back({{"--inside-at", "100", folder + "/node.png"}, "a device", folder + "/node.png",
                         [&] { return fs::is_character_file(folder + "/node.png"); }});
    const std::set<std::string> before = everything_in(folder);
    for (const Case& c : cases) {
        std::string command;
        for (const std::string& a : c.args) command += " " + a;
        Child::Ended e;
        {
            PathGuard path(bin + ":" + std::getenv("PATH"));
            e = Child(c.args, scratch).wait(20);
        }
        EXPECT_FALSE(e.timed_out) << command << ": still waiting after 20 s";
        EXPECT_EQ(e.status, 2) << command;
        expect_one_plain_line(e.err, command);
        EXPECT_NE(e.err.find(c.path), std::string::npos) << command << ": " << e.err;
        EXPECT_NE(e.err.find(c.kind), std::string::npos) << command << ": " << e.err;
        EXPECT_TRUE(c.kept()) << command << ": " << c.path << " is gone";
    }
    EXPECT_EQ(everything_in(folder), before);

    // A screenshot never takes a name that is there, a pipe's included.
    std::tm t = {};
    t.tm_year = 2026 - 1900;
    t.tm_mday = 1;
    const std::string first = folder + "/" + Host::screenshot_name(t, 0);
    ASSERT_EQ(mkfifo(first.c_str(), 0644), 0);
    std::vector<uint8_t> rgb(4 * 3 * 3, 200);
    std::string error;
    EXPECT_EQ(Host::save_screenshot(folder, t, 4, 3, rgb.data(), error), folder + "/" + Host::screenshot_name(t, 1))
        << error;
    EXPECT_TRUE(is_fifo(first));
    fs::remove_all(folder);
    fs::remove_all(scratch);
}

namespace {

// Starts `runs` runs of the program, each signalled once, early, with the
// signals in turn; after each, check(base, what) looks at what it left.
// Run i is signalled i/runs of `spread` seconds after its start or, when a
// trigger is given, after the file or folder of that name appears in base:
// the moment the first thing is made.
struct EarlyKills {
    int runs;
    std::vector<int> signals;
    std::function<std::vector<std::string>(const std::string& base)> args;
    double spread;
    std::string trigger;
};

void kill_early(const EarlyKills& kills, const std::function<void(const std::string&, const std::string&)>& check) {
    const std::string scratch = temp_folder("nyra1-writers-out");
    const double whole = kills.spread;
    int by_signal = 0, interrupted = 0, finished = 0;
    for (int i = 0; i < kills.runs; ++i) {
        const std::string base = temp_folder("nyra1-writers");
        const int s = kills.signals[i % kills.signals.size()];
        Child child(kills.args(base), scratch);
        if (!kills.trigger.empty()) {
            const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (!fs::exists(base + "/" + kills.trigger) && std::chrono::steady_clock::now() < give_up) {
            }
        }
        std::this_thread::sleep_for(std::chrono::duration<double>(whole * i / kills.runs));
        child.signal(s);
        const Child::Ended e = child.wait();
        by_signal += e.signal != 0;
        interrupted += e.status == 2;
        finished += e.status == 0;
        const std::string what = "run " + std::to_string(i) + ", " + strsignal(s) + " " +
                                 std::to_string(whole * i / kills.runs * 1e3) + " ms after " +
                                 (kills.trigger.empty() ? "the start" : kills.trigger + " appeared") + " (" +
                                 (e.signal ? "ended by the signal" : "exit " + std::to_string(e.status)) + ")";
        if (e.status == 2) expect_one_plain_line(e.err, what);
        check(base, what);
        fs::remove_all(base);
    }
    std::printf("%d runs over %.1f ms: %d ended by the signal, %d interrupted (status 2), %d finished\n", kills.runs,
                whole * 1e3, by_signal, interrupted, finished);
    fs::remove_all(scratch);
}

} // namespace

// --frames into a new folder several levels deep, signalled at every moment
// of the start: either nothing is left, or the folder holds complete frames
// and nothing else.
TEST(Writers, AnEarlySignalLeavesNoFolderAndNoTemporaryFrame) {
    auto args = [](const std::string& base) {
        return std::vector<std::string>{"--frames", base + "/a/b/c/d/e/f/g/h/frames", "--to", "3"};
    };
    kill_early({30, {SIGTERM, SIGINT}, args, 0.4e-3, "a"}, [](const std::string& base, const std::string& what) {
        const std::string frames = base + "/a/b/c/d/e/f/g/h/frames";
        const std::set<std::string> left = everything_in(base);
        if (left.empty()) return;
        std::set<std::string> expected = {"a", "a/b", "a/b/c", "a/b/c/d", "a/b/c/d/e", "a/b/c/d/e/f", "a/b/c/d/e/f/g",
                                          "a/b/c/d/e/f/g/h", "a/b/c/d/e/f/g/h/frames"};
        const std::set<std::string> written = fs::exists(frames) ? names_in(frames) : std::set<std::string>{};
        EXPECT_FALSE(written.empty()) << what << ": folders without a frame are left";
        for (const std::string& name : written) {
            expected.insert("a/b/c/d/e/f/g/h/frames/" + name);
            Host::PngPicture picture;
            std::string error;
            EXPECT_TRUE(Host::read_png(frames + "/" + name, picture, error)) << what << ": " << error;
        }
        EXPECT_EQ(left, expected) << what;
        for (const std::string& name : written) EXPECT_NE(name[0], '.') << what << ": a temporary file is left";
    });
}

// --record, signalled at every moment of its start, SIGKILL included:
// there is either the complete video or no file at all, not even a hidden
// one that the ffmpeg it started finishes after the program is gone.
TEST(Writers, AnEarlySignalLeavesNoVideoAndNoTemporaryFile) {
    if (Host::find_on_path("ffmpeg").empty()) GTEST_SKIP() << "ffmpeg is not installed";
    auto args = [](const std::string& base) {
        return std::vector<std::string>{"--record", base + "/v.gif", "--scale", "1", "--to", "6",
                                        "--press-start-at", "6"};
    };
    std::vector<std::string> bases;
    auto check = [&](const std::string& base, const std::string& what) {
        const std::set<std::string> left = names_in(base);
        EXPECT_TRUE(left.empty() || left == std::set<std::string>{"v.gif"}) << what << ": " << left.size()
                                                                              << " names, first " << *left.begin();
    };
    kill_early({18, {SIGTERM, SIGINT, SIGKILL}, args, 0.3, ""}, [&](const std::string& base, const std::string& what) {
        check(base, what);
        // What a still-running ffmpeg could still do is looked at once more
        // at the end.
        const std::string kept = temp_folder("nyra1-writers-kept");
        fs::remove(kept);
        fs::rename(base, kept);
        bases.push_back(kept);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    for (const std::string& base : bases) {
        check(base, base + ", half a second later");
        fs::remove_all(base);
    }
}

// A name as long as the file system takes (255 bytes here) is written.
TEST(Writers, TheLongestNameWorks) {
    const std::string folder = temp_folder("nyra1-writers");
    const std::string scratch = temp_folder("nyra1-writers-out");
    PathGuard path(fake_ffmpeg(scratch));
    for (size_t length : {251u, 255u}) {
        const std::string name = std::string(length - 4, 'v') + ".gif";
        const Outcome o = run({"--record", folder + "/" + name, "--press-start-at", "3"});
        EXPECT_EQ(o.status, 0) << length << ": " << o.err;
        EXPECT_TRUE(fs::exists(folder + "/" + name)) << length;
        EXPECT_EQ(names_in(folder).size(), 1u);
        fs::remove(folder + "/" + name);
    }
    fs::remove_all(folder);
    fs::remove_all(scratch);
}

// Output that cannot be written is said on the error output, with status 2,
// in every mode: `nyra1 --help >/dev/full` is not a success.
TEST(Writers, AnOutputLineThatCannotBeWrittenIsAnError) {
    const std::string folder = temp_folder("nyra1-writers");
    const std::string last = std::to_string(Host::built_in_timeline().refreshes);
    const std::vector<std::vector<std::string>> commands = {
        {"--help"}, {"--version"}, {"--bench"}, {"--frames", folder + "/f", "--from", last},
        {"--inside-at", "100", folder + "/v.png"}};
    for (const auto& args : commands) {
        std::FILE* full = std::fopen("/dev/full", "w");
        const Outcome o = run(args, full);
        std::fclose(full);
        EXPECT_EQ(o.status, 2) << args[0];
        EXPECT_EQ(o.err, "nyra1: cannot write the standard output: No space left on device\n") << args[0];
    }
    // The same through the program's own standard output.
    const std::string scratch = temp_folder("nyra1-writers-out");
    const Child::Ended e = Child({"--help"}, scratch, "/dev/full").wait();
    EXPECT_EQ(e.status, 2);
    EXPECT_EQ(e.err, "nyra1: cannot write the standard output: No space left on device\n");
    fs::remove_all(folder);
    fs::remove_all(scratch);
}

// Names holding a newline, a tab, an escape sequence, a carriage return or
// a byte that is not UTF-8: each message that names them is one line of
// plain text, and shows the name as the shell would take it back.
TEST(Writers, NamesWithControlCharactersAreShownOnOneLine) {
    const std::string folder = temp_folder("nyra1-writers");
    const std::string scratch = temp_folder("nyra1-writers-out");
    const std::string bin = fake_ffmpeg(scratch);
    // Each name, and how it reads inside $'...'.
    const std::vector<std::pair<std::string, std::string>> names = {
        {"new\nline", "new\\nline"}, {"tab\tbed", "tab\\tbed"}, {"red\x1b[31m", "red\\x1b[31m"},
        {"car\rriage", "car\\rriage"}, {"not\xff" "utf8", "not\\xffutf8"}};
    for (const auto& [name, shown] : names) {
        std::vector<Outcome> outcomes;
        outcomes.push_back(run({"--inside-at", "100", folder + "/missing/" + name + ".png"}));
        outcomes.push_back(run({"--record", folder + "/missing/" + name + ".gif"}));
        outcomes.push_back(run({"--record", name + ".mov"}));
        outcomes.push_back(run({"--frames", folder + "/f", "--from", name}));
        outcomes.push_back(run({"--frames", folder + "/" + name, "--to", "2"}));
        {
            PathGuard path(bin);
            outcomes.push_back(run({"--record", folder + "/" + name + ".gif", "--press-start-at", "3"}));
        }
        for (size_t i = 0; i < outcomes.size(); ++i) {
            const Outcome& o = outcomes[i];
            const std::string& said = o.status == 0 ? o.out : o.err;
            expect_one_plain_line(said, "command " + std::to_string(i) + " with " + shown);
            EXPECT_NE(said.find(shown), std::string::npos) << said;
            // Names are in the shell's quoting; the one value that is not a
            // name (a time) is at least made plain.
            if (i != 3) EXPECT_NE(said.find("$'"), std::string::npos) << said;
        }
        EXPECT_EQ(outcomes[4].status, 0) << outcomes[4].err;
        EXPECT_EQ(outcomes[5].status, 0) << outcomes[5].err;
        EXPECT_TRUE(fs::exists(folder + "/" + name + "/00001.png"));
        EXPECT_TRUE(fs::exists(folder + "/" + name + ".gif"));
    }
    fs::remove_all(folder);
    fs::remove_all(scratch);
}

// The one way every writer writes, in both of its forms: a file without a
// name (where the file system makes them) and a short hidden name beside
// the target (where it does not).
class OutputFiles : public testing::TestWithParam<bool> {
protected:
    void SetUp() override { Host::OutputFile::allow_unnamed_files(GetParam()); }
    void TearDown() override { Host::OutputFile::allow_unnamed_files(true); }
};

INSTANTIATE_TEST_SUITE_P(Writers, OutputFiles, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Unnamed" : "Named"; });

namespace {

bool write_text(Host::OutputFile& file, const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), file.stream()) == text.size();
}

mode_t mode_of(const std::string& path) {
    struct stat s;
    return stat(path.c_str(), &s) == 0 ? s.st_mode & 0777 : 0;
}

} // namespace

// Whatever is at the path (nothing, a file, a link, a link to nothing), it
// keeps what it held until the commit, and keeps it when the file is
// dropped; the commit gives the whole new contents at once.
TEST_P(OutputFiles, ThePathHoldsTheOldFileUntilTheNewOneIsComplete) {
    const std::string folder = temp_folder("nyra1-writers");
    const std::string elsewhere = temp_folder("nyra1-writers");
    struct Start {
        const char* name;
        std::function<void(const std::string&)> make;
        std::string where; // the file the contents go to, relative to folder or elsewhere
    };
    const std::vector<Start> starts = {
        {"nothing", [](const std::string&) {}, ""},
        {"a file", [](const std::string& p) { write_file(p, "old"); chmod(p.c_str(), 0640); }, ""},
        {"a link", [&](const std::string& p) { write_file(elsewhere + "/real", "old"); fs::create_symlink(elsewhere + "/real", p); },
         elsewhere + "/real"},
        {"a link to nothing", [&](const std::string& p) { fs::create_symlink(elsewhere + "/new", p); }, elsewhere + "/new"},
    };
    for (const Start& start : starts)
        for (const bool keep : {false, true}) {
            const std::string path = folder + "/out.png";
            start.make(path);
            const std::string where = start.where.empty() ? path : start.where;
            const std::string old = read_file(where);
            const bool existed = fs::exists(where);
            const auto names = names_in(folder);
            std::string error;
            {
                Host::OutputFile file(path);
                ASSERT_TRUE(file.open(error)) << error;
                EXPECT_EQ(file.target(), where);
                ASSERT_TRUE(write_text(file, std::string(100000, 'n')));
                // Nothing new has a name but, without unnamed files, the
                // short hidden one.
                std::set<std::string> now = names_in(folder);
                if (!GetParam()) {
                    EXPECT_EQ(fs::path(file.temporary_name()).filename().string().rfind(".nyra1-", 0), 0u);
                    EXPECT_EQ(fs::path(file.temporary_name()).filename().string().size(), 13u);
                    now.erase(fs::path(file.temporary_name()).filename().string());
                }
                EXPECT_EQ(now, names) << start.name;
                EXPECT_EQ(read_file(where), old) << start.name;
                if (keep) {
                    ASSERT_TRUE(file.commit(error)) << error;
                }
            }
            EXPECT_EQ(names_in(folder), keep && !existed && start.where.empty() ? std::set<std::string>{"out.png"} : names)
                << start.name;
            EXPECT_EQ(read_file(where), keep ? std::string(100000, 'n') : old) << start.name;
            if (!start.where.empty()) EXPECT_TRUE(fs::is_symlink(path)) << start.name << ": the link stays";
            if (keep && std::string(start.name) == "a file") EXPECT_EQ(mode_of(path), 0640u) << "its permissions stay";
            fs::remove_all(folder);
            fs::remove_all(elsewhere);
            fs::create_directories(folder);
            fs::create_directories(elsewhere);
        }
    fs::remove_all(folder);
    fs::remove_all(elsewhere);
}

// Frames replace a link of their name instead of writing through it; a
// screenshot never takes a name that is there.
TEST_P(OutputFiles, LinksReplacedAndNamesKept) {
    const std::string folder = temp_folder("nyra1-writers");
    write_file(folder + "/real", "real");
    fs::create_symlink(folder + "/real", folder + "/frame.png");
    std::string error;
    Host::OutputFile frame(folder + "/frame.png", Host::OutputFile::Links::Replaced);
    ASSERT_TRUE(frame.open(error) && write_text(frame, "frame") && frame.commit(error)) << error;
    EXPECT_FALSE(fs::is_symlink(folder + "/frame.png"));
    EXPECT_EQ(read_file(folder + "/frame.png"), "frame");
    EXPECT_EQ(read_file(folder + "/real"), "real");

    Host::OutputFile shot(folder + "/shot.png", Host::OutputFile::Links::Replaced, Host::OutputFile::Existing::Kept);
    ASSERT_TRUE(shot.open(error) && write_text(shot, "shot")) << error;
    bool taken = false;
    EXPECT_FALSE(shot.commit_as_new(folder + "/real", taken, error));
    EXPECT_TRUE(taken);
    EXPECT_FALSE(shot.commit_as_new(folder + "/frame.png", taken, error));
    EXPECT_TRUE(taken);
    EXPECT_TRUE(shot.commit_as_new(folder + "/shot-1.png", taken, error)) << error;
    EXPECT_EQ(read_file(folder + "/shot-1.png"), "shot");
    EXPECT_EQ(read_file(folder + "/real"), "real");
    EXPECT_EQ(names_in(folder), (std::set<std::string>{"frame.png", "real", "shot-1.png"}));
    fs::remove_all(folder);
}

// What may not be replaced is refused before anything is opened or made.
TEST_P(OutputFiles, PipesDevicesSocketsAndFoldersAreRefusedUnopened) {
    const std::string folder = temp_folder("nyra1-writers");
    ASSERT_EQ(mkfifo((folder + "/pipe").c_str(), 0644), 0);
    fs::create_symlink("/dev/null", folder + "/null");
    fs::create_directories(folder + "/folder");
    const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const std::string socket_path = folder + "/socket";
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket_path.c_str());
    const bool have_socket = bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    const auto before = everything_in(folder);
    std::vector<std::pair<std::string, std::string>> cases = {
        {"pipe", "cannot write " + folder + "/pipe: it is a named pipe (FIFO)"},
        {"null", "cannot write " + folder + "/null (a link to /dev/null): it is a device"},
        {"folder", "cannot write " + folder + "/folder: it is a folder"},
        {"missing/x", "cannot write " + folder + "/missing/x: No such file or directory"}};
    if (have_socket) cases.push_back({"socket", "cannot write " + folder + "/socket: it is a socket"});
    for (const auto& [name, message] : cases) {
        Host::OutputFile file(folder + "/" + name);
        std::string error;
        EXPECT_FALSE(file.open(error));
        EXPECT_EQ(error, message);
        EXPECT_FALSE(file.is_open());
    }
    EXPECT_EQ(everything_in(folder), before);
    ::close(listening);
    fs::remove_all(folder);
}

// The temporary name is short, so the longest name the folder takes works.
TEST_P(OutputFiles, TheLongestNameTheFileSystemTakes) {
    const std::string folder = temp_folder("nyra1-writers");
    const long longest = pathconf(folder.c_str(), _PC_NAME_MAX);
    ASSERT_GT(longest, 20);
    const std::string path = folder + "/" + std::string(static_cast<size_t>(longest), 'x');
    write_file(path, "old");
    std::string error;
    Host::OutputFile file(path);
    ASSERT_TRUE(file.open(error) && write_text(file, "new") && file.commit(error)) << error;
    EXPECT_EQ(read_file(path), "new");
    EXPECT_EQ(names_in(folder).size(), 1u);
    fs::remove_all(folder);
}

// A child process writes the file by the name it is given for it, with the
// descriptor handed over (as ffmpeg does for --record).
TEST_P(OutputFiles, AChildWritesTheFileThroughItsDescriptor) {
    const std::string folder = temp_folder("nyra1-writers");
    std::string error;
    Host::OutputFile file(folder + "/video.gif");
    ASSERT_TRUE(file.open(error)) << error;
    Host::FfmpegPipe child;
    ASSERT_TRUE(child.start("/bin/sh", {"-c", "cat >\"$0\"", file.name_in_child(Host::kFfmpegOutput)}, error,
                            file.descriptor()))
        << error;
    const std::string text = "frames";
    ASSERT_TRUE(child.write(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    ASSERT_TRUE(child.finish(error)) << error;
    EXPECT_TRUE(names_in(folder).size() == (GetParam() ? 0u : 1u));
    ASSERT_TRUE(file.commit(error)) << error;
    EXPECT_EQ(read_file(folder + "/video.gif"), "frames");
    EXPECT_EQ(names_in(folder), std::set<std::string>{"video.gif"});
    fs::remove_all(folder);
}

// A process killed while it writes leaves nothing, when the file has no
// name yet: not even SIGKILL, which no handler sees.
TEST(OutputFile, AKilledWriterLeavesNothingBehind) {
    const std::string folder = temp_folder("nyra1-writers");
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        Host::OutputFile file(folder + "/out.png");
        std::string error;
        if (file.open(error)) write_text(file, "half a picture");
        std::fflush(file.stream());
        raise(SIGKILL);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(names_in(folder).empty());
    fs::remove_all(folder);
}

// Names in messages: plain ones as they are, others in the shell's $'...'
// quoting, which the shell reads back as the very same bytes; no message
// ever carries a control character.
TEST(ShownName, PlainNamesStayAndOthersAreQuotedSoTheShellReadsThemBack) {
    EXPECT_EQ(Host::shown_name("out.png"), "out.png");
    EXPECT_EQ(Host::shown_name("my show/über.png"), "my show/über.png");
    EXPECT_EQ(Host::quoted_name("x.mov"), "'x.mov'");
    EXPECT_EQ(Host::quoted_name("it's"), "$'it\\'s'");
    EXPECT_EQ(Host::shown_name("a\nb.png"), "$'a\\nb.png'");
    EXPECT_EQ(Host::one_line("not 'a\nb'"), "not 'a\\nb'");

    std::mt19937 random(31);
    std::vector<std::string> names = {"a\nb", "tab\t", "\x1b[2J", "\xc2\x9b" "31m", "\xff\xfe", "\xed\xa0\x80",
                                      "\xc0\xaf", "back\\slash'quote", "\x7f", "\xe2\x80\xae" "gnp.exe"};
    for (int i = 0; i < 200; ++i) {
        std::string name(1 + random() % 12, ' ');
        for (char& c : name) c = static_cast<char>(1 + random() % 255);
        names.push_back(name);
    }
    std::string script = "printf '%s\\0'";
    for (const std::string& name : names) {
        for (const std::string& shown : {Host::shown_name(name), Host::quoted_name(name), Host::one_line(name)})
            for (const char c : shown)
                EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7f) << shown;
        script += " " + Host::quoted_name(name);
    }
    const std::string folder = temp_folder("nyra1-writers");
    write_file(folder + "/names.sh", script);
    const std::string command = "bash '" + folder + "/names.sh' >'" + folder + "/names.out'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string back = read_file(folder + "/names.out");
    std::vector<std::string> read;
    for (size_t at = 0, end; (end = back.find('\0', at)) != std::string::npos; at = end + 1)
        read.push_back(back.substr(at, end - at));
    EXPECT_EQ(read, names);
    fs::remove_all(folder);
}
