// The plan a gang run's socket process reads from its parent, on any bytes. A refusal says why;
// an accepted plan holds blocks between 2 and 14 whose images match their SHA-256, and encodes
// to bytes that decode to the same plan.
#include <cstdint>
#include <string>
#include <vector>

#include "app/duvoload/gang/gang_protocol.h"
#include "app/duvoload/plan/block_list.h"
#include "app/duvoload/plan/sha256.h"
#include "fuzz/check.h"

namespace {

bool SamePlan(const std::vector<PlannedBlock>& a, const std::vector<PlannedBlock>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].block != b[i].block || a[i].fullPath != b[i].fullPath ||
            a[i].image.bytes != b[i].image.bytes || a[i].image.sha256 != b[i].image.sha256) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::vector<PlannedBlock> plan;
    std::string error;
    if (!DecodeGangPlan(bytes, &plan, &error)) {
        FUZZ_CHECK(!error.empty(), "a plan refused without a reason");
        return 0;
    }
    for (const PlannedBlock& planned : plan) {
        FUZZ_CHECK(planned.block >= FIRST_BLOCK && planned.block <= LAST_BLOCK,
                   "a planned block outside 2 to 14");
        FUZZ_CHECK(Sha256Hex(planned.image.bytes.data(), planned.image.bytes.size()) ==
                       planned.image.sha256,
                   "an image that does not match its SHA-256");
    }
    std::vector<PlannedBlock> again;
    FUZZ_CHECK(DecodeGangPlan(EncodeGangPlan(plan), &again, &error) && SamePlan(again, plan),
               "the plan encoded again decodes otherwise");
    return 0;
}
