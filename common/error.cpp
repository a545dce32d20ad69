// Texts of the one error type.
#include "common/error.h"

#include <cstring>

std::string PositionText(const ErrorPosition& position) {
  const std::string value = std::to_string(position.value);
  switch (position.unit) {
    case ErrorPosition::Unit::None: return {};
    case ErrorPosition::Unit::Byte: return "byte " + value;
    case ErrorPosition::Unit::Bit: return "bit " + value;
    case ErrorPosition::Unit::Sector: return "sector " + value;
    case ErrorPosition::Unit::Frame: return "frame " + value;
    case ErrorPosition::Unit::Line: return "line " + value;
  }
  return {};
}

Error IoError(int errnum, std::string subject, const std::string& what) {
  Error error;
  error.category = ErrorCategory::Io;
  error.errnum = errnum;
  error.reason = std::strerror(errnum);
  error.text = what + ": " + error.reason;
  error.subject = std::move(subject);
  return error;
}
