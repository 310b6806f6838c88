#include "host/output/ffmpeg.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "host/output/shown_name.h"

extern char** environ;

namespace Host {

namespace {

std::vector<char*> argv_of(const std::string& program, const std::vector<std::string>& args,
                           std::vector<std::string>& storage) {
    storage.clear();
    storage.push_back(program);
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : storage) argv.push_back(s.data());
    argv.push_back(nullptr);
    return argv;
}

int wait_for(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return status;
}

} // namespace

std::string find_on_path(const std::string& program) {
    const char* path = std::getenv("PATH");
    if (!path) return "";
    const std::string dirs = path;
    size_t begin = 0;
    while (begin <= dirs.size()) {
        size_t end = dirs.find(':', begin);
        if (end == std::string::npos) end = dirs.size();
        // An empty entry means the current folder.
        std::string candidate = end > begin ? dirs.substr(begin, end - begin) : std::string(1, '.');
        candidate += '/';
        candidate += program;
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        begin = end + 1;
    }
    return "";
}

bool ffmpeg_has_encoder(const std::string& ffmpeg, const std::string& encoder) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> storage;
    auto argv = argv_of(ffmpeg, {"-hide_banner", "-encoders"}, storage);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, ffmpeg.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string listing;
    if (failed == 0) {
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(out[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
            if (n > 0) listing.append(buffer, static_cast<size_t>(n));
        wait_for(pid);
    }
    ::close(out[0]);
    // Lines look like " V....D libx264              libx264 H.264 ...".
    const std::string word = " " + encoder + " ";
    size_t at = 0;
    while ((at = listing.find(word, at)) != std::string::npos) {
        const size_t line = listing.rfind('\n', at);
        const size_t flags_end = listing.find(' ', (line == std::string::npos ? 0 : line + 1) + 1);
        if (flags_end == at) return true;
        ++at;
    }
    return false;
}

FfmpegPipe::~FfmpegPipe() {
    abort();
    if (messages_) std::fclose(messages_);
}

bool FfmpegPipe::start(const std::string& ffmpeg, const std::vector<std::string>& args, std::string& error,
                       int output) {
    // A reader that has gone away must show as a failed write, not end us.
    std::signal(SIGPIPE, SIG_IGN);
    messages_ = std::tmpfile();
    int in[2];
    if (!messages_ || pipe2(in, O_CLOEXEC) != 0) {
        error = std::string("cannot start ffmpeg: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fileno(messages_), STDERR_FILENO);
    // Moved out of the way first when it already is that descriptor, so
    // that the copy ffmpeg gets is not closed on exec.
    const int spare = output == kFfmpegOutput ? fcntl(output, F_DUPFD_CLOEXEC, kFfmpegOutput + 1) : -1;
    if (output >= 0) posix_spawn_file_actions_adddup2(&actions, spare >= 0 ? spare : output, kFfmpegOutput);
    std::vector<std::string> storage;
    auto argv = argv_of(ffmpeg, args, storage);
    const int failed = posix_spawn(&pid_, ffmpeg.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spare >= 0) ::close(spare);
    ::close(in[0]);
    if (failed != 0) {
        ::close(in[1]);
        pid_ = -1;
        error = "cannot start " + shown_name(ffmpeg) + ": " + std::strerror(failed);
        return false;
    }
    input_ = in[1];
    return true;
}

bool FfmpegPipe::write(const uint8_t* data, size_t size) {
    if (input_ < 0) return false;
    while (size > 0) {
        const ssize_t n = ::write(input_, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool FfmpegPipe::finish(std::string& error) {
    if (input_ >= 0) ::close(input_);
    input_ = -1;
    if (pid_ <= 0) {
        error = "ffmpeg is not running";
        return false;
    }
    const int status = wait_for(pid_);
    pid_ = -1;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    std::string reason = last_message();
    if (reason.empty())
        reason = WIFSIGNALED(status) ? "ended by signal " + std::to_string(WTERMSIG(status))
                                     : "exit status " + std::to_string(WEXITSTATUS(status));
    error = "ffmpeg failed: " + reason;
    return false;
}

void FfmpegPipe::abort() {
    if (input_ >= 0) ::close(input_);
    input_ = -1;
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        wait_for(pid_);
        pid_ = -1;
    }
}

std::string FfmpegPipe::last_message() const {
    if (!messages_) return "";
    std::fflush(messages_);
    std::rewind(messages_);
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, messages_)) > 0) text.append(buffer, n);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    const size_t line = text.find_last_of("\r\n");
    return line == std::string::npos ? text : text.substr(line + 1);
}

} // namespace Host
