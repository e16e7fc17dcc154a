// A programming station's loop for one socket: wait for a card, write it, wait until it is taken
// out, and again, until told to stop or after a number of cards. A card left in is written once:
// only a socket found empty arms it for the next card.
#pragma once

#include <functional>

#include "download/card_presence.h"

// How the write of one card ended.
enum class CardEnd {
    Written,      // every block written
    Failed,       // a block failed: the card's other blocks were not attempted
    Interrupted,  // a stop request (or an abandoned block) left it not completely written
    RecordLost,   // a record could not be kept: the station stops at once
};

// What the socket is doing, for its live line or its plain lines.
enum class StationPhase {
    Waiting,  // for a card
    InUse,    // waiting, and the socket is in use by another program
    Writing,  // card `card`
    Remove,   // card `card` is done (`end`), waiting for it to be taken out
};

struct StationState {
    StationPhase phase = StationPhase::Waiting;
    unsigned card = 0;
    CardEnd end = CardEnd::Written;
};

struct StationSteps {
    // One try of the socket (TryCard).
    std::function<CardPresence()> trySocket;
    // Writes card `card` (numbered from 1) and records its blocks and its line.
    std::function<CardEnd(unsigned card)> writeCard;
    // Waits before the next try, about half a second.
    std::function<void()> pause;
    std::function<bool()> stopRequested;
    // Each change of state, as it happens.
    std::function<void(const StationState& state)> show;
};

struct StationTotals {
    unsigned written = 0;
    unsigned failed = 0;       // failed, interrupted or not on record
    bool interrupted = false;  // a card was left not completely written by a stop
    bool recordLost = false;
};

// Runs the socket's loop until a stop is requested while no card is written, a card is
// interrupted or not on record, or `cardLimit` cards (0: no limit) have been written or failed.
StationTotals RunStationSocket(unsigned cardLimit, const StationSteps& steps);
