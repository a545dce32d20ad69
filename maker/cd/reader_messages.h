// The words of the reader library's typed messages, shared by every caller that relays them.
#pragma once

#include <cstdint>

// The text of an error or warning message ("CD-ROM read error.", "Made %i corrections."
// with the message's value for %i); nullptr for the other types (status, progress, notes).
const char* ReaderMessageText(uint8_t type);
// Whether the message is an error (the read failed) rather than a warning.
bool IsReaderError(uint8_t type);
