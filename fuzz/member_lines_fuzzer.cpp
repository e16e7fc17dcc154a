// The lines a gang's (or a station's) socket process sends its parent, as the parent decodes them.
// Any bytes decode to a record, a station's state or card, a message or a progress line without
// harm; what decodes as one encodes
// again to a line that decodes to the same, and an encoded line is always one line.
#include <cstdint>
#include <string>

#include "app/duvoload/gang/member_lines.h"
#include "fuzz/check.h"

namespace {

bool SameRecord(const BlockRecord& a, const BlockRecord& b) {
    return a.socket == b.socket && a.block == b.block && a.file == b.file && a.bytes == b.bytes &&
           a.sha256 == b.sha256 && a.status == b.status && a.kind == b.kind && a.code == b.code &&
           a.message == b.message && a.time == b.time && a.seconds == b.seconds;
}

void CheckRecord(const BlockRecord& record) {
    const std::string line = EncodeRecordLine(record);
    FUZZ_CHECK(line.find('\n') == std::string::npos, "an encoded record is one line");
    const DecodedMemberLine again = DecodeMemberLine(line);
    FUZZ_CHECK(again.kind == MemberLine::Record, "an encoded record decodes as a record");
    FUZZ_CHECK(SameRecord(again.record, record), "a record comes back field for field");
    FUZZ_CHECK(EncodeRecordLine(again.record) == line, "a record encodes the same twice");
}

void CheckText(MemberLine kind, const std::string& text) {
    const std::string line = EncodeTextLine(kind, text);
    FUZZ_CHECK(line.find('\n') == std::string::npos, "an encoded text is one line");
    const DecodedMemberLine again = DecodeMemberLine(line);
    FUZZ_CHECK(again.kind == kind, "a text keeps its kind");
    FUZZ_CHECK(again.text == text, "a text comes back as it was");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    const DecodedMemberLine decoded = DecodeMemberLine(line);
    switch (decoded.kind) {
        case MemberLine::Record:
            FUZZ_CHECK(line.rfind("R ", 0) == 0, "only an R line is a record");
            CheckRecord(decoded.record);
            break;
        case MemberLine::State: {
            const std::string again = EncodeStateLine(decoded.state);
            FUZZ_CHECK(line.rfind("S ", 0) == 0, "only an S line is a state");
            FUZZ_CHECK(DecodeMemberLine(again).kind == MemberLine::State, "a state decodes again");
            FUZZ_CHECK(EncodeStateLine(DecodeMemberLine(again).state) == again,
                       "a state encodes the same twice");
            break;
        }
        case MemberLine::Card: {
            const std::string again = EncodeCardLine(decoded.card);
            FUZZ_CHECK(line.rfind("C ", 0) == 0, "only a C line is a card");
            FUZZ_CHECK(again.find('\n') == std::string::npos, "an encoded card is one line");
            FUZZ_CHECK(DecodeMemberLine(again).kind == MemberLine::Card, "a card decodes again");
            FUZZ_CHECK(EncodeCardLine(DecodeMemberLine(again).card) == again,
                       "a card encodes the same twice");
            break;
        }
        case MemberLine::Message:
        case MemberLine::Progress:
            CheckText(decoded.kind, decoded.text);
            break;
    }
    // The bytes themselves as every field that carries text.
    BlockRecord record;
    record.file = line;
    record.message = line;
    record.time = line;
    record.sha256 = line;
    CheckRecord(record);
    return 0;
}
