#include "app/duvoload/gang/gang_member.h"

#include <windows.h>

#include "app/duvoload/console/console_text.h"
#include "app/duvoload/gang/gang_protocol.h"
#include "app/duvoload/gang/member_lines.h"
#include "app/duvoload/record/run_record.h"

namespace {

// Bytes to the parent on stdout; false when the parent no longer takes them.
bool WriteToParent(const std::string& bytes) {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    for (std::size_t done = 0; done < bytes.size();) {
        DWORD written = 0;
        if (!WriteFile(out, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                       nullptr)) {
            return false;
        }
        if (written == 0) {
            SetLastError(ERROR_NO_DATA);
            return false;
        }
        done += written;
    }
    return true;
}

// Each line of `text` tagged by its stream, in one write to stdout. Blocks' records go by
// SendRecord; any other stdout line (--probe's) counts as a message.
bool WriteTagged(StdStream stream, const std::string& text) {
    const MemberLine kind =
        stream == StdStream::Progress ? MemberLine::Progress : MemberLine::Message;
    std::string tagged;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        tagged += EncodeTextLine(kind, line) + "\n";
        start = end + 1;
    }
    return WriteToParent(tagged);
}

// A block's record, as its fields; the parent formats its stdout line.
bool SendRecord(const BlockRecord& record) {
    return WriteToParent(EncodeRecordLine(record) + "\n");
}

}  // namespace

bool SendStationState(const StationState& state) {
    return WriteToParent(EncodeStateLine(state) + "\n");
}

bool SendCardEnd(const CardRecord& card) {
    return WriteToParent(EncodeCardLine(card) + "\n");
}

void SendOutputToGang() {
    RedirectOutput(WriteTagged);
    SendRecordsTo(SendRecord);
}

bool ReadGangPlan(std::vector<PlannedBlock>* plan, std::string* error) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    // Typed by hand at a console, it would wait for a plan that never comes.
    if (GetFileType(input) == FILE_TYPE_CHAR) {
        *error = "--gang-member takes its blocks from the gang run (--slots) that starts it";
        return false;
    }
    std::string data;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        data.append(buffer, got);
    }
    return DecodeGangPlan(data, plan, error);
}
