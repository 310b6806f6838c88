// Scripts as the PC program takes them: a file read once, whole, and
// checked before anything plays (--script, --check-script); and the
// handheld program with a script in it (--export-gpe).
#pragma once
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "host/viewer/script.h"

namespace Host {

// The bytes of the file, read once; false with the reason when it cannot be
// read. A file much longer than a script is not read to its end.
bool read_script_file(const std::string& path, std::string& bytes, std::string& error);

// The script in the file, checked: its warnings go to err, as does the
// refusal, and then there is none.
std::optional<Script> load_script(const std::string& path, std::FILE* err);

// --check-script FILE: the findings, and for a script that passes its show.
int run_check_script(const std::string& path, std::FILE* out, std::FILE* err);

// Where the handheld program this nyra1 goes with may be, in the order they
// are tried: beside the program, where its installation keeps it
// (PREFIX/lib/nyra1), in the build tree it was built in.
std::vector<std::string> handheld_program_places();

// --export-gpe OUT: the handheld program with the script in use in its slot.
int run_export_gpe(const std::string& target, const std::string& script_path, std::FILE* out, std::FILE* err);

} // namespace Host
