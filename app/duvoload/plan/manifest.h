// The manifest: one block a line, `BLOCK FILE [SHA-256]`, fields separated by spaces or tabs, a
// path with spaces in double quotes, LF or CRLF, blank lines and `#` comments; relative paths are
// taken from the manifest's folder.
#pragma once

#include <string>
#include <vector>

#include "app/duvoload/plan/block_list.h"

// Parses the manifest's bytes as read from `manifestPath`: UTF-8 (with or without a byte order
// mark), or UTF-16 after a UTF-16 byte order mark. On failure `error` names the line and the
// reason: text in neither encoding, a control character other than a tab (a NUL would cut a
// path short), a malformed field, a duplicate block; an empty list is refused as well.
bool ParseManifest(const std::string& bytes, const std::string& manifestPath,
                   std::vector<BlockFile>* blocks, std::string* error);

// The folder part of `path`, with its trailing separator ("" when it has none).
std::string FolderOf(const std::string& path);

// True for "C:\x", "C:/x", "\x", "/x" and "\\server\x": paths not taken from another folder.
bool IsAbsolutePath(const std::string& path);
