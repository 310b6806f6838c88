// File names in messages. A name may hold any byte but '/' and NUL: a
// newline would split a one-line message, an escape sequence would work on
// the terminal. Every message that names a path or echoes an argument shows
// it through here, so that the message stays one line of plain text and the
// name can be pasted back into a shell.
#pragma once
#include <string>

namespace Host {

// The name as it is when it is plain text (printable UTF-8), otherwise in
// the shell's $'...' quoting with \n, \t, \xHH and so on for what is not:
// "out.png" stays out.png, "a<newline>b.png" becomes $'a\nb.png'.
std::string shown_name(const std::string& name);

// As shown_name, but always quoted: 'out.png', $'a\nb.png'. For names and
// values set off from the words around them.
std::string quoted_name(const std::string& name);

// A whole message made one line of plain text: each control character or
// byte that is not UTF-8 in it written as its escape (\n, \xHH), the rest
// kept. The last guard before a line is printed.
std::string one_line(const std::string& text);

} // namespace Host
