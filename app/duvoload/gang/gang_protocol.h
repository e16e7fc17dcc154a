// What a gang run's parent and the duvoload process of each of its sockets say to each other.
// Every socket runs in a process of its own (`--gang-member`), so that nothing of one socket's
// download, its texts and codes included, can reach another's. The parent, having checked
// everything, sends each socket's process the plan on its standard input; that process sends back
// its blocks' records and every other line it would print on its standard output
// (member_lines.h).
#pragma once

#include <string>
#include <vector>

#include "app/duvoload/plan/planned_block.h"

// The plan as bytes: for each block the line "BLOCK BYTES SHA256 PATH_BYTES", then the path
// (UTF-8) and the image, PATH_BYTES and BYTES long; then the line "end".
std::string EncodeGangPlan(const std::vector<PlannedBlock>& plan);

// The plan back; false with `error` set when `data` is no whole plan, or an image does not match
// its SHA-256.
bool DecodeGangPlan(const std::string& data, std::vector<PlannedBlock>* plan, std::string* error);
