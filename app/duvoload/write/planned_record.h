// A planned block's record before it is attempted: what it names, no result yet.
#pragma once

#include <cstdint>

#include "app/duvoload/plan/planned_block.h"
#include "app/duvoload/record/block_record.h"

#include <string>

inline BlockRecord PlannedRecord(unsigned socket, const PlannedBlock& planned,
                                 const std::string& tag, unsigned card = 0) {
    BlockRecord record;
    record.socket = socket;
    record.block = planned.block;
    record.file = planned.fullPath;
    record.bytes = static_cast<std::uint32_t>(planned.image.bytes.size());
    record.sha256 = planned.image.sha256;
    record.card = card;
    record.tag = tag;
    return record;
}
