// duvoload's output: UTF-8 text to stdout or stderr. On a console it goes out as UTF-16, so that
// every name shows as it was typed whatever the console's code page; redirected to a file or a
// pipe, the UTF-8 bytes go out as they are. Lines end in CR LF. Each call writes at once:
// nothing waits in a buffer.
#pragma once

#include <string>

enum class StdStream { Out, Err };

void WriteText(StdStream stream, const std::string& utf8);

// WriteText of `utf8` and a line end.
void WriteLine(StdStream stream, const std::string& utf8);

bool IsConsole(StdStream stream);
