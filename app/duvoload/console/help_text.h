// The text of --help.
#pragma once

extern const char HELP_TEXT[];
