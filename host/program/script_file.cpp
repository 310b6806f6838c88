#include "host/program/script_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "host/output/output_file.h"
#include "host/output/shown_name.h"
#include "host/program/program.h"
#include "host/viewer/handheld_program.h"

namespace Host {

namespace fs = std::filesystem;

namespace {

int fail(std::FILE* err, const std::string& message) {
    std::fprintf(err, "nyra1: %s\n", one_line(message).c_str());
    std::fflush(err);
    return kExitFailure;
}

// More than this is not read: the check needs only to know it is too long.
constexpr std::streamsize kReadAtMost = 1 << 20;

bool read_bytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + shown_name(path) + ": " + std::strerror(errno);
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read " + shown_name(path);
        return false;
    }
    return true;
}

} // namespace

bool read_script_file(const std::string& path, std::string& bytes, std::string& error) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        error = "cannot read the script " + shown_name(path) + ": it is a folder";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read the script " + shown_name(path) + ": " + std::strerror(errno);
        return false;
    }
    bytes.resize(static_cast<size_t>(kReadAtMost) + 1);
    in.read(bytes.data(), kReadAtMost + 1);
    if (in.bad()) {
        error = "cannot read the script " + shown_name(path);
        return false;
    }
    bytes.resize(static_cast<size_t>(in.gcount()));
    if (bytes.size() > static_cast<size_t>(kReadAtMost)) {
        char most[80];
        std::snprintf(most, sizeof most, " is over a megabyte; a script holds at most %u bytes", kScriptMaxBytes);
        error = "the script " + shown_name(path) + most;
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
    for (const ScriptFinding& w : check.warnings) std::fprintf(err, "nyra1: %s\n", one_line(finding_line(shown_name(path), w, true)).c_str());
    if (!script) fail(err, finding_line(shown_name(path), *check.refusal, false));
    std::fflush(err);
    return script;
}

int run_check_script(const std::string& path, std::FILE* out, std::FILE* err) {
    std::string bytes, error;
    if (!read_script_file(path, bytes, error)) return fail(err, error);
    const ScriptCheck check = check_script(bytes);
    if (!check.accepted()) return fail(err, finding_line(shown_name(path), *check.refusal, false));
    for (const ScriptFinding& w : check.warnings) std::fprintf(out, "%s\n", one_line(finding_line(shown_name(path), w, true)).c_str());
    std::fprintf(out, "%s: a good script of %zu bytes%s\n%s", shown_name(path).c_str(), bytes.size(),
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
        for (const std::string& place : handheld_program_places()) looked += "\n  " + shown_name(place);
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
        return fail(err, "cannot put the script into " + shown_name(from) + ": " + error + "; nothing written");

    // The target holds the old file or the whole new one; a pipe, device or
    // folder there is refused before anything is made.
    OutputFile file(target);
    if (!file.open(error)) return fail(err, error);
    // A program: executable where the umask lets files be.
    const mode_t mask = umask(0);
    umask(mask);
    const bool written = std::fwrite(program.data(), 1, program.size(), file.stream()) == program.size();
    if (!written || ::fchmod(file.descriptor(), 0777 & ~mask) != 0) {
        return fail(err, "cannot write " + shown_name(target) + ": " + std::strerror(errno));
    }
    if (!file.commit(error)) return fail(err, error);
    std::fprintf(out, "nyra1: the handheld program with %s in %s (%zu bytes, made from %s)\n",
                 script_path.empty() ? "the built-in script" : ("the script " + shown_name(script_path)).c_str(),
                 shown_name(target).c_str(), program.size(), shown_name(from).c_str());
    std::fflush(out);
    return kExitOk;
}

} // namespace Host
