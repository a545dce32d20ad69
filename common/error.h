// Error: the one error type of core code. It says what kind of failure happened, where
// (byte, bit, sector, frame or line), and what was found, in words for a person.
#pragma once

#include <cstdint>
#include <string>
#include <typeinfo>
#include <utility>

#include "common/result.h"

enum class ErrorCategory {
  Io,           // the system refused a call: errnum says why
  Format,       // the data are not what their format allows
  Unsupported,  // well-formed data or a request beyond what the code handles
  Cancelled,    // stopped because the user or a signal asked
  Usage,        // the caller's arguments or settings are wrong
  Network,      // a server could not be reached, or its answer was not usable
};

// Where in the input the failure was found.
struct ErrorPosition {
  enum class Unit { None, Byte, Bit, Sector, Frame, Line };
  Unit unit = Unit::None;
  uint64_t value = 0;

  static ErrorPosition Byte(uint64_t offset) { return {Unit::Byte, offset}; }
  static ErrorPosition Bit(uint64_t offset) { return {Unit::Bit, offset}; }
  static ErrorPosition Sector(uint64_t sector) { return {Unit::Sector, sector}; }
  static ErrorPosition Frame(uint64_t frame) { return {Unit::Frame, frame}; }
  static ErrorPosition Line(uint64_t line) { return {Unit::Line, line}; }
  bool Known() const { return unit != Unit::None; }
};

// "byte 4096", "sector 150", "" when the position is not known.
std::string PositionText(const ErrorPosition& position);

struct Error {
  Error() = default;
  Error(ErrorCategory category, ErrorPosition position, std::string text, std::string reason = {},
        std::string subject = {}, int errnum = 0)
      : category(category), position(position), text(std::move(text)), reason(std::move(reason)),
        subject(std::move(subject)), errnum(errnum) {}

  ErrorCategory category = ErrorCategory::Io;
  ErrorPosition position{};
  // The whole message: "Cannot create /x/a.wav: Permission denied".
  std::string text;
  // The cause alone ("Permission denied", "it is the input file itself"), for windows
  // that show what failed and why on two lines; empty when text says it all.
  std::string reason;
  // The file, drive or server concerned, where there is one.
  std::string subject;
  // The system's error number behind an Io error; 0 otherwise.
  int errnum = 0;

  // The failing module's own case, an enumerator of its enum (OutputFileFault::Replace):
  // for callers that act on one case, and for the int codes a C interface or a stored
  // value needs. Cases of different enums never compare equal, even with equal values.
  template <typename Case>
  bool Is(Case which) const {
    return caseType_ != nullptr && *caseType_ == typeid(Case) && case_ == static_cast<int>(which);
  }
  template <typename Case>
  Error& WithCase(Case which) {
    caseType_ = &typeid(Case);
    case_ = static_cast<int>(which);
    return *this;
  }
  // The case as its enum, or `otherwise` when the error carries none of that enum.
  template <typename Case>
  Case CaseOr(Case otherwise) const {
    return caseType_ != nullptr && *caseType_ == typeid(Case) ? static_cast<Case>(case_) : otherwise;
  }

  // The text, for code that shows or logs the error.
  const std::string& Message() const { return text; }

 private:
  const std::type_info* caseType_ = nullptr;
  int case_ = 0;
};

// An Io error from errno: text is `what` + ": " + strerror(errnum), reason the system's text.
Error IoError(int errnum, std::string subject, const std::string& what);

template <typename T>
using Expected = Result<T, Error>;
using Outcome = Status<Error>;
