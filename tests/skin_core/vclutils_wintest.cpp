// The engine's message box (through the injected routine and through the application's), the
// cache-info records and the system utilities.
#include <gtest/gtest.h>

#include "framework/Forms.h"
#include "framework/Strings.h"
#include "skin/core/sConst.h"
#include "skin/core/sVclUtils.h"

namespace {

struct TBoxCall {
  AnsiString Text, Caption;
  UINT Flags = 0;
  int Calls = 0;
  int ModalLevel = -1;
  int MsgPosX = 0;
};

// Routes the engine's box to a recorder for the length of a test.
class TInjectedBox {
 public:
  explicit TInjectedBox(int Answer) {
    acMessageBoxProc = [this, Answer](const AnsiString& Text, const AnsiString& Caption, UINT Flags) {
      Call.Text = Text;
      Call.Caption = Caption;
      Call.Flags = Flags;
      ++Call.Calls;
      Call.ModalLevel = Application ? Application->ModalLevel() : -1;
      Call.MsgPosX = MsgBoxPosX;
      MsgBoxPosX = 123;  // a dialog hook would move the box; it is reset afterwards
      return Answer;
    };
  }
  ~TInjectedBox() { acMessageBoxProc = nullptr; }
  TBoxCall Call;
};

constexpr UINT Always = MB_SETFOREGROUND | MB_TOPMOST;

}  // namespace

TEST(EngineMessageBox, FlagsByKindAndButtons) {
  EXPECT_EQ(MessageBoxFlags(mkConfirm, {mbYes, mbNo, mbCancel}), Always | MB_ICONQUESTION | MB_YESNOCANCEL);
  EXPECT_EQ(MessageBoxFlags(mkConfirm, {mbYes, mbNo}), Always | MB_ICONQUESTION | MB_YESNO);
  EXPECT_EQ(MessageBoxFlags(mkWarning, {mbOK}), Always | MB_ICONWARNING | MB_OK);
  EXPECT_EQ(MessageBoxFlags(mkError, {mbOK, mbCancel}), Always | MB_ICONERROR | MB_OKCANCEL);
  EXPECT_EQ(MessageBoxFlags(mkInformation, {mbOK, mbYes, mbAbort}), Always | MB_ICONINFORMATION | MB_OK);
  EXPECT_EQ(MessageBoxFlags(mkWarning, {mbIgnore}), Always | MB_ICONWARNING | MB_ABORTRETRYIGNORE);
  EXPECT_EQ(MessageBoxFlags(mkWarning, {mbAbort, mbYes}), Always | MB_ICONWARNING | MB_ABORTRETRYIGNORE);
  EXPECT_EQ(MessageBoxFlags(mkWarning, {mbNo}), Always | MB_ICONWARNING | MB_YESNO);
  EXPECT_EQ(MessageBoxFlags(mkWarning, {mbRetry, mbCancel}), Always | MB_ICONWARNING | MB_RETRYCANCEL);
  EXPECT_EQ(MessageBoxFlags(mkWarning, {mbCancel}), Always | MB_ICONWARNING | MB_OK);
  EXPECT_EQ(MessageBoxFlags(mkWarning, {}), Always | MB_ICONWARNING | MB_OK);
  EXPECT_EQ(MessageBoxFlags(mkWarning, {mbOK, mbHelp}), Always | MB_ICONWARNING | MB_OK | MB_HELP);
  EXPECT_EQ(MessageBoxFlags(7, {mbOK}), Always | MB_OK);  // an unknown kind has no icon
  EXPECT_EQ(MessageBoxFlags(-1, {mbOK}) & MB_ICONMASK, 0u);
}

TEST(EngineMessageBox, ShowsThroughTheInjectedRoutineInsideAModalSpan) {
  TInjectedBox Box(IDNO);
  const int Level = Application->ModalLevel();
  EXPECT_EQ(ShowMessageBox("Really?", mkConfirm, {mbYes, mbNo, mbCancel}), IDNO);
  EXPECT_EQ(Box.Call.Calls, 1);
  EXPECT_EQ(Box.Call.Text, "Really?");
  EXPECT_EQ(Box.Call.Caption, "Confirm");
  EXPECT_EQ(Box.Call.Flags, Always | MB_ICONQUESTION | MB_YESNOCANCEL);
  EXPECT_EQ(Box.Call.ModalLevel, Level + 1);
  EXPECT_EQ(Box.Call.MsgPosX, -1);
  EXPECT_EQ(Application->ModalLevel(), Level);
  EXPECT_EQ(MsgBoxPosX, -1);
}

TEST(EngineMessageBox, WarningAndErrorUseOkAndTheirCaptions) {
  TInjectedBox Box(IDOK);
  ShowWarning("w");
  EXPECT_EQ(Box.Call.Caption, "Warning");
  EXPECT_EQ(Box.Call.Flags, Always | MB_ICONWARNING | MB_OK);
  EXPECT_EQ(ShowError("e"), IDOK);
  EXPECT_EQ(Box.Call.Caption, "Error");
  EXPECT_EQ(Box.Call.Flags, Always | MB_ICONERROR | MB_OK);
  ShowMessageBox("i", mkInformation, {mbOK});
  EXPECT_EQ(Box.Call.Caption, "Information");
  ShowMessageBox("x", 9, {mbOK});
  EXPECT_EQ(Box.Call.Caption, "");
}

TEST(EngineMessageBox, AnErrorInTheBoxStillEndsTheModalSpan) {
  acMessageBoxProc = [](const AnsiString&, const AnsiString&, UINT) -> int { throw Exception("box failed"); };
  const int Level = Application->ModalLevel();
  EXPECT_THROW(ShowWarning("w"), Exception);
  acMessageBoxProc = nullptr;
  EXPECT_EQ(Application->ModalLevel(), Level);
  EXPECT_EQ(MsgBoxPosX, -1);
}

TEST(EngineMessageBox, WithoutAnInjectedRoutineUsesTheApplicationsBox) {
  ASSERT_NE(Application, nullptr);
  TMessageBoxProc Saved = Application->MessageBoxProc;
  HWND Owner = reinterpret_cast<HWND>(1);
  WideString Caption;
  UINT Flags = 0;
  Application->MessageBoxProc = [&](HWND O, const WideString&, const WideString& C, UINT F) {
    Owner = O;
    Caption = C;
    Flags = F;
    return IDRETRY;
  };
  // No window of the test is active: the application window owns the box.
  SetActiveWindow(nullptr);
  EXPECT_EQ(ShowMessageBox("t", mkWarning, {mbRetry}), IDRETRY);
  Application->MessageBoxProc = Saved;
  if (GetActiveWindow() == nullptr) {
    EXPECT_EQ(Owner, Application->Handle());
  }
  EXPECT_EQ(Caption, L"Warning");
  EXPECT_EQ(Flags, Always | MB_ICONWARNING | MB_RETRYCANCEL);
}

TEST(EngineCacheInfo, DefaultAndMadeRecords) {
  const TCacheInfo D = DefaultCacheInfo();
  EXPECT_EQ(D.Bmp, nullptr);
  EXPECT_EQ(D.X, -99);
  EXPECT_EQ(D.Y, -99);
  EXPECT_EQ(D.FillColor, 0);
  EXPECT_FALSE(D.Ready);
  TBitmap B;
  const TCacheInfo M = MakeCacheInfo(&B, 3, 4);
  EXPECT_EQ(M.Bmp, &B);
  EXPECT_EQ(M.X, 3);
  EXPECT_EQ(M.Y, 4);
  EXPECT_EQ(M.FillColor, clKeyColor);
  EXPECT_TRUE(M.Ready);
}

TEST(EngineSystem, PathsEnumerationIconsAndFonts) {
  const AnsiString Dir = AppDirectory();
  ASSERT_FALSE(Dir.empty());
  EXPECT_EQ(Dir.back(), '\\');
  const AnsiString Exe = Application->ExeName();
  EXPECT_EQ(ExtractFilePath(Exe), Dir);

  // The executable is found by enumerating its folder.
  TacSearchRec Rec;
  bool Found = false;
  for (bool More = FindFirstEntry(Dir + "*.*", Rec); More; More = FindNextEntry(Rec))
    if (SameText(Rec.Name, ExtractFileName(Exe))) Found = (Rec.Attr & FILE_ATTRIBUTE_DIRECTORY) == 0;
  FindCloseEntry(Rec);
  EXPECT_TRUE(Found);
  TacSearchRec None;
  EXPECT_FALSE(FindFirstEntry(Dir + "no-such-file-*.xyz", None));
  FindCloseEntry(None);
  EXPECT_FALSE(FindNextEntry(None));

  EXPECT_EQ(GetFileIcon(Dir + "no-such-file.xyz", 1), nullptr);
  if (HICON Icon = GetFileIcon(Exe, 1)) DestroyIcon(Icon);

  EXPECT_NE(GetCaptionFontHeight(), 0);
  HFONT Font = CreateCaptionFont();
  EXPECT_NE(Font, nullptr);
  LOGFONTA Lf = {};
  GetObjectA(Font, sizeof(Lf), &Lf);
  EXPECT_EQ(Lf.lfHeight, GetCaptionFontHeight());
  DeleteObject(Font);
  EXPECT_EQ(HScrollArrowWidth, GetSystemMetrics(SM_CXHSCROLL));
}

TEST(EngineSystem, DelayWithMessagesHandlesPostedMessages) {
  HWND W = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(W, nullptr);
  PostMessageW(W, WM_NULL, 0, 0);
  DelayWithMessages(0);  // at least one pass
  MSG Msg;
  EXPECT_FALSE(PeekMessageW(&Msg, W, WM_NULL, WM_NULL, PM_NOREMOVE));
  DestroyWindow(W);
}
