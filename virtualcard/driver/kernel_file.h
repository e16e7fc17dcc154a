// Whole-file reads and writes from the driver, for the card's files under the data directory.
#pragma once

#include "virtualcard/driver/kernel.h"

namespace virtualcard::driver {

// The directory that holds socket 0's block files, trace and status file; socket N (N >= 1) has
// its own directory "SocketN" inside it.
inline constexpr const wchar_t* kCardDataDirectory = L"\\??\\C:\\ProgramData\\DuvoVirtualCard";
inline constexpr ULONG kMaxPathChars = 96;

// Creates the directory when it is missing (its parent must exist).
NTSTATUS CreateDirectory(const wchar_t* directory);

// Builds "<directory>\<name>" into `path` (kMaxPathChars wide characters).
void CardDataPath(wchar_t* path, const wchar_t* directory, const wchar_t* name);

// Replaces the file's contents with `length` bytes.
NTSTATUS WriteWholeFile(const wchar_t* path, const void* data, ULONG length);

// Appends `length` bytes at the end of the file, creating it when missing.
NTSTATUS AppendToFile(const wchar_t* path, const void* data, ULONG length);

// Reads the whole file into `data`; fails when it is larger than `capacity`.
NTSTATUS ReadWholeFile(const wchar_t* path, void* data, ULONG capacity, ULONG* length);

}  // namespace virtualcard::driver
