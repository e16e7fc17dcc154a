#include "virtualcard/driver/request_trace.h"

#include "virtualcard/driver/kernel_file.h"
#include "virtualcard/driver/text_builder.h"

namespace virtualcard::driver {

void RequestTrace::Record(void* context, const TraceEntry& entry) {
    auto* trace = static_cast<RequestTrace*>(context);
    if (trace->used_ + kLineMax > kBufferSize) trace->Flush();
    TextBuilder line(trace->buffer_ + trace->used_, kLineMax);
    line.Char(entry.write ? 'W' : 'R')
        .Char(' ')
        .Decimal(entry.offset)
        .Char(' ')
        .Hex(entry.value, 2)
        .Char(' ')
        .Decimal(entry.timeUs)
        .Char('\n');
    trace->used_ += static_cast<ULONG>(line.length());
}

void RequestTrace::Flush() {
    if (used_ == 0 || directory_ == nullptr) return;
    wchar_t path[kMaxPathChars];
    CardDataPath(path, directory_, L"trace.txt");
    NTSTATUS status = AppendToFile(path, buffer_, used_);
    if (!NT_SUCCESS(status))
        DbgPrint("duvo: trace in %ls not written (%08lx)\n", directory_, status);
    used_ = 0;
}

}  // namespace virtualcard::driver
