// The text of --version: the program's name, its release and the commit it was built from.
#pragma once

extern const char VERSION_TEXT[];
