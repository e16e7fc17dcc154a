// A row of the console that is redrawn in place (a live line, or a line written over one).
#pragma once

#include <string>

// `text` (UTF-16, as the console takes it) cut or padded to one column less than the console's
// `width`: a console that wraps at its last column would otherwise move the cursor to the next
// row before the line end, and each redraw would drift a row further down. Padded, it covers
// whatever stood on its row before.
std::u16string FittedRow(std::u16string text, int width);
