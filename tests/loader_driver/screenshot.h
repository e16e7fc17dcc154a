// Screenshots of the whole (virtual) desktop, as 24-bit BMP files.
#pragma once

#include <string>

class Screenshots {
  public:
    // dir: an existing directory, as a Windows path ending in a backslash.
    explicit Screenshots(std::string dir) : dir_(std::move(dir)) {}

    // Saves <dir><scenario-prefix><name>.bmp; numbered in order of taking.
    void Take(const std::string& name);

  private:
    std::string dir_;
    int count_ = 0;
};
