// A guard that turns a fault raised inside an outside library into a platform fault code.
#pragma once

#include <cstdint>
#include <functional>

// Platform fault codes reported for faults inside outside libraries.
inline constexpr uint32_t kFaultDatatypeMisalignment = 0x80000002;  // SIGBUS
inline constexpr uint32_t kFaultBreakpoint = 0x80000003;            // SIGTRAP
inline constexpr uint32_t kFaultAccessViolation = 0xC0000005;       // SIGSEGV
inline constexpr uint32_t kFaultFltInvalidOperation = 0xC0000090;   // SIGFPE other than integer divide
inline constexpr uint32_t kFaultIntDivideByZero = 0xC0000094;       // SIGFPE integer divide
inline constexpr uint32_t kFaultPrivInstruction = 0xC0000096;       // SIGILL

// Runs call() on the calling thread. Returns 0 when it returned normally, or the fault
// code when a SIGSEGV, SIGBUS, SIGFPE, SIGILL or SIGTRAP was raised on this thread while it
// ran; the call is then abandoned (no destructors run inside it, so the callee must be C
// code of an outside library). Guards nest; a fault outside any guard keeps the default
// behaviour (the process ends).
uint32_t RunGuarded(const std::function<void()>& call);

// The text appended to "Encoder/decoder failed. " for a fault code:
// "exception: access violation" and so on; "" for 0, "exception: unknown" for others.
const char* FaultText(uint32_t code);
