// Developer tool: renders the skin engine's windows under the program's own skin and saves each
// picture as a 24-bit BMP file into a folder (scripts/gallery.sh turns them into the PNG files of
// docs/gallery/).
//   gallery.exe OUTPUT_FOLDER
// The run fails (exit code 1) when a scene fails, a picture cannot be written, or an access
// violation happens anywhere; the test suite runs it as a smoke test.
// Every scene is shown over a plain light backdrop, so that borders and shadows stand out; a
// scene's picture is the smallest area that holds every window the scene shows, with a margin.
// Menus and message boxes are modal: a timer inside their message loop takes the picture and
// closes them.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "GalleryCapture.h"
#include "GalleryControls.h"
#include "GalleryDialog.h"
#include "app/Program.h"
#include "framework/Forms.h"
#include "framework/Graphics.h"
#include "framework/Streams.h"
#include "skin/core/sSkinManager.h"
#include "skin/forms/acBorderForm.h"
#include "skin/forms/acDials.h"
#include "skin/forms/sSkinProvider.h"

namespace {

using namespace gallery;

constexpr int Margin = 18;
constexpr COLORREF BackdropColor = RGB(208, 214, 222);

std::wstring OutFolder;
// Access violations of the whole run: the platform swallows those raised inside window
// procedures, so they are counted here and fail the run.
LONG Violations = 0;

LONG CALLBACK CountViolation(EXCEPTION_POINTERS* E) {
  if (E->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION) InterlockedIncrement(&Violations);
  return EXCEPTION_CONTINUE_SEARCH;
}
HWND Backdrop = nullptr;
int Failures = 0;

// ---- the backdrop ----------------------------------------------------------------------------------

LRESULT CALLBACK BackdropProc(HWND W, UINT Msg, WPARAM WP, LPARAM LP) {
  if (Msg == WM_WINDOWPOSCHANGING) {
    // Always under every other window.
    reinterpret_cast<WINDOWPOS*>(LP)->hwndInsertAfter = HWND_BOTTOM;
    return 0;
  }
  if (Msg == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
  return DefWindowProcW(W, Msg, WP, LP);
}

void CreateBackdrop() {
  WNDCLASSW C{};
  C.lpfnWndProc = BackdropProc;
  C.hInstance = GetModuleHandleW(nullptr);
  C.hbrBackground = CreateSolidBrush(BackdropColor);
  C.lpszClassName = L"GalleryBackdrop";
  RegisterClassW(&C);
  Backdrop = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, C.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0,
                             GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                             C.hInstance, nullptr);
  Settle(200);
}

// ---- pictures ----------------------------------------------------------------------------------------

BOOL CALLBACK AddShownWindow(HWND W, LPARAM LP) {
  auto* Area = reinterpret_cast<std::pair<bool, RECT>*>(LP);
  DWORD Pid = 0;
  GetWindowThreadProcessId(W, &Pid);
  if (Pid != GetCurrentProcessId() || W == Backdrop || !IsWindowVisible(W)) return TRUE;
  RECT R = WindowArea(W);
  if (R.right - R.left <= 1 || R.bottom - R.top <= 1) return TRUE;
  Area->second = Area->first ? Union(Area->second, R) : R;
  Area->first = true;
  return TRUE;
}

// The area of every window of the program on the screen but the backdrop, with the margin.
RECT ShownArea() {
  std::pair<bool, RECT> Area{false, RECT{}};
  EnumWindows(AddShownWindow, reinterpret_cast<LPARAM>(&Area));
  RECT R = Area.second;
  InflateRect(&R, Margin, Margin);
  R.left = std::max(R.left, 0L);
  R.top = std::max(R.top, 0L);
  R.right = std::min(R.right, static_cast<LONG>(GetSystemMetrics(SM_CXSCREEN)));
  R.bottom = std::min(R.bottom, static_cast<LONG>(GetSystemMetrics(SM_CYSCREEN)));
  return R;
}

// Wine on a plain X display (no compositing desktop) shows the translucent pixels of layered
// windows solid. The extended-border window of a skinned form or dialog is such a window; its
// picture is its owner's 32-bit non-client image (premultiplied alpha). Wherever the owner window
// does not cover it, that picture is laid over the backdrop's colour here, as a compositing
// desktop shows it.
void CompositeBorderWindow(TScreenPicture& P, const RECT& Area, TacBorderForm* Border) {
  if (Border == nullptr || Border->SkinData == nullptr || Border->AForm == nullptr ||
      !Border->AForm->HandleAllocated())
    return;
  TBitmap* Image = Border->SkinData->CacheBmp();
  HWND Owner = Border->OwnerHandle();
  if (Image == nullptr || Image->PixelFormat() != pf32bit || Owner == nullptr) return;
  const RECT B = WindowArea(Border->AForm->Handle());
  const RECT F = WindowArea(Owner);
  // The part of its window the owner shows (its window region, when it has one).
  HRGN Shown = CreateRectRgn(0, 0, 0, 0);
  const bool HasRegion = GetWindowRgn(Owner, Shown) != ERROR;
  const int BR = GetRValue(BackdropColor), BG = GetGValue(BackdropColor), BB = GetBValue(BackdropColor);
  for (int Y = 0; Y < Image->Height() && Y < B.bottom - B.top; ++Y) {
    const auto* Row = static_cast<const unsigned char*>(Image->ScanLine(Y));
    for (int X = 0; X < Image->Width() && X < B.right - B.left; ++X) {
      const POINT S{B.left + X, B.top + Y};
      if (PtInRect(&F, S) && (!HasRegion || PtInRegion(Shown, S.x - F.left, S.y - F.top))) continue;
      const int PX = S.x - Area.left, PY = S.y - Area.top;
      if (PX < 0 || PY < 0 || PX >= P.Width || PY >= P.Height) continue;
      const unsigned char* Px = Row + 4 * X;
      const int A = Px[3];
      const int R = Px[2] + BR * (255 - A) / 255, G = Px[1] + BG * (255 - A) / 255, Bl = Px[0] + BB * (255 - A) / 255;
      P.Pixels[static_cast<std::size_t>(PY) * static_cast<std::size_t>(P.Width) + static_cast<std::size_t>(PX)] =
          static_cast<DWORD>(std::min(R, 255) << 16 | std::min(G, 255) << 8 | std::min(Bl, 255));
    }
  }
  DeleteObject(Shown);
}

void SavePicture(const wchar_t* Name, TacBorderForm* WithBorder = nullptr) {
  const RECT Area = ShownArea();
  TScreenPicture P = CaptureScreen(Area);
  CompositeBorderWindow(P, Area, WithBorder);
  const std::wstring File = OutFolder + L"\\" + Name + L".bmp";
  if (SaveBmp(P, File)) {
    std::wprintf(L"saved %ls (%d x %d)\n", Name, P.Width, P.Height);
  } else {
    std::wprintf(L"FAILED to save %ls\n", Name);
    ++Failures;
  }
  std::fflush(stdout);
}

// ---- modal windows -----------------------------------------------------------------------------------

// What the timer does once a modal window of the scene has painted.
std::function<void()> OnModalShown;

void CALLBACK ModalTimer(HWND, UINT, UINT_PTR Id, DWORD) {
  KillTimer(nullptr, Id);
  std::function<void()> Action = std::move(OnModalShown);
  OnModalShown = nullptr;
  if (Action) Action();
}

// Runs Show (which enters a modal loop); after Delay milliseconds inside that loop the picture is
// taken (with the extended-border window that Border names, when it names one) and Close ends the
// loop.
void WithModal(const wchar_t* Name, const std::function<void()>& Show, const std::function<void()>& Close,
               int Delay = 700, const std::function<TacBorderForm*()>& Border = nullptr) {
  OnModalShown = [Name, Close, Border] {
    SavePicture(Name, Border ? Border() : nullptr);
    Close();
  };
  SetTimer(nullptr, 0, static_cast<UINT>(Delay), ModalTimer);
  Show();
  Settle(200);
  if (OnModalShown) {
    std::wprintf(L"FAILED: %ls never showed\n", Name);
    ++Failures;
    OnModalShown = nullptr;
  }
}

struct TFindShown {
  const wchar_t* Class;
  HWND Found;
};

BOOL CALLBACK FindShownWindow(HWND W, LPARAM LP) {
  auto* F = reinterpret_cast<TFindShown*>(LP);
  wchar_t Name[64] = {};
  GetClassNameW(W, Name, 64);
  DWORD Pid = 0;
  GetWindowThreadProcessId(W, &Pid);
  if (Pid == GetCurrentProcessId() && IsWindowVisible(W) && lstrcmpiW(Name, F->Class) == 0) {
    F->Found = W;
    return FALSE;
  }
  return TRUE;
}

// A shown window of the program of a window class.
HWND FindShown(const wchar_t* ClassName) {
  TFindShown F{ClassName, nullptr};
  EnumWindows(FindShownWindow, reinterpret_cast<LPARAM>(&F));
  return F.Found;
}

void CloseDialog(int Command) {
  if (HWND D = FindShown(L"#32770")) PostMessageW(D, WM_COMMAND, Command, 0);
}

// The extended-border window of the shown system dialog, nullptr when none.
TacBorderForm* DialogBorderForm() {
  HWND D = FindShown(L"#32770");
  TacProvider* P = D != nullptr ? FindDialogProvider(D) : nullptr;
  return P != nullptr && P->DialogAdapter != nullptr ? P->DialogAdapter->BorderForm : nullptr;
}

// ---- scenes ----------------------------------------------------------------------------------------

void ShowAndSettle(TForm* F, int Ms = 900) {
  F->Show();
  SetForegroundWindow(F->Handle());
  Settle(Ms);
}

// A small form of a few controls with a skin provider.
TForm* SimpleForm(const wchar_t* Caption, int X, int Y, TFormBorderStyle Style = bsSizeable) {
  auto* F = new TForm(nullptr);
  F->SetCaption(WideString(Caption));
  F->SetPosition(poDesigned);
  F->SetBorderStyle(Style);
  F->SetBounds(X, Y, 320, 190);
  AddSimpleControls(F, 16, 16);
  F->Handle();
  new TsSkinProvider(F);
  return F;
}

void SceneControls() {
  TForm* F = CreateControlsForm(nullptr);
  new TsSkinProvider(F);
  ShowAndSettle(F, 1500);
  SavePicture(L"controls");
  delete F;
  Settle(200);
}

void SceneMessageBox() {
  WithModal(
      L"message_box",
      [] {
        MessageBoxW(nullptr, L"The channel list has changed.\nSave the changes before you leave?", L"Channel list",
                    MB_YESNOCANCEL | MB_ICONQUESTION);
      },
      [] { CloseDialog(IDCANCEL); });
}

// A system dialog (the system's dialog class, skinned by the dialog hook) holding an edit, a combo
// box, a list box and a group box of check and radio boxes.
void SceneSystemDialog() {
  HWND D = CreateChannelDialog();
  SetWindowPos(D, nullptr, 140, 110, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(D, SW_SHOW);
  SetForegroundWindow(D);
  Settle(900);
  SavePicture(L"system_dialog");
  if (IsWindow(D)) DestroyWindow(D);
  Settle(200);
}

void SceneMenus() {
  TForm* F = SimpleForm(L"Menus", 120, 100);
  TPopupMenu* Popup = CreatePopupMenu(F);
  ShowAndSettle(F);
  WithModal(
      L"popup_menu", [F, Popup] { Popup->Popup(F->Left() + 150, F->Top() + 80); }, [] { EndMenu(); });
  Settle(300);
  // The system menu drops below the title icon, as Alt+Space drops it.
  WithModal(
      L"system_menu",
      [F] {
        PostMessageW(F->Handle(), WM_SYSCOMMAND, SC_KEYMENU, ' ');
        Settle(1200);
      },
      [] { EndMenu(); });
  delete F;
  Settle(200);
}

// The MDI main form: MDI children need the application's main form to be an MDI form, so this
// form is made by the application (the first form it makes becomes its main form).
class TGalleryMDIForm : public TForm {
  T_CLASS(TGalleryMDIForm, TForm)

 public:
  using TForm::TForm;

 protected:
  void InitializeComponents() override {
    SetCaption(WideString(L"MDI form"));
    SetPosition(poDesigned);
    SetBounds(60, 40, 620, 420);
    SetFormStyle(fsMDIForm);
    CreateMainMenu(this);
  }
};

void SceneMDI() {
  TGalleryMDIForm* Main = nullptr;
  Application->CreateForm(Main);
  Main->Handle();
  new TsSkinProvider(Main);
  ShowAndSettle(Main, 500);
  auto* Child = new TForm(Main);
  Child->SetCaption(WideString(L"Channel"));
  Child->SetFormStyle(fsMDIChild);
  Child->SetBounds(20, 20, 320, 200);
  AddSimpleControls(Child, 16, 16);
  Child->Handle();
  new TsSkinProvider(Child);
  Child->Show();
  Settle(400);
  Child->SetWindowState(wsMaximized);
  Settle(1200);
  SavePicture(L"mdi_maximized_child");
  delete Main;
  Settle(200);
}

void SceneExtendedBorders(TsSkinManager* Manager) {
  Manager->SetExtendedBorders(true);
  Settle(200);
  TForm* F = SimpleForm(L"Extended borders", 140, 110);
  CreateMainMenu(F);
  F->SetHeight(230);
  ShowAndSettle(F, 1500);
  TsSkinProvider* Provider = nullptr;
  for (int I = 0; I < F->ComponentCount(); ++I)
    if (auto* P = dynamic_cast<TsSkinProvider*>(F->Components(I))) Provider = P;
  SavePicture(L"extended_borders", Provider != nullptr ? Provider->BorderForm : nullptr);
  delete F;
  Settle(200);
  WithModal(
      L"dialog_extended_borders",
      [] {
        MessageBoxW(nullptr, L"Extended borders are on.\nThis box is a system dialog skinned by the engine.",
                    L"Dialog", MB_OKCANCEL | MB_ICONINFORMATION);
      },
      [] { CloseDialog(IDCANCEL); }, 1200, DialogBorderForm);
  Manager->SetExtendedBorders(false);
  Settle(200);
}

// The default skin manager with the program's own skin: the same stored skin the main form
// carries, read from the program's resources.
TsSkinManager* CreateManager() {
  TsSkinManager* M = CreateProgramSkinManager();
  M->SetSkinName(ProgramSkinName);
  return M;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: gallery OUTPUT_FOLDER\n");
    return 2;
  }
  const std::string Out = argv[1];
  OutFolder.assign(Out.begin(), Out.end());
  CreateDirectoryW(OutFolder.c_str(), nullptr);
  AddVectoredExceptionHandler(1, CountViolation);
  StartUp();
  CreateBackdrop();
  TsSkinManager* Manager = CreateManager();
  if (!Manager->SkinActive()) {
    std::fprintf(stderr, "gallery: the program's skin did not load\n");
    return 1;
  }
  const std::vector<std::pair<const char*, std::function<void()>>> Scenes = {
      {"controls", SceneControls},
      {"message box", SceneMessageBox},
      {"system dialog", SceneSystemDialog},
      {"menus", SceneMenus},
      {"extended borders", [Manager] { SceneExtendedBorders(Manager); }},
      {"MDI", SceneMDI}};
  for (const auto& Scene : Scenes) {
    const LONG Before = Violations;
    try {
      Scene.second();
    } catch (const std::exception& E) {
      std::fprintf(stderr, "gallery: the %s scene failed: %s\n", Scene.first, E.what());
      ++Failures;
    }
    if (Violations != Before)
      std::fprintf(stderr, "gallery: %ld access violations in the %s scene\n", static_cast<long>(Violations - Before),
                   Scene.first);
  }
  delete Manager;
  DestroyWindow(Backdrop);
  FinalizeUnits();
  if (Violations != 0) {
    std::fprintf(stderr, "gallery: %ld access violations\n", static_cast<long>(Violations));
    ++Failures;
  }
  return Failures == 0 ? 0 : 1;
}
