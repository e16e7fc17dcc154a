// One block of a run, checked and read: its number, its file's full path and its image.
#pragma once

#include <string>

#include "app/duvoload/plan/image_file.h"

struct PlannedBlock {
    int block = 0;
    std::string fullPath;
    LoadedImage image;
};
