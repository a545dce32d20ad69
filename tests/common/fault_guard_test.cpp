// Tests of the fault guard around calls into outside libraries.
#include "common/fault_guard.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "common/library_loader.h"
#include "common/unique_fd.h"
#include "tests/common/temp_dir.h"

namespace {

struct Fake {
  OutsideLibrary library;
  void (*accessViolation)() = nullptr;
  int (*divide)(int, int) = nullptr;
  void (*breakpoint)() = nullptr;
  int (*callBack)(int (*)(void*), void*) = nullptr;
  int (*add)(int, int) = nullptr;
  void (*illegal)() = nullptr;
  int (*read)(const volatile int*) = nullptr;
  int (*recurse)(int) = nullptr;

  Fake() {
    setenv("ZIMBAR_LIB_DIR", ZIMBAR_FAKES_DIR "/common", 1);
    library = OutsideLibrary::Open("zbcommonfake");
    unsetenv("ZIMBAR_LIB_DIR");
    accessViolation = library.Entry<void (*)()>("FakeAccessViolation");
    divide = library.Entry<int (*)(int, int)>("FakeDivide");
    breakpoint = library.Entry<void (*)()>("FakeBreakpoint");
    callBack = library.Entry<int (*)(int (*)(void*), void*)>("FakeCallBack");
    add = library.Entry<int (*)(int, int)>("FakeAdd");
    illegal = library.Entry<void (*)()>("FakeIllegalInstruction");
    read = library.Entry<int (*)(const volatile int*)>("FakeRead");
    recurse = library.Entry<int (*)(int)>("FakeRecurse");
  }
};

Fake& TheFake() {
  static Fake fake;
  return fake;
}

}  // namespace

// Catches a guard that lets the fault end the program or reports the wrong code, and one
// that stops working after its first catch (signal left blocked).
TEST(FaultGuard, AccessViolationInLibraryIsCaughtRepeatedly) {
  Fake& fake = TheFake();
  ASSERT_TRUE(fake.library.Loaded()) << fake.library.LoadError();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(RunGuarded([&] { fake.accessViolation(); }), kFaultAccessViolation);
  int sum = 0;
  EXPECT_EQ(RunGuarded([&] { sum = fake.add(20, 22); }), 0u);
  EXPECT_EQ(sum, 42);
}

// Catches integer divide and breakpoint faults mapped to the wrong codes.
TEST(FaultGuard, DivideByZeroAndBreakpointGiveTheirCodes) {
  Fake& fake = TheFake();
  ASSERT_TRUE(fake.library.Loaded());
  int result = 0;
  EXPECT_EQ(RunGuarded([&] { result = fake.divide(7, 0); }), kFaultIntDivideByZero);
  EXPECT_EQ(RunGuarded([&] { result = fake.divide(8, 2); }), 0u);
  EXPECT_EQ(result, 4);
  EXPECT_EQ(RunGuarded([&] { fake.breakpoint(); }), kFaultBreakpoint);
}

// Catches illegal instructions and bus errors mapped to the wrong codes: the bus error
// comes from reading a mapped page that lies wholly past the end of its file.
TEST(FaultGuard, IllegalInstructionAndBusErrorGiveTheirCodes) {
  Fake& fake = TheFake();
  ASSERT_TRUE(fake.library.Loaded());
  EXPECT_EQ(RunGuarded([&] { fake.illegal(); }), kFaultPrivInstruction);

  TempDir dir;
  const std::string path = dir.File("short");
  WriteText(path, "x");
  const long page = sysconf(_SC_PAGESIZE);
  UniqueFd fd(open(path.c_str(), O_RDONLY));
  void* map = mmap(nullptr, static_cast<size_t>(page) * 2, PROT_READ, MAP_PRIVATE, fd.Get(), 0);
  ASSERT_NE(map, MAP_FAILED);
  const auto* beyond = reinterpret_cast<const volatile int*>(static_cast<char*>(map) + page);
  int value = 0;
  EXPECT_EQ(RunGuarded([&] { value = fake.read(beyond); }), kFaultDatatypeMisalignment);
  munmap(map, static_cast<size_t>(page) * 2);
}

// Catches a handler that needs the faulting thread's own stack: a stack overflow inside
// the call must still be caught (the handler runs on the thread's alternate stack).
TEST(FaultGuard, StackOverflowIsCaught) {
  Fake& fake = TheFake();
  ASSERT_TRUE(fake.library.Loaded());
  uint32_t code = 0;
  std::thread worker([&] {
    code = RunGuarded([&] { fake.recurse(0); });
    // The thread goes on normally afterwards.
    if (RunGuarded([&] { fake.add(1, 2); }) != 0) code = 1;
  });
  worker.join();
  EXPECT_EQ(code, kFaultAccessViolation);
}

// Catches a fault in an inner guard unwinding the outer one, and an outer guard left
// pointing at a dead inner frame.
TEST(FaultGuard, NestedGuardsCatchAtTheInnermost) {
  Fake& fake = TheFake();
  ASSERT_TRUE(fake.library.Loaded());
  uint32_t inner = 0;
  bool afterInner = false;
  const uint32_t outer = RunGuarded([&] {
    inner = RunGuarded([&] { fake.accessViolation(); });
    afterInner = true;
  });
  EXPECT_EQ(inner, kFaultAccessViolation);
  EXPECT_TRUE(afterInner);
  EXPECT_EQ(outer, 0u);

  // A fault after the inner guard has ended belongs to the outer one.
  struct Context {
    Fake* fake;
    uint32_t inner;
  } context{&fake, 1};
  const uint32_t outerCode = RunGuarded([&] {
    fake.callBack(
        [](void* c) {
          auto* ctx = static_cast<Context*>(c);
          ctx->inner = RunGuarded([ctx] { ctx->fake->add(1, 1); });
          ctx->fake->accessViolation();
          return 0;
        },
        &context);
  });
  EXPECT_EQ(context.inner, 0u);
  EXPECT_EQ(outerCode, kFaultAccessViolation);
}

// Catches guard state shared between threads: each thread's fault must land in its own
// guard while the others keep running.
TEST(FaultGuard, ThreadsFaultIndependently) {
  Fake& fake = TheFake();
  ASSERT_TRUE(fake.library.Loaded());
  std::atomic<int> caught{0}, clean{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) {
        if ((i + t) % 2 == 0) {
          if (RunGuarded([&] { fake.accessViolation(); }) == kFaultAccessViolation) ++caught;
        } else {
          int r = 0;
          if (RunGuarded([&] { r = fake.divide(10, 0); }) == kFaultIntDivideByZero) ++caught;
          if (RunGuarded([&] { r = fake.add(i, t); }) == 0 && r == i + t) ++clean;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(caught.load(), 200);
  EXPECT_EQ(clean.load(), 100);
}

// Catches a guard that swallows faults outside any guarded call: the process must still
// die from the signal, as it would without the guard.
TEST(FaultGuard, FaultOutsideGuardKeepsDefaultBehaviour) {
  Fake& fake = TheFake();
  ASSERT_TRUE(fake.library.Loaded());
  EXPECT_EQ(RunGuarded([] {}), 0u);  // handlers installed
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    fake.accessViolation();
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGSEGV);

  const pid_t raiser = fork();
  ASSERT_GE(raiser, 0);
  if (raiser == 0) {
    raise(SIGFPE);
    _exit(0);
  }
  ASSERT_EQ(waitpid(raiser, &status, 0), raiser);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGFPE);
}

// Catches a C++ exception leaving the guard armed: a later fault would jump into a dead frame.
TEST(FaultGuard, ExceptionPassesThroughAndDisarms) {
  EXPECT_THROW(RunGuarded([] { throw std::runtime_error("x"); }), std::runtime_error);
  Fake& fake = TheFake();
  ASSERT_TRUE(fake.library.Loaded());
  EXPECT_EQ(RunGuarded([&] { fake.accessViolation(); }), kFaultAccessViolation);
}

// Catches a wrong or missing text of the fault table.
TEST(FaultGuard, FaultTextsCoverTheTable) {
  EXPECT_STREQ(FaultText(0), "");
  EXPECT_STREQ(FaultText(kFaultAccessViolation), "exception: access violation");
  EXPECT_STREQ(FaultText(kFaultIntDivideByZero), "exception: int divide by zero");
  EXPECT_STREQ(FaultText(kFaultFltInvalidOperation), "exception: flt invalid operation");
  EXPECT_STREQ(FaultText(kFaultPrivInstruction), "exception: priv instruction");
  EXPECT_STREQ(FaultText(kFaultBreakpoint), "exception: breakpoint");
  EXPECT_STREQ(FaultText(kFaultDatatypeMisalignment), "exception: datatype misalignment");
  EXPECT_STREQ(FaultText(0x80000004), "exception: single step");
  EXPECT_STREQ(FaultText(0xC0000025), "exception: noncontinuable exception");
  EXPECT_STREQ(FaultText(0xC000008C), "exception: array bounds exceeded");
  EXPECT_STREQ(FaultText(0xC000008D), "exception: flt denormal operand");
  EXPECT_STREQ(FaultText(0xC000008E), "exception: flt divide by zero");
  EXPECT_STREQ(FaultText(0xC000008F), "exception: flt inexact result");
  EXPECT_STREQ(FaultText(0xC0000091), "exception: flt overflow");
  EXPECT_STREQ(FaultText(0xC0000092), "exception: flt stack check");
  EXPECT_STREQ(FaultText(0xC0000093), "exception: flt underflow");
  EXPECT_STREQ(FaultText(0xC0000095), "exception: int overflow");
  EXPECT_STREQ(FaultText(0x12345678), "exception: unknown");
}
