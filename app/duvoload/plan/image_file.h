// Reads a block's image file whole and checks it before anything touches the card.
#pragma once

#include <string>

#include "app/duvoload/plan/block_list.h"
#include "app/duvoload/plan/planned_block.h"
#include "app/image_limit.h"

// Reads `entry.path` whole, refuses a folder, a file that cannot be read, an empty one, one of
// IMAGE_LENGTH_LIMIT bytes or more, and one whose hash differs from `entry.sha256` where that is
// given. On failure `error` names the entry's origin and the reason.
bool LoadImageFile(const BlockFile& entry, LoadedImage* image, std::string* error);

// Reads a whole text file (the manifest); false with `error` set when it cannot be read.
bool ReadTextFile(const std::string& path, std::string* text, std::string* error);
