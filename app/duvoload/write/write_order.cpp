#include "app/duvoload/write/write_order.h"

int WriteInOrder(const std::vector<BlockOutcome>& blocks, const WriteSteps& steps) {
    int exitCode = EXIT_ALL_WRITTEN;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        BlockOutcome outcome = blocks[i];
        outcome.status = BlockStatus::NotAttempted;
        if (exitCode == EXIT_ALL_WRITTEN && steps.stopRequested()) {
            exitCode = EXIT_INTERRUPTED;
        }
        if (exitCode == EXIT_ALL_WRITTEN) {
            outcome = steps.write(i);
            if (outcome.status != BlockStatus::Written) {
                exitCode = ExitCodeForFailure(outcome.code);
            }
        }
        if (!steps.report(i, outcome) && exitCode == EXIT_ALL_WRITTEN) {
            exitCode = EXIT_LOG_FAILED;
        }
    }
    return exitCode;
}
