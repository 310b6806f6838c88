// Every file the PC program writes goes through an OutputFile: PNG frames,
// --inside-at pictures, screenshots, videos (ffmpeg writes into it) and the
// icons. The file is made without a name in the folder of its target (or,
// where the file system cannot do that, under a short hidden name there,
// .nyra1-XXXXXX) and takes the target's name only once it is complete. So:
//   - the target's name only ever holds a finished file, and a failed or
//     interrupted write leaves what was there;
//   - nothing is left behind when the program dies, even by SIGKILL: a file
//     without a name goes with the last process that has it open;
//   - named pipes, devices, sockets and folders at the target are refused
//     before anything is opened: nothing blocks, nothing is deleted;
//   - a name as long as the file system allows works, since the temporary
//     name is short.
//
//   OutputFile file(path);
//   if (!file.open(error)) return fail(error);   // one line, nothing made
//   ... write to file.stream(), or hand file.descriptor() to a child that
//       opens file.name_in_child(3) ...
//   if (!file.commit(error)) return fail(error); // the old file is intact
//
// Dropping an OutputFile that was not committed discards what was written.
#pragma once
#include <sys/types.h>

#include <cstdio>
#include <string>

namespace Host {

class OutputFile {
public:
    // What a symbolic link at the path means.
    enum class Links {
        Followed, // written through, as a shell's redirection does: the file
                  // it points to gets the contents and the link stays
        Replaced, // the link itself is replaced (names a program chooses
                  // inside a folder it writes, such as frames)
    };
    // What a file already at the path means.
    enum class Existing {
        Replaced, // the finished file takes its place (keeping its permissions)
        Kept,     // never touched: the file is given a free name instead
    };

    explicit OutputFile(std::string path, Links links = Links::Followed, Existing existing = Existing::Replaced);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Checks what is at the path and makes the file beside it. False with a
    // one-line error ("cannot write PATH: it is a named pipe (FIFO)"), with
    // nothing made.
    bool open(std::string& error);
    bool is_open() const { return stream_ != nullptr; }

    // The file while it is written, positioned at its start.
    std::FILE* stream() const { return stream_; }
    int descriptor() const;
    // The name under which a child process that has the descriptor as its
    // own descriptor child_descriptor can open the file.
    std::string name_in_child(int child_descriptor) const;

    // Gives the complete file its name, in place of what was there. False
    // with a one-line error when a write failed or the name cannot be given;
    // the file is then discarded and the path holds what it held.
    bool commit(std::string& error);
    // Existing::Kept: gives the complete file the name path, when it is
    // free. When a file of that name exists, taken is set and the file stays
    // open for another name; on other failures it is discarded.
    bool commit_as_new(const std::string& path, bool& taken, std::string& error);
    // Drops the file; the path keeps what it held.
    void discard();

    const std::string& path() const { return path_; }
    // Where the file goes: the path past any symbolic links (Followed).
    const std::string& target() const { return target_; }
    // The path as messages name it, with the file a link leads to.
    std::string shown() const;
    // The hidden name the file has while it is written; empty when it has
    // none.
    const std::string& temporary_name() const { return temporary_; }

    // Tests: with false, later files are made under a temporary name, as on
    // file systems that cannot make files without one.
    static void allow_unnamed_files(bool allowed);

private:
    bool resolve(std::string& error);
    bool make_file(std::string& error);
    bool flushed(std::string& error);
    bool link_as(const std::string& name);
    void close();
    std::string failure(const std::string& reason) const;

    std::string path_;
    std::string target_;
    Links links_;
    Existing existing_;
    std::FILE* stream_ = nullptr;
    bool unnamed_ = false;
    std::string temporary_;
    mode_t keep_mode_ = 0; // the permissions of the file replaced, if any
    bool replaces_ = false;
};

// What is at a path that a file may not replace, by its lstat mode: "a
// folder", "a named pipe (FIFO)", "a device", "a socket"; "" for a plain
// file or a symbolic link.
std::string special_file_kind(mode_t mode);

} // namespace Host
