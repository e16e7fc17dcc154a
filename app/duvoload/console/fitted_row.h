// A row of the console that is redrawn in place (a live line, or a line written over one).
#pragma once

#include <string>

// `utf8` cut or padded to one column less than the console's `width`: a console that wraps at
// its last column would otherwise move the cursor to the next row before the line end, and each
// redraw would drift a row further down. Padded, it covers whatever stood on its row before.
std::string Fitted(const std::string& utf8, int width);
