// The freed-memory guard that every Wine test executable carries: a use after free reads poison,
// overwritten guard bytes and double deletes are recorded, an access violation swallowed inside a
// window procedure is counted, and a test during which any of that happened fails.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "support/FreedMemoryGuard.h"

// Outside the unnamed namespace, so that the compiler cannot know every class derived from it and
// calls its virtual functions through the object's table.
struct TFreedMemoryGuardVictim {
  virtual ~TFreedMemoryGuardVictim() = default;
  virtual int Answer() { return 42; }
  int Value = 7;
};

namespace {

using TVictim = TFreedMemoryGuardVictim;

// Keeps the compiler from reasoning about a pointer after it was freed.
template <class T>
T* Opaque(T* P) {
  asm volatile("" : "+r"(P));
  return P;
}

TEST(FreedMemoryGuard, UseAfterFreeReadsPoisonAndTheBlockIsNotReused) {
  auto* Victim = new TVictim;
  volatile int* Field = &Victim->Value;
  const void* Address = Victim;
  delete Opaque(Victim);
  EXPECT_EQ(static_cast<unsigned>(*Field), 0xDDDDDDDDu);
  // The quarantine keeps the freed block from the next allocations of the same size.
  for (int I = 0; I < 100; ++I) {
    auto* Other = new TVictim;
    EXPECT_NE(static_cast<const void*>(Other), Address);
    delete Other;
  }
}

TEST(FreedMemoryGuard, RecordsOverrunsDoubleDeletesMismatchesAndWritesAfterFree) {
  {
    memguard::TExpectFaults Expect;
    char* Bytes = new char[10];
    Opaque(Bytes)[10] = 1;  // one past the end
    delete[] Bytes;
    EXPECT_EQ(Expect.Taken().HeapFaults, 1u);
  }
  {
    memguard::TExpectFaults Expect;
    char* Bytes = new char[10];
    Opaque(Bytes)[-1] = 1;  // one before the start
    delete[] Bytes;
    EXPECT_EQ(Expect.Taken().HeapFaults, 1u);
  }
  {
    memguard::TExpectFaults Expect;
    auto* Victim = new TVictim;
    ::operator delete(Victim);
    ::operator delete(Opaque(Victim));
    EXPECT_EQ(Expect.Taken().HeapFaults, 1u);
  }
  {
    memguard::TExpectFaults Expect;
    int* Numbers = new int[4];
    ::operator delete(Opaque(Numbers));  // a scalar delete of an array
    EXPECT_EQ(Expect.Taken().HeapFaults, 1u);
  }
  {
    memguard::TExpectFaults Expect;
    const unsigned Freed = memguard::FreedSequence();
    auto* Victim = new TVictim;
    volatile int* Field = &Victim->Value;
    delete Opaque(Victim);
    *Field = 5;  // written after it was freed
    memguard::CheckFreedSince(Freed);
    EXPECT_EQ(Expect.Taken().HeapFaults, 1u);
  }
}

// A window whose procedure calls a virtual function of a freed object when it is destroyed, as a
// window procedure left pointing into a freed adapter would.
TVictim* FreedVictim = nullptr;
bool ReadFieldOnly = false;  // reads a field of the freed object instead of calling it

LRESULT CALLBACK UseFreedProc(HWND W, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_DESTROY && FreedVictim != nullptr)
    return ReadFieldOnly ? Opaque(FreedVictim)->Value : Opaque(FreedVictim)->Answer();
  return DefWindowProcW(W, Msg, WParam, LParam);
}

HWND MakeUseFreedWindow() {
  static const wchar_t* ClassName = L"TvFreedMemoryGuardProbe";
  WNDCLASSW Class{};
  Class.lpfnWndProc = UseFreedProc;
  Class.hInstance = GetModuleHandleW(nullptr);
  Class.lpszClassName = ClassName;
  RegisterClassW(&Class);
  return CreateWindowW(ClassName, L"probe", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                       GetModuleHandleW(nullptr), nullptr);
}

// Returns whether the window is gone after DestroyWindow.
bool SwallowAccessViolation() {
  HWND W = MakeUseFreedWindow();
  if (W == nullptr) return false;
  FreedVictim = new TVictim;
  delete Opaque(FreedVictim);
  DestroyWindow(W);  // WM_DESTROY faults; the system catches it and goes on
  FreedVictim = nullptr;
  return !IsWindow(W);
}

TEST(FreedMemoryGuard, NamesTheModuleOfCodeAndNoneForANullCall) {
  // The program's own code is named by its module; a call through a null pointer lies in no module.
  const std::string Own = memguard::DescribeCode(reinterpret_cast<const void*>(&SwallowAccessViolation));
  EXPECT_NE(Own.find(".exe+0x"), std::string::npos) << Own;
  const std::string Null = memguard::DescribeCode(nullptr);
  EXPECT_EQ(Null.find(".exe"), std::string::npos) << Null;
  EXPECT_EQ(Null, "0x00000000");
}

TEST(FreedMemoryGuard, CountsAnAccessViolationSwallowedInsideAWindowProcedure) {
  memguard::TExpectFaults Expect;
  EXPECT_TRUE(SwallowAccessViolation()) << "the process went on after the fault";
  EXPECT_EQ(Expect.Taken().HardwareFaults, 1u);
}

// Under the trap for reads, even a read of a freed block's field faults, which the poison lets pass;
// a second delete of such a block is recorded without touching it.
TEST(FreedMemoryGuard, UnderTheTrapAnyReadOfAFreedBlockFaults) {
  memguard::TExpectFaults Expect;
  {
    memguard::TTrapFreedReads Trap;
    ReadFieldOnly = true;
    EXPECT_TRUE(SwallowAccessViolation());
    ReadFieldOnly = false;
    auto* Victim = new TVictim;
    ::operator delete(Victim);
    ::operator delete(Opaque(Victim));
  }
  EXPECT_EQ(Expect.Taken().HardwareFaults, 1u);
  EXPECT_EQ(Expect.Taken().HeapFaults, 1u);
  // Without the trap the same read takes the poison quietly.
  ReadFieldOnly = true;
  EXPECT_TRUE(SwallowAccessViolation());
  ReadFieldOnly = false;
  EXPECT_EQ(Expect.Taken().HardwareFaults, 1u);
}

// A trap that could not give every block pages of its own says so when it ends: a test that leans
// on it would otherwise pass on reads it never saw. Its region holds 256 MB; blocks of 60 KB fill it.
TEST(FreedMemoryGuard, ATrapOutOfRoomSaysSo) {
  memguard::TExpectFaults Expect;
  {
    memguard::TTrapFreedReads Trap;
    std::vector<void*> Blocks;
    Blocks.reserve(5000);
    for (int I = 0; I < 5000; ++I) Blocks.push_back(::operator new(60 * 1024));
    for (void* B : Blocks) ::operator delete(B);
  }
  EXPECT_EQ(Expect.Taken().HeapFaults, 1u);
  {
    memguard::TTrapFreedReads Trap;  // the region's room is back once its blocks are freed
    ::operator delete(::operator new(60 * 1024));
  }
  EXPECT_EQ(Expect.Taken().HeapFaults, 1u);
}

// An over-aligned block's pages are its own too: freeing it under the trap leaves the block made
// after it as it was (two rounds, so that one of them starts on a page its alignment skips).
TEST(FreedMemoryGuard, UnderTheTrapAnOverAlignedBlockFreesOnlyItsOwnPages) {
  memguard::TExpectFaults Expect;
  {
    memguard::TTrapFreedReads Trap;
    std::vector<void*> Fillers;
    for (int Round = 0; Round < 2; ++Round) {
      void* Aligned = ::operator new(64, std::align_val_t{8192});
      void* After = ::operator new(64);
      ::operator delete(Aligned, std::align_val_t{8192});
      ::operator delete(After);
      Fillers.push_back(::operator new(64));
    }
    for (void* F : Fillers) ::operator delete(F);
  }
  EXPECT_EQ(Expect.Taken().HeapFaults, 0u);
}

// Run only by the test below, in a process of their own: each must be reported as failed.
TEST(FreedMemoryGuardChild, DISABLED_SwallowedAccessViolation) { EXPECT_TRUE(SwallowAccessViolation()); }

TEST(FreedMemoryGuardChild, DISABLED_OverwrittenGuard) {
  char* Bytes = new char[3];
  Opaque(Bytes)[3] = 1;
  delete[] Bytes;
}

TEST(FreedMemoryGuardChild, DISABLED_Clean) {
  auto* Victim = new TVictim;
  delete Victim;
}

// Runs this executable on a filter; returns its exit code and fills Output with what it printed.
DWORD RunSelf(const std::string& Arguments, std::string& Output) {
  char Exe[MAX_PATH];
  GetModuleFileNameA(nullptr, Exe, MAX_PATH);
  SECURITY_ATTRIBUTES SA{sizeof SA, nullptr, TRUE};
  HANDLE Read = nullptr, Write = nullptr;
  if (!CreatePipe(&Read, &Write, &SA, 0)) return 0xFFFFFFFF;
  SetHandleInformation(Read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA SI{};
  SI.cb = sizeof SI;
  SI.dwFlags = STARTF_USESTDHANDLES;
  SI.hStdOutput = Write;
  SI.hStdError = Write;
  SI.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION PI{};
  std::string Command = "\"" + std::string(Exe) + "\" " + Arguments;
  if (!CreateProcessA(nullptr, Command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &SI, &PI)) {
    CloseHandle(Read);
    CloseHandle(Write);
    return 0xFFFFFFFF;
  }
  CloseHandle(Write);
  char Buffer[4096];
  DWORD N = 0;
  while (ReadFile(Read, Buffer, sizeof Buffer, &N, nullptr) && N > 0) Output.append(Buffer, N);
  CloseHandle(Read);
  WaitForSingleObject(PI.hProcess, 60000);
  DWORD Code = 0xFFFFFFFF;
  GetExitCodeProcess(PI.hProcess, &Code);
  CloseHandle(PI.hProcess);
  CloseHandle(PI.hThread);
  return Code;
}

TEST(FreedMemoryGuard, FailsTheTestDuringWhichAFaultWasRecorded) {
  std::string Output;
  const DWORD Code =
      RunSelf("--gtest_filter=FreedMemoryGuardChild.* --gtest_also_run_disabled_tests --gtest_color=no", Output);
  EXPECT_EQ(Code, 1u) << Output;
  EXPECT_NE(Output.find("[  FAILED  ] FreedMemoryGuardChild.DISABLED_SwallowedAccessViolation"), std::string::npos)
      << Output;
  EXPECT_NE(Output.find("[  FAILED  ] FreedMemoryGuardChild.DISABLED_OverwrittenGuard"), std::string::npos)
      << Output;
  EXPECT_NE(Output.find("[       OK ] FreedMemoryGuardChild.DISABLED_Clean"), std::string::npos) << Output;
  EXPECT_NE(Output.find("access violation"), std::string::npos) << Output;
  EXPECT_NE(Output.find("an address read from freed memory"), std::string::npos) << Output;
  EXPECT_NE(Output.find("written past its end"), std::string::npos) << Output;
  EXPECT_NE(Output.find("2 FAILED TESTS"), std::string::npos) << Output;
}

}  // namespace
