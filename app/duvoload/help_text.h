// The texts of --help and --version.
#pragma once

extern const char HELP_TEXT[];
extern const char VERSION_TEXT[];
