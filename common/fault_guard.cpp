// RunGuarded: a per-thread sigsetjmp guard around calls into outside libraries.
//
// The five fault signals get one process-wide handler that runs on a per-thread
// alternate stack (a fault may come from a blown stack). When the faulting thread is
// inside RunGuarded, the handler jumps back to the innermost guard of that thread with
// the fault's code; otherwise it puts the handler that was there before back in place and
// raises the signal again, so the process ends as it would have without the guard.
#include "common/fault_guard.h"

#include <setjmp.h>
#include <signal.h>

#include <cstdlib>
#include <mutex>

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];

struct GuardFrame {
  sigjmp_buf resume;
  GuardFrame* outer;
  volatile uint32_t code;
};

// Plain (trivially constructed) thread-locals, safe to touch from the handler.
thread_local GuardFrame* t_innermost = nullptr;

// Owns this thread's alternate signal stack, removed when the thread ends.
class AltStack {
 public:
  AltStack() {
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return;  // someone else's
    memory_ = static_cast<char*>(std::malloc(kBytes));
    if (memory_ == nullptr) return;
    stack_t mine{};
    mine.ss_sp = memory_;
    mine.ss_size = kBytes;
    if (sigaltstack(&mine, nullptr) != 0) {
      std::free(memory_);
      memory_ = nullptr;
    }
  }
  ~AltStack() {
    if (memory_ == nullptr) return;
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    sigaltstack(&off, nullptr);
    std::free(memory_);
  }
  AltStack(const AltStack&) = delete;
  AltStack& operator=(const AltStack&) = delete;

 private:
  static constexpr size_t kBytes = 256 * 1024;
  char* memory_ = nullptr;
};

struct sigaction g_previous[kSignalCount];
std::once_flag g_installed;

uint32_t CodeOf(int signal, const siginfo_t* info) {
  switch (signal) {
    case SIGSEGV: return kFaultAccessViolation;
    case SIGBUS: return kFaultDatatypeMisalignment;
    case SIGFPE: return info != nullptr && info->si_code == FPE_INTDIV ? kFaultIntDivideByZero : kFaultFltInvalidOperation;
    case SIGILL: return kFaultPrivInstruction;
    case SIGTRAP: return kFaultBreakpoint;
    default: return 0xFFFFFFFFu;
  }
}

void OnFault(int signal, siginfo_t* info, void*) {
  if (GuardFrame* frame = t_innermost; frame != nullptr) {
    frame->code = CodeOf(signal, info);
    siglongjmp(frame->resume, 1);
  }
  // Not ours: restore what was there and deliver the signal again (at once: the handler
  // does not block it). A hardware fault would recur by itself, but a signal sent with
  // kill() or raise() would not.
  for (int i = 0; i < kSignalCount; ++i)
    if (kSignals[i] == signal) sigaction(signal, &g_previous[i], nullptr);
  raise(signal);
}

void InstallHandlers() {
  for (int i = 0; i < kSignalCount; ++i) {
    struct sigaction action{};
    action.sa_sigaction = OnFault;
    // SA_NODEFER: the signal stays open while its handler runs, so the jump back to the
    // guard leaves the thread's signal mask as it was, and a guard need not save and
    // restore the mask (a system call on every guarded call, once per decoded frame).
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    sigaction(kSignals[i], &action, &g_previous[i]);
  }
}

}  // namespace

uint32_t RunGuarded(const std::function<void()>& call) {
  std::call_once(g_installed, InstallHandlers);
  thread_local AltStack altStack;
  (void)altStack;

  GuardFrame frame;
  frame.outer = t_innermost;
  frame.code = 0;
  // savemask=0: the handler runs with the fault signal open (SA_NODEFER), so the mask
  // after the jump is the one of the guarded call, and the signal is open for the next.
  if (sigsetjmp(frame.resume, 0) != 0) {
    t_innermost = frame.outer;
    return frame.code;
  }
  t_innermost = &frame;
  try {
    call();
  } catch (...) {
    t_innermost = frame.outer;
    throw;
  }
  t_innermost = frame.outer;
  return 0;
}

const char* FaultText(uint32_t code) {
  switch (code) {
    case 0: return "";
    case 0x80000002: return "exception: datatype misalignment";
    case 0x80000003: return "exception: breakpoint";
    case 0x80000004: return "exception: single step";
    case 0xC0000005: return "exception: access violation";
    case 0xC0000025: return "exception: noncontinuable exception";
    case 0xC000008C: return "exception: array bounds exceeded";
    case 0xC000008D: return "exception: flt denormal operand";
    case 0xC000008E: return "exception: flt divide by zero";
    case 0xC000008F: return "exception: flt inexact result";
    case 0xC0000090: return "exception: flt invalid operation";
    case 0xC0000091: return "exception: flt overflow";
    case 0xC0000092: return "exception: flt stack check";
    case 0xC0000093: return "exception: flt underflow";
    case 0xC0000094: return "exception: int divide by zero";
    case 0xC0000095: return "exception: int overflow";
    case 0xC0000096: return "exception: priv instruction";
    default: return "exception: unknown";
  }
}
