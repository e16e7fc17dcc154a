// The request trace: one text line per register request, appended to trace.txt in its socket's
// data directory: "R|W <offset> <value, two hex digits> <time in microseconds>".
#pragma once

#include "virtualcard/card_model.h"
#include "virtualcard/driver/kernel.h"

namespace virtualcard::driver {

class RequestTrace {
  public:
    // Matches virtualcard::TraceFn; `context` is the RequestTrace.
    static void Record(void* context, const TraceEntry& entry);

    // The directory of trace.txt; set before the first record.
    void SetDirectory(const wchar_t* directory) { directory_ = directory; }

    // Writes the buffered lines to the file.
    void Flush();

  private:
    static constexpr ULONG kBufferSize = 32 * 1024;
    static constexpr ULONG kLineMax = 40;

    char buffer_[kBufferSize];
    ULONG used_ = 0;
    const wchar_t* directory_ = nullptr;
};

}  // namespace virtualcard::driver
