#include "app/duvoload/station/station_loop.h"

namespace {

void Show(const StationSteps& steps, StationPhase phase, unsigned card = 0,
          CardEnd end = CardEnd::Written) {
    steps.show(StationState{phase, card, end});
}

// Waits until a card answers: true, or false once a stop is requested. A socket in use is shown
// once for each time it is found in use.
bool AwaitCard(const StationSteps& steps) {
    bool inUse = false;
    while (!steps.stopRequested()) {
        const CardPresence presence = steps.trySocket();
        if (presence == CardPresence::Answered) return true;
        if ((presence == CardPresence::InUse) != inUse) {
            inUse = !inUse;
            Show(steps, inUse ? StationPhase::InUse : StationPhase::Waiting);
        }
        steps.pause();
    }
    return false;
}

// Waits until the device can no longer be opened: the card has been taken out. A socket in use or
// a card that does not answer may still hold the card. False once a stop is requested.
bool AwaitRemoval(const StationSteps& steps) {
    while (!steps.stopRequested()) {
        if (steps.trySocket() == CardPresence::Empty) return true;
        steps.pause();
    }
    return false;
}

}  // namespace

StationTotals RunStationSocket(unsigned cardLimit, const StationSteps& steps) {
    StationTotals totals;
    for (unsigned card = 1; cardLimit == 0 || card <= cardLimit; ++card) {
        Show(steps, StationPhase::Waiting);
        if (!AwaitCard(steps)) break;
        Show(steps, StationPhase::Writing, card);
        const CardEnd end = steps.writeCard(card);
        Show(steps, StationPhase::Remove, card, end);
        if (end == CardEnd::Written) {
            ++totals.written;
        } else {
            ++totals.failed;
        }
        if (end == CardEnd::Interrupted) totals.interrupted = true;
        if (end == CardEnd::RecordLost) totals.recordLost = true;
        if (end == CardEnd::Interrupted || end == CardEnd::RecordLost) break;
        if (card == cardLimit || !AwaitRemoval(steps)) break;
    }
    return totals;
}
