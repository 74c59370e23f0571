// The freed-memory guard of the target's test executables (linked into every Wine test executable,
// never into the program).
//
// The target has no address sanitizer, so the test executables replace operator new and delete:
//  - every block carries guard bytes before and after it, checked when it is freed;
//  - a freed block is filled with the poison byte 0xDD and held in a quarantine (the most recent
//    64 MB of freed memory) before it goes back to the heap, so that a use after free reads
//    0xDDDDDDDD (a pointer that leads nowhere) instead of passing by luck; a block leaving the
//    quarantine must still hold its poison, or something wrote to it after it was freed;
//  - while a test sets the trap for reads (TTrapFreedReads), a block gets pages of its own, out of
//    reach once it is freed, so that even a read that the poison would let pass faults;
//  - a second delete of a block, a delete of memory that operator new did not hand out and a
//    delete of the wrong form (scalar against array) are recorded.
// The system swallows access violations raised inside window procedures and carries on, so a
// vectored exception handler counts every hardware fault (access violation, stack overflow ...)
// the process raises, caught or not.
//
// A test listener fails each test during which the guard recorded anything, and the process ends
// with a failure when the guard records something after the last test.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>

namespace memguard {

// Counts since the process started.
struct TCounts {
  unsigned HeapFaults = 0;      // guard bytes overwritten, double or foreign deletes, writes after free,
                                // and the GDI handle guard's faults
  unsigned HardwareFaults = 0;  // access violations and the other hardware exceptions
};

TCounts Counts();

// The descriptions of the faults recorded since the counts were last Counts-equal to Since, one per
// line (at most the first few of each kind).
std::string DescribeSince(const TCounts& Since);

// A code address as "module+0xoffset", or as the bare address where no module of the process holds
// it (a null pointer called, or the host's own libraries under an emulation layer).
std::string DescribeCode(const void* Address);

// Checks the poison of every block freed since the counts were taken in FreedSince (a number from
// FreedSequence) that is still in the quarantine; a block written after it was freed is recorded as
// a heap fault. Cost grows with the memory freed since then.
unsigned FreedSequence();
void CheckFreedSince(unsigned FreedSince);

// Records a fault found by another guard of the test executables (the GDI handle guard), counted
// with the heap faults. Text is one line; it does not allocate.
void RecordFault(const char* Text);

// Installs the exception counter and the test listener that fails a test during which anything was
// recorded. Called by the test executables' main after InitGoogleTest.
void InstallForTests();

// The faults recorded while an object of this class lives are expected by the test that makes it:
// Taken() tells how many were recorded, and they do not fail the test. For the guard's own tests.
class TExpectFaults {
 public:
  TExpectFaults();
  ~TExpectFaults();
  TCounts Taken() const;

 private:
  TCounts FStart;
};

// Makes one allocation fail as the process running out of memory would, for tests of what an
// operation leaves behind then: while an object of this class lives, the allocations by operator
// new are counted, and the one numbered FailAt (1 for the first) fails (operator new throws
// std::bad_alloc, its nothrow forms answer nullptr). FailAt 0 only counts. One object at a time.
class TFailAllocation {
 public:
  explicit TFailAllocation(unsigned FailAt);
  ~TFailAllocation();
  TFailAllocation(const TFailAllocation&) = delete;
  TFailAllocation& operator=(const TFailAllocation&) = delete;
  // Allocations asked for since this object was made (the failed one included).
  unsigned Made() const;
  bool Failed() const;
};

// While an object of this class lives, each block operator new hands out gets pages of its own,
// and a freed one's pages are taken out of reach: any touch of such a block after it was freed
// faults and is counted, whatever the poison would have read as (a flag that ends a road early,
// a handle the system quietly refuses). For tests of code that may touch what a handler freed.
// Blocks made before it, and blocks over 64 KB, are guarded as usual. A block of the trap's size
// that finds no room in its region (256 MB of address space) is made as usual too, and the last
// trap to end then records a fault: its test did not hold what it claims.
class TTrapFreedReads {
 public:
  TTrapFreedReads();
  ~TTrapFreedReads();
  TTrapFreedReads(const TTrapFreedReads&) = delete;
  TTrapFreedReads& operator=(const TTrapFreedReads&) = delete;
};

// The action of a handler that frees what holds the handler (its control, a panel, the form), run
// the first time only. The handler's copy goes with what it frees, so Handler's callable takes what
// it needs onto its own stack first; the action and Done stay with the test.
class TFreeOnce {
 public:
  explicit TFreeOnce(std::function<void()> Act) : FAct(std::move(Act)) {}
  TFreeOnce(const TFreeOnce&) = delete;
  TFreeOnce& operator=(const TFreeOnce&) = delete;
  auto Handler() {
    return [Self = this] {
      TFreeOnce* S = Self;
      if (S->FDone) return;
      S->FDone = true;
      S->FAct();
    };
  }
  bool Done() const { return FDone; }

 private:
  std::function<void()> FAct;
  bool FDone = false;
};

// Counts the hardware faults (access violations, stack overflows ...) the process raises while an
// object of this class lives, caught or not: a test that sends messages checks with it that no
// window procedure crashed where it expects none (the listener would fail the test as well, but
// only at its end and without saying where).
class TFaultCount {
 public:
  TFaultCount();
  TFaultCount(const TFaultCount&) = delete;
  TFaultCount& operator=(const TFaultCount&) = delete;
  // Faults raised since this object was made.
  int Count() const;

 private:
  unsigned FStart;
};

// The poison byte of freed blocks.
constexpr unsigned char PoisonByte = 0xDD;

}  // namespace memguard
