#include "virtualcard/driver/status_file.h"

#include "virtualcard/driver/kernel_file.h"
#include "virtualcard/driver/text_builder.h"

namespace virtualcard::driver {

namespace {

void Line(TextBuilder& text, const char* name, uint64_t value) {
    text.Text(name).Char('=').Decimal(value).Char('\n');
}

}  // namespace

void WriteStatusFile(const CardDevice& device) {
    char buffer[1536];
    TextBuilder text(buffer, sizeof(buffer));
    const ParameterReport& parameters = device.parameters;
    Line(text, "socket", device.socket);
    Line(text, "config_values_accepted", parameters.accepted);
    Line(text, "config_values_rejected", parameters.rejected);
    Line(text, "config_values_rejected_total", device.rejectedValuesTotal);
    text.Text("config_rejected_names=").Text(parameters.rejectedNames).Char('\n');
    Line(text, "trace", parameters.traceEnabled ? 1 : 0);
    Line(text, "blocks_loaded", device.blocksLoaded);
    Line(text, "opens", device.opens);
    Line(text, "card", device.cardNumber);
    Line(text, "card_blocks", device.model->BlocksHoldingData());
    const Counters& counters = device.model->counters();
    Line(text, "requests", counters.requests);
    Line(text, "failed_requests", counters.failedRequests);
    Line(text, "rejected_requests", counters.rejectedRequests);
    Line(text, "register_reads", counters.registerReads);
    Line(text, "register_writes", counters.registerWrites);
    Line(text, "host_packets", counters.hostPackets);
    Line(text, "card_packets", counters.cardPackets);
    Line(text, "data_packets_accepted", counters.dataPacketsAccepted);
    Line(text, "data_packets_rejected", counters.dataPacketsRejected);
    Line(text, "protocol_errors", counters.protocolErrors);
    Line(text, "blocks_programmed", counters.blocksProgrammed);

    wchar_t path[kMaxPathChars];
    CardDataPath(path, device.dataDirectory, L"status.txt");
    NTSTATUS status = WriteWholeFile(path, buffer, static_cast<ULONG>(text.length()));
    if (!NT_SUCCESS(status))
        DbgPrint("duvo%lu: status file not written (%08lx)\n", device.socket, status);
}

}  // namespace virtualcard::driver
