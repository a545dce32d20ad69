// Tests of the fault guard around calls into outside libraries.
#include "common/fault_guard.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/library_loader.h"
#include "common/unique_fd.h"
#include "tests/common/temp_dir.h"

namespace {

struct Fake {
  OutsideLibrary library = [] {
    ScopedEnv dir("ZIMBAR_LIB_DIR", ZIMBAR_FAKES_DIR "/common");
    return OutsideLibrary::Open("zbcommonfake");
  }();
  void (*accessViolation)() = library.Entry<void (*)()>("FakeAccessViolation");
  int (*divide)(int, int) = library.Entry<int (*)(int, int)>("FakeDivide");
  void (*breakpoint)() = library.Entry<void (*)()>("FakeBreakpoint");
  int (*callBack)(int (*)(void*), void*) = library.Entry<int (*)(int (*)(void*), void*)>("FakeCallBack");
  int (*add)(int, int) = library.Entry<int (*)(int, int)>("FakeAdd");
  void (*illegal)() = library.Entry<void (*)()>("FakeIllegalInstruction");
  int (*read)(const volatile int*) = library.Entry<int (*)(const volatile int*)>("FakeRead");
  int (*recurse)(int) = library.Entry<int (*)(int)>("FakeRecurse");
};

Fake& TheFake() {
  static Fake fake;
  return fake;
}

class FaultGuard : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fake.library.Loaded()) << fake.library.LoadError(); }
  Fake& fake = TheFake();
};

// The way a child process running call ended: its signal, or 0 when it exited.
int ChildSignal(void (*call)()) {
  const pid_t child = ::fork();
  if (child == 0) {
    call();
    ::_exit(0);
  }
  int status = 0;
  return child > 0 && ::waitpid(child, &status, 0) == child && WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

}  // namespace

// Catches a guard that lets the fault end the program or reports the wrong code, and one
// that stops working after its first catch (signal left blocked).
TEST_F(FaultGuard, AccessViolationInLibraryIsCaughtRepeatedly) {
  for (int i = 0; i < 3; ++i) EXPECT_EQ(RunGuarded([&] { fake.accessViolation(); }), kFaultAccessViolation);
  int sum = 0;
  EXPECT_EQ(RunGuarded([&] { sum = fake.add(20, 22); }), 0u);
  EXPECT_EQ(sum, 42);
}

// Catches integer divide, breakpoint, illegal instruction and bus error faults mapped to
// the wrong codes; the bus error comes from reading a mapped page wholly past its file's end.
TEST_F(FaultGuard, EachFaultKindGivesItsCode) {
  int result = 0;
  EXPECT_EQ(RunGuarded([&] { result = fake.divide(7, 0); }), kFaultIntDivideByZero);
  EXPECT_EQ(RunGuarded([&] { fake.breakpoint(); }), kFaultBreakpoint);
  EXPECT_EQ(RunGuarded([&] { fake.illegal(); }), kFaultPrivInstruction);
  TempDir dir;
  WriteText(dir.File("short"), "x");
  const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  UniqueFd fd(::open(dir.File("short").c_str(), O_RDONLY));
  void* map = ::mmap(nullptr, page * 2, PROT_READ, MAP_PRIVATE, fd.Get(), 0);
  ASSERT_NE(map, MAP_FAILED);
  const auto* beyond = reinterpret_cast<const volatile int*>(static_cast<char*>(map) + page);
  EXPECT_EQ(RunGuarded([&] { result = fake.read(beyond); }), kFaultDatatypeMisalignment);
  ::munmap(map, page * 2);
}

// Catches a handler that needs the faulting thread's own stack: a stack overflow inside
// the call must still be caught (the handler runs on the thread's alternate stack), and
// the thread goes on normally afterwards.
TEST_F(FaultGuard, StackOverflowIsCaught) {
  uint32_t code = 0, after = 1;
  std::thread worker([&] {
    code = RunGuarded([&] { fake.recurse(0); });
    after = RunGuarded([&] { fake.add(1, 2); });
  });
  worker.join();
  EXPECT_EQ(code, kFaultAccessViolation);
  EXPECT_EQ(after, 0u);
}

// Catches a fault in an inner guard unwinding the outer one, and an outer guard left
// pointing at a dead inner frame: a fault after the inner guard ended belongs to the outer.
TEST_F(FaultGuard, NestedGuardsCatchAtTheInnermost) {
  uint32_t inner = 0;
  bool afterInner = false;
  EXPECT_EQ(RunGuarded([&] {
              inner = RunGuarded([&] { fake.accessViolation(); });
              afterInner = true;
            }),
            0u);
  EXPECT_EQ(inner, kFaultAccessViolation);
  EXPECT_TRUE(afterInner);

  uint32_t laterInner = 1;
  const auto body = [](void* c) {
    *static_cast<uint32_t*>(c) = RunGuarded([] { TheFake().add(1, 1); });
    TheFake().accessViolation();
    return 0;
  };
  EXPECT_EQ(RunGuarded([&] { fake.callBack(body, &laterInner); }), kFaultAccessViolation);
  EXPECT_EQ(laterInner, 0u);
}

// Catches guard state shared between threads: each thread's fault must land in its own
// guard while the others keep running.
TEST_F(FaultGuard, ThreadsFaultIndependently) {
  std::atomic<int> caught{0}, clean{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) {
        int r = 0;
        if ((i + t) % 2 == 0) {
          caught += RunGuarded([&] { fake.accessViolation(); }) == kFaultAccessViolation;
        } else {
          caught += RunGuarded([&] { r = fake.divide(10, 0); }) == kFaultIntDivideByZero;
          clean += RunGuarded([&] { r = fake.add(i, t); }) == 0 && r == i + t;
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
TEST_F(FaultGuard, FaultOutsideGuardKeepsDefaultBehaviour) {
  EXPECT_EQ(RunGuarded([] {}), 0u);  // handlers installed
  EXPECT_EQ(ChildSignal([] { TheFake().accessViolation(); }), SIGSEGV);
  EXPECT_EQ(ChildSignal([] { ::raise(SIGFPE); }), SIGFPE);
}

// Catches a C++ exception leaving the guard armed: a later fault would jump into a dead frame.
TEST_F(FaultGuard, ExceptionPassesThroughAndDisarms) {
  EXPECT_THROW(RunGuarded([] { throw std::runtime_error("x"); }), std::runtime_error);
  EXPECT_EQ(RunGuarded([&] { fake.accessViolation(); }), kFaultAccessViolation);
}

// Catches a wrong or missing text of the fault table.
TEST(FaultText, CoversTheTable) {
  const std::pair<uint32_t, const char*> texts[] = {
      {0, ""}, {kFaultAccessViolation, "access violation"}, {kFaultIntDivideByZero, "int divide by zero"},
      {kFaultFltInvalidOperation, "flt invalid operation"}, {kFaultPrivInstruction, "priv instruction"},
      {kFaultBreakpoint, "breakpoint"}, {kFaultDatatypeMisalignment, "datatype misalignment"},
      {0x80000004, "single step"}, {0xC0000025, "noncontinuable exception"}, {0xC000008C, "array bounds exceeded"},
      {0xC000008D, "flt denormal operand"}, {0xC000008E, "flt divide by zero"}, {0xC000008F, "flt inexact result"},
      {0xC0000091, "flt overflow"}, {0xC0000092, "flt stack check"}, {0xC0000093, "flt underflow"},
      {0xC0000095, "int overflow"}, {0x12345678, "unknown"}};
  for (const auto& [code, text] : texts)
    EXPECT_EQ(FaultText(code), code == 0 ? std::string() : "exception: " + std::string(text)) << std::hex << code;
}
