#include "app/duvoload/write/write_order.h"

int WriteInOrder(const std::vector<BlockRecord>& blocks, const WriteSteps& steps) {
    int exitCode = EXIT_ALL_WRITTEN;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        BlockRecord record = blocks[i];
        record.status = BlockStatus::NotAttempted;
        if (exitCode == EXIT_ALL_WRITTEN && steps.stopRequested()) {
            exitCode = EXIT_INTERRUPTED;
        }
        if (exitCode == EXIT_ALL_WRITTEN) {
            record = steps.write(i);
            if (record.status != BlockStatus::Written) {
                exitCode = ExitCodeFor(record.kind);
            }
        }
        if (!steps.report(i, record) && exitCode == EXIT_ALL_WRITTEN) {
            exitCode = EXIT_OUTPUT_FAILED;
        }
    }
    return exitCode;
}
