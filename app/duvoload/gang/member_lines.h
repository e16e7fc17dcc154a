// What the duvoload process of one socket of a gang run (or of a station on several sockets)
// sends its parent on its stdout, one line each: a tag letter, a space, then the content with
// backslash, tab, CR and LF escaped. A block's record, a station's state and a card's end go as
// their fields, tab-separated; the parent formats its lines from them and never reads anything
// back out of display text.
#pragma once

#include <string>

#include "app/duvoload/record/block_record.h"
#include "app/duvoload/station/card_record.h"
#include "app/duvoload/station/station_loop.h"

enum class MemberLine {
    Record,    // a block's record
    Message,   // a line of stderr: a failure's text, a hint, a problem with the log
    Progress,  // a progress line
    State,     // a station's socket changed state
    Card,      // a station's card ended
};

// "R " and the record's fields: socket, block, file, bytes, SHA-256, status, kind, code, message,
// time, seconds, card, tag.
std::string EncodeRecordLine(const BlockRecord& record);

// "S " and the state's fields: phase, card, how the card ended.
std::string EncodeStateLine(const StationState& state);

// "C " and the card's fields: card, how it ended, the local time its first block began, seconds.
// Its blocks' records went before it; the parent takes the block that ended it from those.
std::string EncodeCardLine(const CardRecord& card);

// "M " or "P " and the text.
std::string EncodeTextLine(MemberLine kind, const std::string& text);

struct DecodedMemberLine {
    MemberLine kind = MemberLine::Message;
    std::string text;    // a message's or progress line's text
    BlockRecord record;  // a record's fields
    StationState state;  // a state's fields
    CardRecord card;     // a card's fields: card, end, time and seconds
};

// The line back. Anything else the process wrote (a line without a tag, a record that does not
// decode whole) is a message, shown as it came.
DecodedMemberLine DecodeMemberLine(const std::string& line);
