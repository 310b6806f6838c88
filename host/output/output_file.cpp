#include "host/output/output_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "host/output/shown_name.h"

namespace fs = std::filesystem;

namespace Host {

namespace {

bool unnamed_allowed = true;

// Short, so that any name the file system allows can be replaced.
constexpr char kTemporaryPattern[] = ".nyra1-XXXXXX";

std::string folder_of(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

std::string proc_name(int descriptor) { return "/proc/self/fd/" + std::to_string(descriptor); }

// A hidden name of the temporary pattern in folder, most likely unused.
std::string fresh_name(const std::string& folder) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static unsigned counter = 0;
    unsigned char random[6];
    if (getrandom(random, sizeof random, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof random))
        for (unsigned char& r : random) r = static_cast<unsigned char>(getpid() + 131 * counter++);
    std::string name = kTemporaryPattern;
    for (size_t i = 0; i < sizeof random; ++i) name[name.size() - 6 + i] = letters[random[i] % (sizeof letters - 1)];
    return (fs::path(folder) / name).string();
}

std::string error_text(int error) { return error ? std::strerror(error) : "a write failed"; }

} // namespace

std::string special_file_kind(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a named pipe (FIFO)";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "";
}

void OutputFile::allow_unnamed_files(bool allowed) { unnamed_allowed = allowed; }

OutputFile::OutputFile(std::string path, Links links, Existing existing)
    : path_(std::move(path)), target_(path_), links_(links), existing_(existing) {}

OutputFile::~OutputFile() { discard(); }

std::string OutputFile::shown() const {
    return target_ == path_ ? shown_name(path_) : shown_name(path_) + " (a link to " + shown_name(target_) + ")";
}

std::string OutputFile::failure(const std::string& reason) const { return "cannot write " + shown() + ": " + reason; }

int OutputFile::descriptor() const { return stream_ ? fileno(stream_) : -1; }

std::string OutputFile::name_in_child(int child_descriptor) const {
    if (unnamed_) return proc_name(child_descriptor);
    // "./" keeps a name that starts with '-' or holds ':' a plain file name
    // to programs that read options and addresses.
    return fs::path(temporary_).is_absolute() ? temporary_ : "./" + temporary_;
}

bool OutputFile::open(std::string& error) {
    discard();
    return resolve(error) && make_file(error);
}

bool OutputFile::resolve(std::string& error) {
    target_ = path_;
    replaces_ = false;
    if (links_ == Links::Followed) {
        fs::path target(path_);
        std::error_code ec;
        for (int links = 0; fs::is_symlink(fs::symlink_status(target, ec)); ++links) {
            if (links == 40) {
                error = failure("too many levels of symbolic links");
                return false;
            }
            const fs::path points_to = fs::read_symlink(target, ec);
            if (ec) {
                error = failure(ec.message());
                return false;
            }
            target = points_to.is_absolute() ? points_to : target.parent_path() / points_to;
        }
        target_ = target.string();
    }
    if (existing_ == Existing::Kept) return true;
    struct stat there;
    if (lstat(target_.c_str(), &there) != 0) {
        if (errno == ENOENT) return true;
        error = failure(std::strerror(errno));
        return false;
    }
    const std::string kind = special_file_kind(there.st_mode);
    if (!kind.empty()) {
        error = failure("it is " + kind);
        return false;
    }
    replaces_ = S_ISREG(there.st_mode);
    keep_mode_ = there.st_mode & 0777;
    return true;
}

bool OutputFile::make_file(std::string& error) {
    const std::string folder = folder_of(target_);
    int descriptor = -1;
    if (unnamed_allowed) {
        descriptor = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (descriptor < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            error = failure(std::strerror(errno));
            return false;
        }
        // The name is given through /proc; without it, a named file.
        if (descriptor >= 0 && access(proc_name(descriptor).c_str(), F_OK) != 0) {
            ::close(descriptor);
            descriptor = -1;
        }
        unnamed_ = descriptor >= 0;
    }
    if (!unnamed_) {
        std::string name = (fs::path(folder) / kTemporaryPattern).string();
        descriptor = mkostemp(name.data(), O_CLOEXEC);
        if (descriptor < 0) {
            error = failure(std::strerror(errno));
            return false;
        }
        temporary_ = name;
        // mkstemp makes 0600; a new file here gets 0666 less the umask.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(descriptor, 0666 & ~mask);
    }
    if (replaces_) fchmod(descriptor, keep_mode_);
    stream_ = fdopen(descriptor, "w+b");
    if (!stream_) {
        error = failure(std::strerror(errno));
        ::close(descriptor);
        discard();
        return false;
    }
    return true;
}

bool OutputFile::flushed(std::string& error) {
    if (!stream_) {
        error = failure("the file is not open");
        return false;
    }
    errno = 0;
    // A full disk often shows only when the buffered rest is written.
    if (std::fflush(stream_) != 0 || std::ferror(stream_)) {
        error = failure(error_text(errno));
        discard();
        return false;
    }
    return true;
}

bool OutputFile::link_as(const std::string& name) {
    return linkat(AT_FDCWD, proc_name(descriptor()).c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

bool OutputFile::commit(std::string& error) {
    if (!flushed(error)) return false;
    if (existing_ == Existing::Kept) {
        bool taken = false;
        if (commit_as_new(target_, taken, error)) return true;
        if (taken) {
            error = failure("a file of that name exists");
            discard();
        }
        return false;
    }
    if (unnamed_) {
        // A new name is given at once; a file of that name is replaced in
        // one step by a second name of the file, made beside it.
        struct stat there;
        if (lstat(target_.c_str(), &there) != 0 && errno == ENOENT) {
            if (link_as(target_)) {
                close();
                return true;
            }
            if (errno != EEXIST) {
                error = failure(std::strerror(errno));
                discard();
                return false;
            }
        }
        for (int tries = 0; tries < 100 && temporary_.empty(); ++tries) {
            const std::string name = fresh_name(folder_of(target_));
            if (link_as(name)) temporary_ = name;
            else if (errno != EEXIST) break;
        }
        if (temporary_.empty()) {
            error = failure(std::strerror(errno));
            discard();
            return false;
        }
    }
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        error = failure(std::strerror(errno));
        discard();
        return false;
    }
    temporary_.clear();
    close();
    return true;
}

bool OutputFile::commit_as_new(const std::string& path, bool& taken, std::string& error) {
    taken = false;
    if (!flushed(error)) return false;
    bool given = false;
    if (unnamed_) {
        given = link_as(path);
    } else {
        given = renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0;
        // File systems without that flag: a second link, which never
        // replaces a file either.
        if (!given && (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
            given = ::link(temporary_.c_str(), path.c_str()) == 0;
            if (given) ::unlink(temporary_.c_str());
        }
        if (given) temporary_.clear();
    }
    if (given) {
        close();
        return true;
    }
    if (errno == EEXIST) {
        taken = true;
        return false;
    }
    error = "cannot write " + shown_name(path) + ": " + std::strerror(errno);
    discard();
    return false;
}

void OutputFile::close() {
    if (stream_) std::fclose(stream_);
    stream_ = nullptr;
    unnamed_ = false;
}

void OutputFile::discard() {
    close();
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

} // namespace Host
