// The reader library's messages as every caller relays them: their words, the ring they
// arrive in, and the wait for a started read.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

struct ReaderRequest;
struct ReaderMessage;

// The text of an error or warning message ("CD-ROM read error.", "Made %i corrections."
// with the message's value for %i); nullptr for the other types (status, progress, notes).
const char* ReaderMessageText(uint8_t type);
// Whether the message is an error (the read failed) rather than a warning.
bool IsReaderError(uint8_t type);

using ReaderMessageHandler = std::function<void(const ReaderMessage&)>;

// Hands `handle` the messages the library has put into the block's ring since the last
// call, in order, and moves the block's read index past them.
void ConsumeReaderMessages(ReaderRequest& request, const ReaderMessageHandler& handle);

// Waits for a started read to end: every `interval` it consumes the ring and passes
// `stopped()` on as the block's cancel field; once the library has set done, it consumes
// what was posted after the last poll.
void WaitForReader(ReaderRequest& request, std::chrono::milliseconds interval, const ReaderMessageHandler& handle,
                   const std::function<bool()>& stopped);
