/* A tiny outside library for the loader and fault guard tests: it says which copy it is,
   adds, and faults on request. */
#include <stdint.h>

#ifndef FAKE_IDENTITY
#define FAKE_IDENTITY 0
#endif

/* The faulting entries must reach the hardware fault: the sanitizers would otherwise
   stop the process first. */
#define RAW __attribute__((noinline, no_sanitize("address", "undefined")))

int FakeIdentity(void) { return FAKE_IDENTITY; }

int FakeAdd(int a, int b) { return a + b; }

RAW void FakeAccessViolation(void) {
  /* The address goes through a volatile so the compiler cannot see it is wild. */
  volatile uintptr_t address = 0x10;
  *(volatile int*)address = 1;
}

RAW int FakeDivide(int a, int b) {
  volatile int divisor = b;
  return a / divisor;
}

RAW void FakeBreakpoint(void) { __asm__ volatile("int3"); }

/* Calls back into the caller, so a guard can be nested inside a guarded call. */
int FakeCallBack(int (*callback)(void* context), void* context) { return callback(context); }

RAW void FakeIllegalInstruction(void) { __builtin_trap(); }

/* Reads through a pointer the caller chooses (a page past the end of a mapped file gives
   a bus error). */
RAW int FakeRead(const volatile int* address) { return *address; }

/* Recurses until the stack runs out (the limit is never reached); the result is used so
   the calls stay calls. */
volatile int fakeRecursionLimit = -1;
RAW int FakeRecurse(int depth) {
  if (depth == fakeRecursionLimit) return 0;
  volatile char frame[1024];
  frame[0] = (char)depth;
  return FakeRecurse(depth + 1) + frame[0];
}

/* State kept in the library itself: each loaded copy counts on its own. */
static int counted;
int FakeCount(void) { return ++counted; }
