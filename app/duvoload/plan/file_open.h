// Files named in UTF-8, opened so that the name reaches the file system unchanged: through the
// wide C runtime on Windows (a narrow name would pass through the ANSI code page, which turns
// characters it lacks into look-alikes or '?'), with the name's own bytes elsewhere.
#pragma once

#include <cstdio>
#include <string>

// Opens `path` for reading as binary; null with errno set when it cannot be opened.
std::FILE* OpenForReading(const std::string& path);

// True when `path` names a folder.
bool IsFolder(const std::string& path);
