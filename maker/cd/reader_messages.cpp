// The words of the reader library's messages.
#include "maker/cd/reader_messages.h"

#include "outside/zbntread/zbntread.h"

const char* ReaderMessageText(uint8_t type) {
  switch (type) {
    case READER_MSG_INIT_ERROR: return "Cannot initialize CD Devices.";
    case READER_MSG_READ_ERROR: return "CD-ROM read error.";
    case READER_MSG_WRITE_ERROR: return "Cannot write to file.";
    case READER_MSG_MEMORY_ERROR: return "Not enough memory.";
    case READER_MSG_SUSPICIOUS_END: return "Suspicious position at track end.";
    case READER_MSG_CORRECTIONS: return "Made %i corrections.";
    case READER_MSG_DRIVE_ERROR: return "CD Drive Error %i.";
    case READER_MSG_SUSPICIOUS_START: return "Suspicious start of track.";
    case READER_MSG_SYNC_ERROR: return "Sync Error.";
    default: return nullptr;
  }
}

bool IsReaderError(uint8_t type) { return type >= READER_MSG_INIT_ERROR && type <= READER_MSG_MEMORY_ERROR; }
