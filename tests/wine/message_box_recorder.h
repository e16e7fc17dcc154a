// Records the message boxes the download would have shown, instead of showing them.
#pragma once

#include <windows.h>

#include <string>

struct RecordedMessageBox {
    int count = 0;
    std::string text;  // of the last box
    std::string caption;
    UINT style = 0;
};

const RecordedMessageBox& RecordedMessageBoxes();
