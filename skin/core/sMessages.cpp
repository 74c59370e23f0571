// Skin command senders and control-tree utilities. Win32.
#include "skin/core/sMessages.h"

#include <algorithm>
#include <vector>

#include "framework/Scopes.h"
#include "skin/core/sBackground.h"
#include "skin/core/sFormList.h"
#include "skin/core/sPaintUtils.h"

TSetWindowThemeProc acSetWindowTheme = nullptr;

namespace {

// The visual-styles library, held for the life of the program.
struct TThemeLibrary {
  HMODULE Module = nullptr;
  TThemeLibrary() {
    Module = LoadLibraryW(L"UXTHEME");
    if (Module != nullptr)
      acSetWindowTheme = reinterpret_cast<TSetWindowThemeProc>(
          reinterpret_cast<void*>(GetProcAddress(Module, "SetWindowTheme")));
  }
  ~TThemeLibrary() {
    acSetWindowTheme = nullptr;
    if (Module != nullptr) FreeLibrary(Module);
  }
};
TThemeLibrary ThemeLibrary;

// What lies under the graphic children of a control: its own background as an image (Bmp with
// the control's origin at X, Y) or as a colour.
struct TOwnBackground {
  TBitmap* Bmp = nullptr;
  int X = 0;
  int Y = 0;
  TColor Color = clKeyColor;
};

// The control's background without drawing: its answer to the background query, or its colour.
TOwnBackground OwnBackground(TWinControl* Control) {
  TOwnBackground B;
  TacBGInfo Info;
  QueryParentBackground(Info, Control, false);
  if (Info.BgType == btCache && Info.Bmp != nullptr) {
    B.Bmp = Info.Bmp;
    B.X = Info.Offset.X;
    B.Y = Info.Offset.Y;
  } else {
    B.Color = static_cast<TColor>(ColorToRGB(Info.Color));
  }
  return B;
}

// A graphic child that the painter may paint, apart from whether it shows in the target DC.
bool GraphicChildPaintable(TControl* Child) {
  if (Child == nullptr) return false;
  if (!Child->Visible() && !Child->IsDesigning()) return false;
  if (dynamic_cast<TGraphicControl*>(Child) == nullptr) return false;
  if (Child->Width() <= 0 || Child->Height() <= 0) return false;
  if (Child->ControlStyle().Contains(csNoDesignVisible)) return false;
  return !Child->IsDestroying();
}

bool BoundsVisibleIn(HDC DC, const TRect& R) {
  RECT Rc{R.Left, R.Top, R.Right, R.Bottom};
  return RectVisible(DC, &Rc) != FALSE;
}

}  // namespace

// ---- Senders -----------------------------------------------------------------------------------

LRESULT SendSkinCommand(HWND Wnd, Word Command, LPARAM LParam) {
  if (Wnd == nullptr) return 0;
  return SendMessageW(Wnd, SM_ALPHACMD, MakeAlphaCmd(Command), LParam);
}

LRESULT SendSkinCommandToControl(TControl* Control, Word Command, LPARAM LParam, Word Arg) {
  if (Control == nullptr) return 0;
  auto* Win = dynamic_cast<TWinControl*>(Control);
  if (Win == nullptr) return Control->Perform(SM_ALPHACMD, MakeAlphaCmd(Command, Arg), LParam);
  if (Win->IsDestroying() || !Win->HandleAllocated()) return 0;
  return SendMessageW(Win->Handle(), SM_ALPHACMD, MakeAlphaCmd(Command, Arg), LParam);
}

LRESULT AskControl(TControl* Control, Word Command) { return SendSkinCommandToControl(Control, Command, 0); }

bool WindowAnswersCommand(HWND Wnd, Word Command) { return SendSkinCommand(Wnd, Command, 0) == 1; }

void BroadcastSkinCommand(TWinControl* Control, TMessage& Message) {
  if (Control == nullptr) return;
  // The count is read again every round: a handler may add or remove children.
  for (int I = 0; I < Control->ControlCount(); ++I) {
    TControl* Child = Control->Controls(I);
    if (Child->IsDestroying()) return;
    auto* Win = dynamic_cast<TWinControl*>(Child);
    if (Win == nullptr || !Win->HandleAllocated()) {
      Child->Perform(Message.Msg, Message.WParam, Message.LParam);
    } else if (WindowAnswersCommand(Win->Handle(), AC_ISSKINNED)) {
      SendMessageW(Win->Handle(), Message.Msg, Message.WParam, Message.LParam);
    } else {
      BroadcastSkinCommand(Win, Message);
    }
  }
}

namespace {
struct TChildCollect {
  HWND Parent;
  std::vector<HWND> Children;
};
BOOL CALLBACK CollectDirectChild(HWND Child, LPARAM Data) {
  auto* C = reinterpret_cast<TChildCollect*>(Data);
  if (GetParent(Child) == C->Parent) C->Children.push_back(Child);
  return TRUE;
}
}  // namespace

void BroadcastToChildWindows(HWND Wnd, TMessage& Message) {
  if (Wnd == nullptr) return;
  TChildCollect Collect{Wnd, {}};
  EnumChildWindows(Wnd, CollectDirectChild, reinterpret_cast<LPARAM>(&Collect));
  // Sent after the enumeration, so that a receiver may create or destroy windows.
  for (HWND Child : Collect.Children)
    if (IsWindow(Child)) SendMessageW(Child, Message.Msg, Message.WParam, Message.LParam);
}

void SendToFormProvider(TCustomForm* Form, TMessage& Message) {
  if (Form == nullptr) return;
  for (int I = 0; I < Form->ComponentCount(); ++I) {
    TComponent* C = Form->Components(I);
    if (C->InheritsFromName("TsSkinProvider") && !C->IsDestroying()) {
      // The provider takes no command on this path; finding it is all there is to do.
      (void)Message;
      return;
    }
  }
}

void NotifyParentFormLoaded(TControl* Control) {
  if (Control == nullptr) return;
  if (Control->IsLoading() || Control->IsDesigning()) return;
  TCustomForm* Form = GetParentForm(Control);
  // Only a form whose window exists is told: the notice never creates a window.
  if (Form == nullptr || !Form->HandleAllocated()) return;
  SendSkinCommand(Form->Handle(), AC_CONTROLLOADED, reinterpret_cast<LPARAM>(Control));
}

void RefreshChildControls(TWinControl* Control) {
  if (Control == nullptr || acFormsUpdating) return;
  for (int I = 0; I < Control->ControlCount(); ++I) {
    TControl* Child = Control->Controls(I);
    if (dynamic_cast<TGraphicControl*>(Child) != nullptr || Child->IsDestroying()) continue;
    auto* Win = dynamic_cast<TWinControl*>(Child);
    if (Win == nullptr)
      SendSkinCommandToControl(Child, AC_REFRESHIFSKINNED);
    else if (Win->HandleAllocated() && Win->Showing())
      SendSkinCommand(Win->Handle(), AC_REFRESHIFSKINNED);
  }
}

std::vector<HWND> ChildWindows(HWND Wnd) {
  std::vector<HWND> Chain;
  if (Wnd == nullptr) return Chain;
  for (HWND Child = GetTopWindow(Wnd); Child != nullptr; Child = GetWindow(Child, GW_HWNDNEXT)) Chain.push_back(Child);
  return Chain;
}

void RefreshChildWindows(const std::vector<HWND>& Chain) {
  std::vector<HWND> Children;
  for (HWND Child : Chain)
    if ((GetWindowLongW(Child, GWL_STYLE) & WS_CHILD) != 0) Children.push_back(Child);
  for (HWND Child : Children)
    if (IsWindow(Child)) SendSkinCommand(Child, AC_REFRESHIFSKINNED);
}

// ---- Queries -----------------------------------------------------------------------------------

TColor GetControlColor(TControl* Control) {
  if (Control == nullptr) return clKeyColor;
  if (IsSkinnedAnswer(AskControl(Control, AC_ISSKINNED)))
    return ColorToRGB(static_cast<TColor>(Control->Perform(SM_ALPHACMD, MakeAlphaCmd(AC_GETCOLOR), clKeyColor)));
  return ColorToRGB(Control->Color());
}

TColor GetWindowColor(HWND Wnd) {
  if (Wnd == nullptr) return clKeyColor;
  return ColorToRGB(static_cast<TColor>(SendSkinCommand(Wnd, AC_GETCOLOR, clKeyColor)));
}

bool ControlIsReady(TControl* Control) {
  if (Control == nullptr) return false;
  if (auto* Win = dynamic_cast<TWinControl*>(Control); Win != nullptr && !Win->HandleAllocated()) return false;
  const TControlState State = Control->ControlState();
  if (State.Contains(csReadingState) || State.Contains(csCreating)) return false;
  const TComponentState CState = Control->ComponentState();
  if (CState.Contains(csLoading) || CState.Contains(csDestroying)) return false;
  return Control->Parent() != nullptr;
}

TCustomForm* GetOwnerForm(TComponent* Component) {
  for (TComponent* C = Component; C != nullptr; C = C->Owner())
    if (auto* Form = dynamic_cast<TCustomForm*>(C)) return Form;
  return nullptr;
}

TComponent* GetOwnerFrame(TComponent*) { return nullptr; }

UINT GetTextDrawFlags(TControl*, TAlignment Alignment) {
  UINT Flags = DT_EXPANDTABS | DT_VCENTER;
  switch (Alignment) {
    case taLeftJustify: Flags |= DT_LEFT; break;
    case taRightJustify: Flags |= DT_RIGHT; break;
    case taCenter: Flags |= DT_CENTER; break;
  }
  return Flags;
}

TRect GetClientRectInWindow(HWND Wnd) {
  RECT Client{}, Window{};
  if (Wnd == nullptr || !GetClientRect(Wnd, &Client) || !GetWindowRect(Wnd, &Window)) return TRect{};
  POINT Origin{0, 0};
  ClientToScreen(Wnd, &Origin);
  const int DX = Origin.x - Window.left;
  const int DY = Origin.y - Window.top;
  return TRect{Client.left + DX, Client.top + DY, Client.right + DX, Client.bottom + DY};
}

int AlignedControlsSize(TWinControl* Control, TAlign Align, bool CountGraphic) {
  if (Control == nullptr) return 0;
  const bool Vertical = Align == alTop || Align == alBottom;
  const bool Horizontal = Align == alLeft || Align == alRight;
  if (!Vertical && !Horizontal) return 0;
  int Sum = 0;
  for (int I = 0; I < Control->ControlCount(); ++I) {
    TControl* Child = Control->Controls(I);
    if (!Child->Visible() || Child->Align() != Align) continue;
    if (!CountGraphic && dynamic_cast<TWinControl*>(Child) == nullptr) continue;
    Sum += Vertical ? Child->Height() : Child->Width();
  }
  return Sum;
}

HWND GetTopParentWindow(HWND Wnd) {
  if (Wnd == nullptr) return nullptr;
  // GetParent also answers the owner of a popup window; a bound on the steps keeps an odd chain
  // from looping.
  for (int Steps = 0; Steps < 4096; ++Steps) {
    HWND Parent = GetParent(Wnd);
    if (Parent == nullptr) break;
    Wnd = Parent;
  }
  return Wnd;
}

bool IsGraphicControlVisible(TControl* Control, HDC DC) {
  return GraphicChildPaintable(Control) && BoundsVisibleIn(DC, Control->BoundsRect());
}

TPoint GetCursorPosition() {
  POINT P{0, 0};
  GetCursorPos(&P);
  return TPoint{P.x, P.y};
}

// ---- Painting ----------------------------------------------------------------------------------

void PaintGraphicControls(HDC DC, TWinControl* Control, TPoint Offset) {
  if (Control == nullptr || DC == nullptr) return;
  if (!Control->Visible() && !Control->IsDesigning()) return;
  if (Control->ControlCount() == 0) return;

  RECT Clip{};
  if (GetClipBox(DC, &Clip) == NULLREGION || Clip.right <= Clip.left || Clip.bottom <= Clip.top) {
    if (Control->HandleAllocated()) SendSkinCommand(Control->Handle(), AC_NOTPAINTED);
    return;
  }

  const TOwnBackground Background = OwnBackground(Control);
  const auto* Form = dynamic_cast<TCustomForm*>(Control);
  const bool MDIForm = Form != nullptr && Form->FormStyle() == fsMDIForm;
  HDC MemDC = nullptr;
  HBITMAP MemBmp = nullptr;
  HGDIOBJ OldBmp = nullptr;
  std::vector<TControl*> Painted;
  // The memory picture is freed on every way out, also when a child's command fails.
  TScopeExit FreeMemory([&] {
    if (MemDC == nullptr) return;
    SelectObject(MemDC, OldBmp);
    DeleteObject(MemBmp);
    GiveBackMemoryDC(MemDC);
  });

  // The memory picture covers the children that are painted, in the control's coordinates: a
  // 32-bit image (the screen's format) of their bounds, its origin moved to their top-left corner.
  // An image of the screen's own kind would cost a round trip to the display for every paint.
  auto PrepareMemory = [&]() {
    TRect Area{};
    bool Any = false;
    for (int J = 0; J < Control->ControlCount(); ++J) {
      TControl* Child = Control->Controls(J);
      if (!GraphicChildPaintable(Child)) continue;
      TRect B = Child->BoundsRect();
      B.Offset(Offset.X, Offset.Y);
      if (!BoundsVisibleIn(DC, B)) continue;
      B = Child->BoundsRect();
      Area = Any ? TRect{std::min(Area.Left, B.Left), std::min(Area.Top, B.Top), std::max(Area.Right, B.Right),
                         std::max(Area.Bottom, B.Bottom)}
                 : B;
      Any = true;
    }
    MemDC = TakeMemoryDC();
    BITMAPINFO Info{};
    Info.bmiHeader.biSize = sizeof(Info.bmiHeader);
    Info.bmiHeader.biWidth = std::max(Area.Width(), 1);
    Info.bmiHeader.biHeight = std::max(Area.Height(), 1);
    Info.bmiHeader.biPlanes = 1;
    Info.bmiHeader.biBitCount = 32;
    void* Bits = nullptr;
    MemBmp = CreateDIBSection(MemDC, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0);
    OldBmp = SelectObject(MemDC, MemBmp);
    SetWindowOrgEx(MemDC, Area.Left, Area.Top, nullptr);
    for (int J = 0; J < Control->ControlCount(); ++J) {
      TControl* Child = Control->Controls(J);
      if (!GraphicChildPaintable(Child)) continue;
      const TRect B = Child->BoundsRect();
      if (Child->ControlStyle().Contains(csOpaque)) {
        FillRectSolid(MemDC, B, GetControlColor(Child));
      } else if (Background.Bmp != nullptr) {
        BitBlt(MemDC, B.Left, B.Top, B.Width(), B.Height(), Background.Bmp->Canvas()->Handle(),
               Background.X + B.Left, Background.Y + B.Top, SRCCOPY);
      } else {
        FillRectSolid(MemDC, B, Background.Color);
      }
    }
  };

  for (int I = 0; I < Control->ControlCount(); ++I) {
    TControl* Child = Control->Controls(I);
    if (!GraphicChildPaintable(Child)) continue;
    TRect Target = Child->BoundsRect();
    Target.Left += Offset.X;
    Target.Right += Offset.X;
    Target.Top += Offset.Y;
    Target.Bottom += Offset.Y;
    if (!BoundsVisibleIn(DC, Target)) {
      // Out of view: the child remembers it was not painted.
      SendSkinCommandToControl(Child, AC_NOTPAINTED);
      continue;
    }
    if (MDIForm && Child->Align() != alNone) Child->Perform(SM_ALPHACMD, MakeAlphaCmd(AC_APPACTIVATED), 0);
    if (MemDC == nullptr) PrepareMemory();

    const int Saved = SaveDC(MemDC);
    MoveWindowOrg(MemDC, Child->Left(), Child->Top());
    IntersectClipRect(MemDC, 0, 0, Child->Width(), Child->Height());
    const TControlState OldState = Child->ControlState();
    if (Control->ControlState().Contains(csPaintCopy)) {
      TControlState S = OldState;
      S.Include(csPaintCopy);
      Child->SetControlState(S);
    }
    try {
      Child->Perform(WM_PAINT, reinterpret_cast<WPARAM>(MemDC), 0);
    } catch (...) {
      Child->SetControlState(OldState);
      RestoreDC(MemDC, Saved);
      throw;
    }
    Child->SetControlState(OldState);
    MoveWindowOrg(MemDC, -Child->Left(), -Child->Top());
    RestoreDC(MemDC, Saved);
    Painted.push_back(Child);
  }

  if (MemDC == nullptr) return;
  for (TControl* Child : Painted) {
    // A child that left its top-left pixel at the key colour painted nothing to show.
    if ((GetPixel(MemDC, Child->Left(), Child->Top()) & 0xFFFFFF) == static_cast<COLORREF>(clKeyColor)) continue;
    BitBlt(DC, Child->Left() + Offset.X, Child->Top() + Offset.Y, Child->Width(), Child->Height(), MemDC,
           Child->Left(), Child->Top(), SRCCOPY);
  }
}
