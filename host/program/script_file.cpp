#include "host/program/script_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "host/output/temporary_file.h"
#include "host/program/program.h"
#include "host/viewer/handheld_program.h"

namespace Host {

namespace fs = std::filesystem;

namespace {

int fail(std::FILE* err, const std::string& message) {
    std::fprintf(err, "nyra1: %s\n", message.c_str());
    std::fflush(err);
    return kExitFailure;
}

// More than this is not read: the check needs only to know it is too long.
constexpr std::streamsize kReadAtMost = 1 << 20;

bool read_bytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

} // namespace

bool read_script_file(const std::string& path, std::string& bytes, std::string& error) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        error = "cannot read the script " + path + ": it is a folder";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read the script " + path + ": " + std::strerror(errno);
        return false;
    }
    bytes.resize(static_cast<size_t>(kReadAtMost) + 1);
    in.read(bytes.data(), kReadAtMost + 1);
    if (in.bad()) {
        error = "cannot read the script " + path;
        return false;
    }
    bytes.resize(static_cast<size_t>(in.gcount()));
    if (bytes.size() > static_cast<size_t>(kReadAtMost)) {
        char most[80];
        std::snprintf(most, sizeof most, " is over a megabyte; a script holds at most %u bytes", kScriptMaxBytes);
        error = "the script " + path + most;
        return false;
    }
    return true;
}

std::optional<Script> load_script(const std::string& path, std::FILE* err) {
    std::string bytes, error;
    if (!read_script_file(path, bytes, error)) {
        fail(err, error);
        return std::nullopt;
    }
    ScriptCheck check;
    std::optional<Script> script = Script::from(std::move(bytes), check);
    for (const ScriptFinding& w : check.warnings) std::fprintf(err, "nyra1: %s\n", finding_line(path, w, true).c_str());
    if (!script) fail(err, finding_line(path, *check.refusal, false));
    std::fflush(err);
    return script;
}

int run_check_script(const std::string& path, std::FILE* out, std::FILE* err) {
    std::string bytes, error;
    if (!read_script_file(path, bytes, error)) return fail(err, error);
    const ScriptCheck check = check_script(bytes);
    if (!check.accepted()) return fail(err, finding_line(path, *check.refusal, false));
    for (const ScriptFinding& w : check.warnings) std::fprintf(out, "%s\n", finding_line(path, w, true).c_str());
    std::fprintf(out, "%s: a good script of %zu bytes%s\n%s", path.c_str(), bytes.size(),
                 check.warnings.empty() ? ""
                 : check.warnings.size() == 1 ? ", with the warning above"
                                              : ", with the warnings above",
                 timeline_report(check).c_str());
    std::fflush(out);
    return kExitOk;
}

std::vector<std::string> handheld_program_places() {
    std::vector<std::string> places;
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path folder = program.parent_path();
        places.push_back((folder / "nyra1.gpe").string());
        places.push_back((folder.parent_path() / NYRA1_HANDHELD_DIR / "nyra1.gpe").lexically_normal().string());
    }
    // The build tree's, or the gp2x preset's.
    places.push_back(NYRA1_GP2X_DIR "/nyra1.gpe");
    places.push_back(NYRA1_SOURCE_DIR "/build-gp2x/nyra1.gpe");
    return places;
}

int run_export_gpe(const std::string& target, const std::string& script_path, std::FILE* out, std::FILE* err) {
    const Script& script = script_in_use();
    std::string from;
    for (const std::string& place : handheld_program_places()) {
        std::error_code ec;
        if (fs::is_regular_file(place, ec)) {
            from = place;
            break;
        }
    }
    if (from.empty()) {
        std::string looked;
        for (const std::string& place : handheld_program_places()) looked += "\n  " + place;
        return fail(err, "no handheld program to put the script into: this nyra1 has no nyra1.gpe beside it. Looked in:" +
                             looked +
                             "\nBuild it with the handheld's cross compiler (Debian: g++-arm-linux-gnueabi): "
                             "cmake --preset gp2x && cmake --build --preset gp2x, or install the Debian package "
                             "of nyra1, which holds it; nothing written");
    }
    std::vector<uint8_t> program;
    std::string error;
    if (!read_bytes(from, program, error)) return fail(err, error + "; nothing written");
    if (!put_script(program, script.text(), error))
        return fail(err, "cannot put the script into " + from + ": " + error + "; nothing written");

    // Written under a temporary name beside the target and renamed when
    // complete: the target holds the old file or the whole new one.
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(target, ec);
    if (fs::is_directory(fs::status(target, ec))) return fail(err, "cannot write " + target + ": it is a folder");
    if (fs::exists(status) && !fs::is_regular_file(status) && !fs::is_symlink(status))
        return fail(err, "cannot write " + target + ": it is not a plain file");
    const fs::path folder = fs::path(target).parent_path().empty() ? fs::path(".") : fs::path(target).parent_path();
    std::string temporary = (folder / ".").string() + fs::path(target).filename().string() + ".XXXXXX";
    if (!create_temporary(temporary)) return fail(err, "cannot write " + target + ": " + std::strerror(errno));
    bool written = false;
    if (std::FILE* f = std::fopen(temporary.c_str(), "wb")) {
        written = std::fwrite(program.data(), 1, program.size(), f) == program.size();
        written = std::fclose(f) == 0 && written;
    }
    // A program: executable where the umask lets files be.
    const mode_t mask = umask(0);
    umask(mask);
    if (!written || ::chmod(temporary.c_str(), 0777 & ~mask) != 0 || std::rename(temporary.c_str(), target.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        return fail(err, "cannot write " + target + ": " + std::strerror(saved));
    }
    std::fprintf(out, "nyra1: the handheld program with %s in %s (%zu bytes, made from %s)\n",
                 script_path.empty() ? "the built-in script" : ("the script " + script_path).c_str(), target.c_str(),
                 program.size(), from.c_str());
    std::fflush(out);
    return kExitOk;
}

} // namespace Host
