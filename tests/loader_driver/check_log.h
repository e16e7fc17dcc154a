// Counts and reports the checks of one scenario.
#pragma once

#include <cstdio>
#include <string>

class CheckLog {
  public:
    bool Expect(bool ok, const std::string& what) {
        ++checks_;
        if (!ok) {
            ++failures_;
            std::printf("FAIL: %s\n", what.c_str());
        }
        std::fflush(stdout);
        return ok;
    }

    bool ExpectEqual(const std::string& actual, const std::string& expected,
                     const std::string& what) {
        return Expect(actual == expected,
                      what + ": \"" + actual + "\", expected \"" + expected + "\"");
    }

    bool ExpectEqual(long long actual, long long expected, const std::string& what) {
        return Expect(actual == expected, what + ": " + std::to_string(actual) + ", expected " +
                                              std::to_string(expected));
    }

    void Note(const std::string& text) {
        std::printf("  %s\n", text.c_str());
        std::fflush(stdout);
    }

    int checks() const { return checks_; }
    int failures() const { return failures_; }

  private:
    int checks_ = 0;
    int failures_ = 0;
};
