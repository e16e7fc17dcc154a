// Is there a card in the socket? One try, as a programming station makes it about every half
// second: the socket's lock taken, the device opened, the card's information asked for, the device
// closed and the lock released. Nothing is written and the card is not initialised.
#pragma once

#include <windows.h>

enum class CardPresence {
    Empty,     // the device could not be opened: no card
    InUse,     // another program, or another download of this one, holds the socket
    Silent,    // the device opened but the card's information could not be read
    Answered,  // the card answered
};

CardPresence TryCard(DWORD unit);
