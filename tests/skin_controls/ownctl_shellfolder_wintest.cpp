// The item-ID-list routines, the shell folder object and the OLE start-up and shutdown of the
// shell folder unit.
#include <gtest/gtest.h>
#include <ole2.h>

#include <cstring>
#include <string>

#include "skin/controls/acShellFolder.h"

namespace {

// A list of items with the given payloads (each item: 16-bit size, then the payload).
LPITEMIDLIST MakeList(std::initializer_list<std::string> Items) {
  int Size = 2;
  for (const std::string& S : Items) Size += 2 + static_cast<int>(S.size());
  LPITEMIDLIST L = CreatePIDL(Size);
  auto* P = reinterpret_cast<BYTE*>(L);
  for (const std::string& S : Items) {
    const WORD N = static_cast<WORD>(2 + S.size());
    std::memcpy(P, &N, 2);
    std::memcpy(P + 2, S.data(), S.size());
    P += N;
  }
  return L;
}

std::string Bytes(LPCITEMIDLIST L) {
  return std::string(reinterpret_cast<const char*>(L), static_cast<std::size_t>(GetPIDLSize(L)));
}

}  // namespace

TEST(OwnctlShellFolder, MeasuresCopiesAndJoinsItemLists) {
  EXPECT_EQ(GetPIDLSize(nullptr), 0);
  EXPECT_EQ(CopyPIDL(nullptr), nullptr);
  EXPECT_EQ(CreatePIDL(0), nullptr);
  LPITEMIDLIST Empty = MakeList({});
  EXPECT_EQ(GetPIDLSize(Empty), 2);
  LPITEMIDLIST A = MakeList({"ab", "cde"});
  EXPECT_EQ(GetPIDLSize(A), 2 + 4 + 5);
  EXPECT_EQ(reinterpret_cast<BYTE*>(NextPIDL(A)), reinterpret_cast<BYTE*>(A) + 4);
  LPITEMIDLIST Copy = CopyPIDL(A);
  ASSERT_NE(Copy, A);
  EXPECT_EQ(Bytes(Copy), Bytes(A));
  // Joining with nothing in front is a copy.
  LPITEMIDLIST J0 = ConcatPIDLs(nullptr, A);
  EXPECT_EQ(Bytes(J0), Bytes(A));
  LPITEMIDLIST B = MakeList({"xyz"});
  LPITEMIDLIST J = ConcatPIDLs(A, B);
  LPITEMIDLIST Expected = MakeList({"ab", "cde", "xyz"});
  EXPECT_EQ(Bytes(J), Bytes(Expected));
  LPITEMIDLIST J2 = ConcatPIDLs(A, nullptr);
  EXPECT_EQ(Bytes(J2), Bytes(A));
  LPITEMIDLIST J3 = ConcatPIDLs(Empty, Empty);
  EXPECT_EQ(GetPIDLSize(J3), 2);
  for (LPITEMIDLIST L : {Empty, A, Copy, J0, B, J, Expected, J2, J3}) DisposePIDL(L);
  DisposePIDL(nullptr);
}

TEST(OwnctlShellFolder, StartsOleAndTheDesktopFolderOnceAndStopsThemAtTheLastShutdown) {
  ASSERT_EQ(acShellFolderStartupCount(), 0);
  ASSERT_EQ(DesktopFolder, nullptr);
  acShellFolderStartup();
  ASSERT_NE(DesktopFolder, nullptr);
  EXPECT_EQ(DesktopFolder->Parent(), nullptr);
  EXPECT_EQ(DesktopFolder->Level(), 0);
  EXPECT_NE(DesktopFolder->ShellFolder(), nullptr);
  EXPECT_NE(DesktopFolder->Details(), nullptr);
  LPITEMIDLIST Desktop = GetDesktopPIDL();
  EXPECT_EQ(Bytes(DesktopFolder->AbsoluteID()), Bytes(Desktop));
  DisposePIDL(Desktop);
  // OLE is initialised on this thread: a second initialisation only counts.
  EXPECT_EQ(OleInitialize(nullptr), S_FALSE);
  OleUninitialize();

  // A second start-up does nothing but count; the first shutdown leaves everything.
  TacShellFolder* First = DesktopFolder;
  acShellFolderStartup();
  EXPECT_EQ(DesktopFolder, First);
  EXPECT_EQ(acShellFolderStartupCount(), 2);
  acShellFolderShutdown();
  EXPECT_EQ(DesktopFolder, First);

  // A folder below the desktop: its absolute list is the desktop's followed by its own.
  IShellFolder* Intf = GetDesktopFolderIntf();
  LPITEMIDLIST Own = MakeList({"child"});
  {
    TacShellFolder Child(DesktopFolder, Intf, Own);
    EXPECT_EQ(Child.Parent(), DesktopFolder);
    EXPECT_EQ(Child.Level(), 1);
    EXPECT_EQ(Bytes(Child.RelativeID()), Bytes(Own));
    LPITEMIDLIST Expected = ConcatPIDLs(DesktopFolder->AbsoluteID(), Own);
    EXPECT_EQ(Bytes(Child.AbsoluteID()), Bytes(Expected));
    DisposePIDL(Expected);
    TacShellFolder Grandchild(&Child, Intf, Own);
    EXPECT_EQ(Grandchild.Level(), 2);
    // Without a parent: the desktop folder is the parent, the desktop's list in front.
    TacShellFolder Orphan(nullptr, Intf, Own);
    EXPECT_EQ(Orphan.Parent(), DesktopFolder);
    EXPECT_EQ(Orphan.Level(), 0);
    EXPECT_EQ(Bytes(Orphan.AbsoluteID()), Bytes(Child.AbsoluteID()));
  }
  DisposePIDL(Own);
  Intf->Release();

  acShellFolderShutdown();
  EXPECT_EQ(DesktopFolder, nullptr);
  EXPECT_EQ(acShellFolderStartupCount(), 0);
  // Shutdown without a start-up does nothing.
  acShellFolderShutdown();
  EXPECT_EQ(acShellFolderStartupCount(), 0);
}

TEST(OwnctlShellFolder, OleCheckRaisesForFailingResults) {
  EXPECT_EQ(OleCheck(S_OK), S_OK);
  EXPECT_EQ(OleCheck(S_FALSE), S_FALSE);
  try {
    OleCheck(E_NOINTERFACE);
    FAIL();
  } catch (const EOleSysError& E) {
    EXPECT_EQ(E.ErrorCode, E_NOINTERFACE);
    EXPECT_FALSE(E.Message.empty());
  }
}
