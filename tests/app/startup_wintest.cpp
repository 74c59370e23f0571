// Start-up of the program: the forms as the program creates them, "server.txt" and "list.txt"
// read into the grid by the text-file rules, failures in the error box, and the "OK" box of the
// first show.
#include <gtest/gtest.h>

#include "framework/Dialogs.h"
#include "framework/Exceptions.h"
#include "support/AppTestHelpers.h"
#include "support/Boxes.h"

using namespace apptest;

namespace {

// The rows of the grid, as byte text in the ANSI code page.
std::vector<std::string> Rows() {
  std::vector<std::string> R;
  for (int I = 0; I < Form1->NxGrid1->RowCount(); ++I) R.push_back(WideToAnsi(Form1->NxGrid1->Cells(0, I)));
  return R;
}

// Starts the program's forms in a folder holding the given files (absent when std::nullopt).
struct TStart {
  TProgramState State;
  TTempFolder Folder;
  TBoxRecorder Boxes;
  void Files(const char* Server, const char* List, std::size_t ListLen = std::string::npos) {
    if (Server != nullptr) Folder.Write("server.txt", Server);
    if (List != nullptr) Folder.Write("list.txt", ListLen == std::string::npos ? std::string(List) : std::string(List, ListLen));
  }
  void Start() { CreateProgramForms(); }
};

// Measures, once the first box of this thread shows, the room its caption leaves between the
// icon and the close button (in screen coordinates), pictures the box and closes it.
struct TCaptionRoom {
  static inline int Left = -1, Right = -1;
  static void CALLBACK Measure(HWND, UINT, UINT_PTR, DWORD) {
    const std::vector<HWND> Boxes = boxtest::ThreadBoxes();
    if (Boxes.empty() || Left >= 0) return;
    HWND B = Boxes.front();
    RECT R;
    GetWindowRect(B, &R);
    // Along the caption's middle: the icon answers HTSYSMENU, the close button HTCLOSE.
    const int Y = R.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    int IconRight = -1, CloseLeft = -1;
    for (int X = R.left; X < R.right; ++X) {
      const LRESULT Hit = SendMessageW(B, WM_NCHITTEST, 0, MAKELPARAM(X, Y));
      if (Hit == HTSYSMENU) IconRight = X + 1;
      if (Hit == HTCLOSE && CloseLeft < 0) CloseLeft = X;
    }
    Left = IconRight;
    Right = CloseLeft;
    uitest::SaveScreenshot(B, "program_ok_box");
    PostMessageW(B, WM_COMMAND, IDOK, 0);
  }
};

}  // namespace

TEST(StartUp, CreatesTheMainWindowFirstAndTheNoticeHidden) {
  TStart S;
  S.Files("192.0.2.1\r\nsecond line\r\n", "A|1,x\r\nB|2,x\r\n");
  S.Start();
  ASSERT_NE(Form1, nullptr);
  ASSERT_NE(Form2, nullptr);
  EXPECT_EQ(Application->MainForm(), Form1);
  EXPECT_FALSE(Form2->Visible());
  // The list was read through Form1 inside OnCreate: the variable was set before it ran.
  EXPECT_EQ(Rows(), (std::vector<std::string>{"A|1,x", "B|2,x"}));
  EXPECT_EQ(ServerLine, "192.0.2.1");
  EXPECT_TRUE(S.Boxes.Texts.empty());
}

TEST(StartUp, MainWindowLaysOutTheListRightOfTheBrowser) {
  TStart S;
  S.Files("s\r\n", "");
  S.Start();
  EXPECT_EQ(Form1->Caption(), L"Tavisko TV 4.0");
  EXPECT_EQ(Form1->ClientWidth(), 788);
  EXPECT_EQ(Form1->ClientHeight(), 441);
  EXPECT_FALSE(Form1->Icon()->Empty());
  EXPECT_FALSE(Form2->Icon()->Empty());
  // Right edge: the grid, then the splitter (which sizes the grid), then the browser filling
  // the rest; the hidden panel takes no room.
  EXPECT_EQ(Form1->NxGrid1->BoundsRect(), Bounds(648, 0, 140, 441));
  EXPECT_EQ(Form1->sSplitter1->BoundsRect(), Bounds(647, 0, 1, 441));
  EXPECT_EQ(Form1->WebBrowser1->BoundsRect(), Bounds(0, 0, 647, 441));
  EXPECT_EQ(Form1->sSplitter1->FindControl(), Form1->NxGrid1);
  EXPECT_FALSE(Form1->Panel1->Visible());
  // The skin manager completed its settings when the form was loaded.
  EXPECT_EQ(Form1->sSkinManager1->ThirdLists(tpButton)->Strings(0), "TButton");
  EXPECT_EQ(Form1->sSkinManager1->InternalSkins()->IndexOf(Form1->sSkinManager1->SkinName()), 0);
}

TEST(StartUp, MissingServerFileShowsFileNotFoundAndLoadsNoList) {
  TStart S;
  S.Files(nullptr, "A|1,x\r\n");
  S.Start();
  ASSERT_NE(Form1, nullptr);
  ASSERT_EQ(S.Boxes.Texts.size(), 1u);
  EXPECT_EQ(S.Boxes.Texts[0], L"File not found.");
  EXPECT_TRUE(S.Boxes.FlagsSeen[0] & MB_ICONSTOP);
  EXPECT_EQ(Form1->NxGrid1->RowCount(), 0);
  // The program goes on: the notice was created after the failure.
  EXPECT_NE(Form2, nullptr);
}

TEST(StartUp, MissingListShowsTheErrorAndLeavesTheListEmpty) {
  TStart S;
  S.Files("srv", nullptr);
  S.Start();
  ASSERT_EQ(S.Boxes.Texts.size(), 1u);
  EXPECT_EQ(S.Boxes.Texts[0], L"File not found.");
  EXPECT_EQ(ServerLine, "srv");
  EXPECT_EQ(Form1->NxGrid1->RowCount(), 0);
}

TEST(StartUp, EmptyServerFileGivesAnEmptyLineWithoutError) {
  TStart S;
  S.Files("", "A\r\n");
  S.Start();
  EXPECT_TRUE(S.Boxes.Texts.empty());
  EXPECT_EQ(ServerLine, "");
  EXPECT_EQ(Rows(), std::vector<std::string>{"A"});
}

TEST(ChannelList, LinesBecomeRowsInFileOrderWithTheTextFileRules) {
  struct TCase {
    const char* Name;
    std::string Bytes;
    std::vector<std::string> Rows;
  };
  const TCase Cases[] = {
      {"CR LF lines with an empty one", "A\r\n\r\nB\r\n", {"A", "", "B"}},
      {"LF lines", "one\ntwo\n", {"one", "two"}},
      {"last line without a line end", "A\r\nB", {"A", "B"}},
      {"byte 26 ends the file", std::string("A\r\nB\x1A" "C\r\nD\r\n"), {"A", "B"}},
      {"byte 26 at a line start", std::string("A\r\n\x1A" "B\r\n"), {"A"}},
      {"lone CR is dropped", "Ne\rws|1,x\r\nB\r\n", {"News|1,x", "B"}},
      {"empty file", "", {}},
      {"only a line end", "\r\n", {""}},
      {"code page 1251 bytes", "\xCD\xEE\xE2\xEE\xF1\xF2\xE8|5,x\r\n", {"\xCD\xEE\xE2\xEE\xF1\xF2\xE8|5,x"}},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    TStart S;
    S.Files("s\r\n", C.Bytes.c_str(), C.Bytes.size());
    S.Start();
    EXPECT_TRUE(S.Boxes.Texts.empty());
    EXPECT_EQ(Rows(), C.Rows);
  }
}

TEST(ChannelList, CyrillicLinesReachTheGridAsWideText) {
  TStart S;
  S.Files("s", "\xCD\xEE\xE2\xEE\xF1\xF2\xE8 24|102,hd\r\n");
  S.Start();
  ASSERT_EQ(Form1->NxGrid1->RowCount(), 1);
  EXPECT_EQ(Form1->NxGrid1->Cells(0, 0), L"Новости 24|102,hd");
}

// The reader reaches the grid through the main window: without one it fails as any other
// failure does (an exception, which the error box shows) instead of crashing, and leaves the
// list file alone.
TEST(ChannelList, WithoutTheMainWindowTheReaderFailsAndLeavesTheFileAlone) {
  TProgramState State;
  TTempFolder Folder;
  Folder.Write("list.txt", "A\r\n");
  ASSERT_EQ(Form1, nullptr);
  EXPECT_THROW(LoadChannelList(), Exception);
  EXPECT_TRUE(DeleteFileA((Folder.Path() + "\\list.txt").c_str()));
}

TEST(ChannelList, AMissingListRaisesFileNotFound) {
  TStart S;
  S.Files("s", "A\r\n");
  S.Start();
  DeleteFileA((S.Folder.Path() + "\\list.txt").c_str());
  try {
    LoadChannelList();
    FAIL() << "no exception";
  } catch (const EInOutError& E) {
    EXPECT_EQ(E.Message, "File not found");
    EXPECT_EQ(E.ErrorCode, 2);
  }
  EXPECT_EQ(Form1->NxGrid1->RowCount(), 1);
}

// A list that cannot be read to its end (a disk failing part way): the rows read before the
// failure stay, the failure is shown, and the grid works as after any start: its scroll bar
// reaches every row read.
TEST(ChannelList, AReadErrorPartWayKeepsTheRowsReadAndLeavesTheGridUsable) {
  // Reads the file in small pieces and fails once FailAt bytes were read.
  struct TFailingReader : TTextFileReader {
    TFailingReader() : TTextFileReader(4096) {}
    std::size_t DoRead(char* Buffer, std::size_t Count) override {
      if (Read >= FailAt) RaiseInOutError(ERROR_READ_FAULT);
      const std::size_t N = TTextFileReader::DoRead(Buffer, Count);
      Read += N;
      return N;
    }
    std::size_t Read = 0, FailAt = 40000;
  };
  TStart S;
  S.Files("s", "");
  S.Start();
  std::string List;
  int Lines = 0;
  for (; List.size() < 100000; ++Lines) List += "Channel " + std::to_string(Lines) + "|" + std::to_string(Lines) + ",x\r\n";
  S.Folder.Write("list.txt", List);
  // As at start-up, the failure goes to the error box.
  TFailingReader Reader;
  try {
    LoadChannelList(Reader);
  } catch (...) {
    Application->HandleException(Form1);
  }
  EXPECT_EQ(S.Boxes.Texts, std::vector<WideString>{L"I/O error 30."});
  const int Rows = Form1->NxGrid1->RowCount();
  EXPECT_GT(Rows, 1000);
  EXPECT_LT(Rows, Lines);
  ShowMainForm();
  HWND Grid = Form1->NxGrid1->Handle();
  SCROLLINFO SI{sizeof SI, SIF_RANGE, 0, 0, 0, 0, 0};
  ASSERT_TRUE(GetWindowLongW(Grid, GWL_STYLE) & WS_VSCROLL) << "no scroll bar";
  ASSERT_TRUE(GetScrollInfo(Grid, SB_VERT, &SI));
  EXPECT_GE(SI.nMax, Rows - 1);
}

TEST(FirstShow, ShowsTheOkBoxWhenThePointerIsLeftOfX100) {
  for (int X : {50, -20, 99}) {
    SCOPED_TRACE(X);
    TStart S;
    S.Files("s", "A\r\n");
    S.Start();
    CursorPosProc = [X] { return Point(X, 300); };
    ShowMainForm();
    ASSERT_EQ(S.Boxes.Texts.size(), 1u);
    EXPECT_EQ(S.Boxes.Texts[0], L"OK");
    EXPECT_EQ(S.Boxes.FlagsSeen[0] & 0xF, static_cast<UINT>(MB_OK));
  }
}

// The "OK" box as the user sees it, a real box skinned like every dialog of the program: between
// the icon and the close button its caption has room for the program's title whole.
TEST(FirstShow, TheOkBoxShowsTheProgramsTitleWhole) {
  TStart S;
  S.Files("s", "A\r\n");
  S.Start();
  Application->MessageBoxProc = ShowSystemMessageBox;
  CursorPosProc = [] { return Point(50, 300); };
  TCaptionRoom::Left = TCaptionRoom::Right = -1;
  const UINT_PTR Timer = SetTimer(nullptr, 0, 200, TCaptionRoom::Measure);
  ShowMainForm();
  KillTimer(nullptr, Timer);
  ASSERT_EQ(S.Boxes.Texts.size(), 0u);  // the real box, not the recorder
  ASSERT_GE(TCaptionRoom::Left, 0) << "no icon in the caption";
  ASSERT_GE(TCaptionRoom::Right, 0) << "no close button in the caption";
  // The title's width in the system's caption font, with a few pixels on either side.
  NONCLIENTMETRICSW M{};
  M.cbSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, M.cbSize, &M, 0));
  HFONT Font = CreateFontIndirectW(&M.lfCaptionFont);
  HDC DC = CreateCompatibleDC(nullptr);
  HGDIOBJ Old = SelectObject(DC, Font);
  const WideString Title = Application->Title();
  SIZE Size{};
  GetTextExtentPoint32W(DC, Title.c_str(), static_cast<int>(Title.size()), &Size);
  SelectObject(DC, Old);
  DeleteDC(DC);
  DeleteObject(Font);
  EXPECT_GE(TCaptionRoom::Right - TCaptionRoom::Left, Size.cx + 6) << WideToAnsi(Title);
}

TEST(FirstShow, ShowsNoBoxWhenThePointerIsAtX100OrRight) {
  for (int X : {500, 100}) {
    SCOPED_TRACE(X);
    TStart S;
    S.Files("s", "A\r\n");
    S.Start();
    CursorPosProc = [X] { return Point(X, 10); };
    ShowMainForm();
    EXPECT_TRUE(S.Boxes.Texts.empty());
  }
}

// The stored description gives the list white for its selection while another window has the
// focus (the grid's own default is the button face).
TEST(StartUp, TheListStoresWhiteForItsSelectionWithoutTheFocus) {
  TStart S;
  S.Files("s\r\n", "");
  S.Start();
  EXPECT_EQ(Form1->NxGrid1->InactiveSelectionColor(), clWhite);
}
