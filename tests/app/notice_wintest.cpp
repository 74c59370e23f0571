// The new-version notice: shown, its button opens the web site through the shell.
#include <gtest/gtest.h>

#include "support/AppTestHelpers.h"

using namespace apptest;

namespace {

struct TShellCall {
  int Count = 0;
  HWND Owner = nullptr;
  std::string Operation, File;
  bool NoParameters = false, NoDirectory = false;
  INT Show = -1;
};
TShellCall LastShell;

HINSTANCE WINAPI RecordShell(HWND Owner, LPCSTR Operation, LPCSTR File, LPCSTR Parameters, LPCSTR Directory, INT Show) {
  ++LastShell.Count;
  LastShell.Owner = Owner;
  LastShell.Operation = Operation != nullptr ? Operation : "";
  LastShell.File = File != nullptr ? File : "";
  LastShell.NoParameters = Parameters == nullptr;
  LastShell.NoDirectory = Directory == nullptr;
  LastShell.Show = Show;
  return reinterpret_cast<HINSTANCE>(33);
}

struct TNotice : TProgramRun {
  TNotice() : TProgramRun("s\r\n", "A|1,x\r\n") {}
};

}  // namespace

TEST(Notice, ButtonOpensTheWebSiteThroughTheShell) {
  TNotice N;
  ShellExecuteProc = RecordShell;
  LastShell = {};
  uitest::ShowSettled(Form2);
  TCapture Shot(Form2->Handle());
  Shot.MaybeSave("notice");
  EXPECT_EQ(Form2->sButton1->Caption(), L"Перейти на сайт");
  realinput::Click(Form2->sButton1->Handle(), 70, 12);
  ASSERT_TRUE(WaitFor([] { return LastShell.Count == 1; }));
  EXPECT_EQ(LastShell.Owner, Form2->Handle());
  EXPECT_EQ(LastShell.Operation, "open");
  EXPECT_EQ(LastShell.File, "http://www.tavisko.invalid/");
  EXPECT_TRUE(LastShell.NoParameters);
  EXPECT_TRUE(LastShell.NoDirectory);
  EXPECT_EQ(LastShell.Show, SW_SHOW);
  EXPECT_TRUE(N.Boxes.Texts.empty());
}
