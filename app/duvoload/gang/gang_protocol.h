// What a gang run's parent and the duvoload process of each of its sockets say to each other.
// Every socket runs in a process of its own (`--gang-member`), so that nothing of one socket's
// download, its texts and codes included, can reach another's. The parent, having checked
// everything, sends each socket's process the plan on its standard input; that process sends back
// every line it would print, tagged by where it belongs, on its standard output.
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

enum class MemberLine {
    Result,    // a line of stdout: a block's result
    Message,   // a line of stderr: a failure's text, a hint, a log problem
    Progress,  // a progress line
};

// One line as a socket's process sends it: a tag letter, a space, the text.
std::string TagMemberLine(MemberLine kind, const std::string& text);

// The kind and text of a line a socket's process sent; a line without a tag (anything else the
// process wrote) is a message.
MemberLine UntagMemberLine(const std::string& line, std::string* text);

// The block a result line is about ("block 5: written ..." gives 5); 0 for any other text.
int ResultLineBlock(const std::string& text);
