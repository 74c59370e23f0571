// Caption input and system commands of skinned forms: the skinned hit test, presses and releases
// of the skinned caption buttons, the system menu from the icon and the caption, double clicks,
// and the rework of WM_SYSCOMMAND around minimize, maximize, restore and close.
#include "framework/Forms.h"
#include "skin/core/sConst.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"
#include "skin/forms/acBorderForm.h"
#include "skin/forms/sSkinMenus.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/forms/sSkinProviderWndProc.h"

namespace {

TPoint MessageScreenPoint(const TMessage& Message) {
  return TPoint{static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))};
}

// The point (screen) lies on what shows of the window: inside its rectangle and its region.
bool PointShowsWindow(HWND W, POINT P) {
  RECT R;
  if (!GetWindowRect(W, &R) || !PtInRect(&R, P)) return false;
  HRGN Rgn = CreateRectRgn(0, 0, 0, 0);
  const bool In = GetWindowRgn(W, Rgn) == ERROR || PtInRegion(Rgn, P.x - R.left, P.y - R.top);
  DeleteObject(Rgn);
  return In;
}

bool IsCaptionButtonCode(int Code) {
  return Code == HTMINBUTTON || Code == HTMAXBUTTON || Code == HTCLOSE || Code == HTHELP ||
         Code == HTCHILDCLOSE || Code == HTCHILDRESTORE || Code == HTCHILDMIN;
}

}  // namespace

// ---- hit testing ------------------------------------------------------------------------------

int TsSkinProvider::CaptionButtonAt(TPoint P) const {
  if (Form == nullptr || !Form->HandleAllocated()) return 0;
  const bool Iconic = IsIconic(Form->Handle()) != FALSE;
  if (VisibleClose() && ButtonClose.State >= 0 && ButtonClose.Rect.Contains(P)) return HTCLOSE;
  if (VisibleMax() && ButtonMax.State >= 0 && ButtonMax.Rect.Contains(P))
    return EnabledMax() || (EnabledRestore() && !Iconic) ? HTMAXBUTTON : HTCAPTION;
  if ((VisibleMin() || Iconic) && ButtonMin.State >= 0 && ButtonMin.Rect.Contains(P))
    return EnabledMin() || Iconic ? HTMINBUTTON : HTCAPTION;
  // The Help button answers wherever it is painted: also on a sizeable form beside maximize and
  // minimize, and on a form without a maximize button.
  if (Form->BorderIcons().Contains(biHelp) && ButtonHelp.State >= 0 && ButtonHelp.Rect.Contains(P)) return HTHELP;
  if (TitleButtons() != nullptr)
    for (int I = 0; I < TitleButtons()->Count(); ++I) {
      const TsTitleButton* B = TitleButtons()->Items(I);
      if (B->Visible() && B->BtnData.Rect.Contains(P)) return B->Enabled() ? HTUSERBUTTON + I : HTCAPTION;
    }
  return 0;
}

int TsSkinProvider::HitTest(TMessage& Message) {
  if (Form == nullptr || !Form->HandleAllocated()) return HTNOWHERE;
  HWND H = Form->Handle();
  RECT WR;
  GetWindowRect(H, &WR);
  const TPoint S = MessageScreenPoint(Message);
  const TPoint P{S.X - WR.left, S.Y - WR.top};
  const bool Zoomed = IsZoomed(H) != FALSE;
  const LONG Style = GetWindowLongW(H, GWL_STYLE);

  // 1. Caption buttons (a border window answers for its own area).
  if (BorderForm == nullptr) {
    const int Code = CaptionButtonAt(P);
    if (Code != 0) {
      SetHotButton(Code, true);
      if (Code != HTCAPTION && !FTrackingNC) {
        // The caption button goes back to normal when the pointer leaves the window.
        TRACKMOUSEEVENT T{sizeof(T), TME_LEAVE | TME_NONCLIENT, H, 0};
        FTrackingNC = TrackMouseEvent(&T) != FALSE;
      }
      return Code;
    }
  }

  // 2. Sizing edges.
  if (!Zoomed && (Style & WS_THICKFRAME) != 0 && BorderForm == nullptr) {
    const int F = FormBorderWidth(H, BorderForm, true);
    const int W = WR.right - WR.left, Hh = WR.bottom - WR.top;
    int Code = 0;
    const bool Top = P.Y < F, Bottom = P.Y >= Hh - F, Left = P.X < F, Right = P.X >= W - F;
    if (Top) Code = Left ? HTTOPLEFT : (Right ? HTTOPRIGHT : HTTOP);
    else if (Bottom) Code = Left ? HTBOTTOMLEFT : (Right ? HTBOTTOMRIGHT : HTBOTTOM);
    else if (Left) Code = HTLEFT;
    else if (Right) Code = HTRIGHT;
    if (Code != 0) {
      SetHotButton(0, true);
      return Code;
    }
  }

  // The title, the menu line and what is drawn on them are measured in the form image, which
  // a border window's image holds at its margins, beside a title and frame larger than the
  // system's: the point goes there too.
  const TPoint O = WindowOriginInImage();
  const TPoint I{P.X + O.X, P.Y + O.Y};
  const int TitleBottom = TitleBottomInImage();

  // 3. Caption band.
  if (P.Y >= 0 && I.Y < TitleBottom) {
    if (TitleIconRect().Contains(I)) return HTSYSMENU;
    return HTCAPTION;
  }

  // 4. Menu line.
  if (Form->Menu() != nullptr && I.Y < TitleBottom + MenuHeight() * (MenuLineRows > 0 ? MenuLineRows : 1)) {
    if (ChildButtonsInMenuLine()) {
      int Code = HTMENU;
      if (MDIButtonClose.Rect.Contains(I)) Code = HTCHILDCLOSE;
      else if (MDIButtonNorm.Rect.Contains(I)) Code = HTCHILDRESTORE;
      else if (MDIButtonMin.Rect.Contains(I)) Code = HTCHILDMIN;
      SetHotButton(Code, true);
      return Code;
    }
    return HTMENU;
  }

  // 5. Client, and the size grip in its bottom-right corner: from where the grip is painted to
  // the client's corner (the client area shows the image's client part).
  TsSkinManager* M = SkinManager();
  if (GripVisible() && M != nullptr &&
      M->IsValidMaskIndex(M->GetMaskIndex(M->CommonSkinIndexes().GlobalInfo, "GLOBALINFO", "GRIPIMAGE"))) {
    const TPoint G = GripRect();
    POINT C{S.X, S.Y};
    ScreenToClient(H, &C);
    RECT CR;
    GetClientRect(H, &CR);
    if (C.x >= G.X - OffsetX() && C.y >= G.Y - OffsetY() && C.x < CR.right && C.y < CR.bottom) return HTBOTTOMRIGHT;
  }
  return HTCLIENT;
}

void TsSkinProvider::WMNCHitTest(TMessage& Message) {
  if (CaptionHeight(true) == 0 || !DrawNonClientArea()) {
    PassOn(Message);
    return;
  }
  Message.Result = HitTest(Message);
  const LRESULT R = Message.Result;
  if (R == HTNOWHERE || R == HTCLIENT || R == HTCAPTION || R == HTMENU) {
    PassOn(Message);
    SetHotButton(0, true);
  }
  if (ResizeMode() == rmBorder && acBorderFrame.SizingCode == 0 && Message.Result >= HTLEFT &&
      Message.Result <= HTBOTTOMRIGHT)
    acBorderFrame.SizingCode = static_cast<int>(Message.Result);
}

// ---- mouse on the caption -----------------------------------------------------------------------

void TsSkinProvider::WMNCLButtonDown(TMessage& Message) {
  HWND H = Form->Handle();
  const TPoint S = MessageScreenPoint(Message);
  TsSkinManager* M = SkinManager();
  auto DropFromIcon = [&] {
    if (IsMDIChild()) {
      if (SkinnedMDIMainProvider == nullptr) return;
      const TPoint O = FormOrigin();
      DropSysMenu(O.X, O.Y + CaptionHeight(true) + 4);
    } else {
      DropSysMenuBelowIcon();
    }
  };
  if (!DrawNonClientArea()) {
    if (Message.WParam == HTSYSMENU) {
      DropFromIcon();
      return;
    }
    PassOn(Message);
    return;
  }
  int Code = static_cast<int>(Message.WParam);
  if (BorderForm != nullptr) {
    if (Code == HTOBJECT) {
      PassOn(Message);
      return;
    }
    // The border window passes its presses on without a hit code: what it finds there goes on
    // with the message, so that the system moves or sizes the form by the title or an edge.
    if (Code == -1) {
      Code = BorderForm->BorderHitTest(Message);
      Message.WParam = static_cast<WPARAM>(Code);
    }
  }
  if (IsCaptionButtonCode(Code)) {
    if (Code == HTCHILDMIN || Code == HTCHILDRESTORE) {
      TsSkinProvider* C = MaximizedChildProvider;
      if (C == nullptr || C->SysMenu == nullptr) return;
      if (Code == HTCHILDMIN ? !C->SysMenu->EnabledMin() : !C->SysMenu->EnabledRestore()) return;
    }
    SetPressedButton(Code);
    FPressedHT = Code;
    HoldPress();
    Message.Result = 0;
    return;
  }
  if (Code == HTSYSMENU) {
    SetHotButton(0, true);
    if (M == nullptr || !M->SkinnedPopups()) {
      Survive([] {
        DelayWithMessages(200);
        Application->ProcessMessages();
      });
      if (SkinData()->Updating || FormDestroying()) return;
    }
    DropFromIcon();
    return;
  }
  if (Code == HTMENU) {
    PassOn(Message);
    return;
  }
  if (TitleButtons() != nullptr && Code >= HTUSERBUTTON && Code < HTUSERBUTTON + TitleButtons()->Count()) {
    SetPressedButton(Code);
    FPressedHT = Code;
    HoldPress();
    POINT C{S.X, S.Y};
    ScreenToClient(H, &C);
    TitleButtons()->Items(Code - HTUSERBUTTON)->DoMouseDown(mbLeft, TShiftState{}, C.x, C.y);
    return;
  }
  if (IsIconic(H)) {
    Form->Perform(WM_SYSCOMMAND, SC_DRAGMOVE, 0);
    return;
  }
  SetHotButton(0, true);
  if (IsZoomed(H)) {
    RECT WR;
    GetWindowRect(H, &WR);
    if (S.Y - WR.top < WindowFrameWidth(H, BorderForm, true) + CaptionHeight(true)) {
      if (!Form->Active()) Form->SetFocus();
      return;
    }
  }
  if (ResizeMode() == rmBorder) {
    if (Code == HTCAPTION) PassOn(Message);
    const bool Moving = !(Code >= HTLEFT && Code <= HTBOTTOMRIGHT);
    Survive([&] { SendMessageW(H, WM_SYSCOMMAND, Moving ? SC_MOVE : SC_SIZE, 0); });
    acBorderFrame.Moving = Moving;
    if (!Moving) {
      // The pressed edge follows the pointer from the press on: the press point is the base.
      acBorderFrame.SizingCode = Code;
      acBorderFrame.LastX = S.X;
      acBorderFrame.LastY = S.Y;
      acBorderFrame.Pending = false;
    }
    BeginFrame(S.X, S.Y);
    return;
  }
  PassOn(Message);
  if (BorderForm != nullptr && GetWindow(H, GW_OWNER) == nullptr) BorderForm->UpdateBorderWindow(true, 255);
}

void TsSkinProvider::HoldPress() {
  if (Form != nullptr && Form->HandleAllocated()) SetCapture(Form->Handle());
}

void TsSkinProvider::PressLost() {
  if (FPressedHT == 0) return;
  const int Pressed = FPressedHT;
  FPressedHT = 0;
  DropButtonPress(Pressed);
}

void TsSkinProvider::DropButtonPress(int Pressed) {
  SetHotButton(0, true);
  if (TsCaptionButton* B = ButtonByCode(Pressed); B != nullptr && B->State > 0) {
    B->State = 0;
    RepaintButton(Pressed);
  }
  // A border window that came during the press shows the button pressed in its image, which the
  // button's fades take for its normal look: the image is made again.
  if (BorderForm != nullptr) {
    FSkinData->BackgroundStale = true;
    BorderForm->UpdateBorderWindow(true, 255);
  }
}

void TsSkinProvider::WMNCLButtonUp(TMessage& Message) {
  HWND H = Form->Handle();
  if (!DrawNonClientArea()) {
    PassOn(Message);
    return;
  }
  int Code = Message.Msg == WM_NCLBUTTONUP ? static_cast<int>(Message.WParam) : 0;
  if (Code == -1 && BorderForm != nullptr) {
    Code = BorderForm->BorderHitTest(Message);
    Message.WParam = static_cast<WPARAM>(Code);
  }
  const int Pressed = FPressedHT;
  FPressedHT = 0;
  if (Pressed != 0 && Message.Msg == WM_LBUTTONUP) {
    // The press holds the capture, so its release arrives here wherever it happened (in client
    // coordinates): over the pressed button it acts, anywhere else it only ends the press.
    POINT P{static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))};
    ClientToScreen(H, &P);
    TMessage Hit{WM_NCHITTEST, 0, MAKELPARAM(static_cast<short>(P.x), static_cast<short>(P.y)), 0};
    // The border window answers for what it shows around the form (the title and its buttons);
    // a point on the form window itself (the menu line) is the form's.
    Code = BorderForm != nullptr && !PointShowsWindow(H, P) ? BorderForm->BorderHitTest(Hit) : HitTest(Hit);
    if (GetCapture() == H) ReleaseCapture();
    if (Code != Pressed) {
      DropButtonPress(Pressed);
      Message.Result = 0;
      return;
    }
    Message.LParam = Hit.LParam;
  } else if (Pressed != 0 && GetCapture() == H) {
    ReleaseCapture();
  }
  const bool WasPressed = Pressed != 0 && Pressed == Code;
  switch (Code) {
    case HTCLOSE:
      if (WasPressed) {
        SetHotButton(0, true);
        SendMessageW(H, WM_SYSCOMMAND, SC_CLOSE, 0);
      } else {
        SetHotButton(0, true);
      }
      Message.Result = 0;
      return;
    case HTMAXBUTTON:
      if (!(EnabledMax() || (IsZoomed(H) && EnabledRestore()))) break;
      if (!WasPressed) {
        SetHotButton(0, true);
        PassOn(Message);
        return;
      }
      if (IsMDIChild() && ProviderAlive(SkinnedMDIMainProvider)) SkinnedMDIMainProvider->SkinData()->BeginUpdate();
      SetHotButton(0, true);
      if (IsZoomed(H)) {
        if (IsMDIChild()) MaximizedChildProvider = nullptr;
        else Form->SetWindowState(wsNormal);
        Survive([&] { SendMessageW(H, WM_SYSCOMMAND, SC_RESTORE, 0); });
        Form->Repaint();
      } else {
        if (IsMDIChild()) MaximizedChildProvider = nullptr;
        Survive([&] { SendMessageW(H, WM_SYSCOMMAND, SC_MAXIMIZE, 0); });
      }
      if (IsMDIChild() && ProviderAlive(SkinnedMDIMainProvider)) SkinnedMDIMainProvider->SkinData()->EndUpdate();
      if (SysMenu != nullptr) SysMenu->UpdateItems(false);
      return;
    case HTMINBUTTON: {
      if (!WasPressed) {
        SetHotButton(0, true);
        PassOn(Message);
        return;
      }
      RECT WR;
      GetWindowRect(H, &WR);
      const TPoint S = MessageScreenPoint(Message);
      if (!ButtonMin.Rect.Contains(TPoint{S.X - WR.left, S.Y - WR.top}) && BorderForm == nullptr) {
        PassOn(Message);
        return;
      }
      SetHotButton(0, true);
      const WPARAM Cmd = Application->MainForm() == Form || !IsIconic(H) ? SC_MINIMIZE : SC_RESTORE;
      Survive([&] { SendMessageW(H, WM_SYSCOMMAND, Cmd, 0); });
      SkinData()->BackgroundStale = true;
      RepaintMin = true;
      return;
    }
    case HTHELP:
      if (WasPressed) {
        Survive([&] { SendMessageW(H, WM_SYSCOMMAND, SC_CONTEXTHELP, 0); });
        SetHotButton(0, true);
        if (SysMenu != nullptr) SysMenu->UpdateItems(false);
        SendMessageW(H, WM_NCPAINT, 0, 0);
      } else {
        SetHotButton(0, true);
      }
      return;
    case HTCHILDCLOSE:
    case HTCHILDRESTORE:
    case HTCHILDMIN:
      if (WasPressed && Form->ActiveMDIChild() != nullptr && Form->ActiveMDIChild()->HandleAllocated()) {
        HWND Child = Form->ActiveMDIChild()->Handle();
        if (Code == HTCHILDMIN && ProviderAlive(SkinnedMDIMainProvider))
          SkinnedMDIMainProvider->SkinData()->BeginUpdate();
        SendMessageW(Child, WM_SYSCOMMAND,
                     Code == HTCHILDCLOSE ? SC_CLOSE : (Code == HTCHILDRESTORE ? SC_RESTORE : SC_MINIMIZE), 0);
        SetHotButton(0, Code == HTCHILDMIN);
      }
      return;
    default:
      break;
  }
  if (TitleButtons() != nullptr && Code >= HTUSERBUTTON && Code < HTUSERBUTTON + TitleButtons()->Count()) {
    if (WasPressed) {
      const TPoint S = MessageScreenPoint(Message);
      POINT C{S.X, S.Y};
      ScreenToClient(H, &C);
      Survive([&] { TitleButtons()->Items(Code - HTUSERBUTTON)->DoMouseUp(mbLeft, TShiftState{}, C.x, C.y); });
    }
    SetHotButton(0, true);
    return;
  }
  if (Message.Msg == WM_NCLBUTTONUP && IsIconic(H)) {
    if (SkinnedMDIMainProvider != nullptr) {
      const TPoint S = MessageScreenPoint(Message);
      DropSysMenu(S.X + TitleIconRect().Left, S.Y);
      return;
    }
    PassOn(Message);
    return;
  }
  if (ResizeMode() == rmBorder && acBorderFrame.Owner == this && (acBorderFrame.Active || acBorderFrame.Pending) &&
      !IsZoomed(H)) {
    POINT P;
    GetCursorPos(&P);
    EndFrame(P.x, P.y);
    ReleaseCapture();
    return;
  }
  PassOn(Message);
}

void TsSkinProvider::WMNCLButtonDblClk(TMessage& Message) {
  HWND H = Form->Handle();
  if (ResizeMode() == rmBorder && acBorderFrame.Owner == this && (acBorderFrame.Active || acBorderFrame.Pending)) {
    POINT P;
    GetCursorPos(&P);
    EndFrame(P.x, P.y);
    ReleaseCapture();
  }
  const int Code = static_cast<int>(Message.WParam);
  if (Code == HTCAPTION) {
    if ((VisibleClose() && (EnabledMax() || EnabledRestore())) || (!HasBorder() && IsIconic(H))) {
      Survive([&] { SendMessageW(H, WM_SYSCOMMAND, IsZoomed(H) || IsIconic(H) ? SC_RESTORE : SC_MAXIMIZE, 0); });
      if (SysMenu != nullptr) SysMenu->UpdateItems(false);
    }
  } else if (Code == HTSYSMENU) {
    TsSkinManager* M = SkinManager();
    if (M == nullptr || !M->SkinnedPopups()) SkinData()->SetUpdating(true);
    Form->Close();
  }
  Message.WParam = HTNOWHERE;
}

void TsSkinProvider::WMNCRButtonUp(TMessage& Message) {
  if (!HasBorder()) {
    PassOn(Message);
    return;
  }
  int Code;
  if (BorderForm != nullptr) {
    Code = static_cast<int>(Message.WParam);
    if (Code == -1) Code = BorderForm->BorderHitTest(Message);
  } else {
    Code = HitTest(Message);
  }
  if (Code == HTCAPTION || Code == HTSYSMENU) {
    SetHotButton(0, true);
    const TPoint S = MessageScreenPoint(Message);
    DropSysMenu(S.X, S.Y);
  }
}

void TsSkinProvider::DropSysMenuBelowIcon() {
  HWND H = Form->Handle();
  RECT WR;
  GetWindowRect(H, &WR);
  // The form image's origin on the screen, and the bottom of its title band in it.
  const TPoint O = WindowOriginInImage();
  DropSysMenu(WR.left - O.X + TitleIconRect().Left, WR.top - O.Y + TitleBottomInImage());
}

// ---- system commands ------------------------------------------------------------------------

void TsSkinProvider::WMSysCommand(TMessage& Message) {
  HWND H = Form->Handle();
  const WPARAM Exact = Message.WParam;
  const WPARAM Cmd = Exact & 0xFFF0;
  if (Exact == SC_DRAGMOVE) Form->Repaint();
  if (ResizeMode() == rmBorder && (Cmd == SC_MOVE || Cmd == SC_SIZE)) {
    // The inverted frame tracks the mouse instead of the system's move or size loop, which is
    // never entered in this mode.
    if (acBorderFrame.Active) return;
    SetCapture(H);
    acBorderFrame.Owner = this;
    acBorderFrame.Pending = true;
    if (Cmd == SC_MOVE) {
      acBorderFrame.Moving = true;
    } else {
      acBorderFrame.SizingCode = 0;
      acBorderFrame.Moving = false;
    }
    // Started from the keyboard or the system menu: the frame appears at once at the cursor.
    if (!acBorderFrame.Active) {
      // The point of the input that led here (a press on the caption, or the cursor of a
      // keyboard or menu command), not the pointer's position now.
      const DWORD Pos = GetMessagePos();
      BeginFrame(static_cast<short>(LOWORD(Pos)), static_cast<short>(HIWORD(Pos)));
    }
    return;
  }
  if (IsMDIChild()) {
    MDIChildSysCommand(Message);
    return;
  }
  if (IsMDIForm()) {
    PassOn(Message);
    if ((Exact == SC_MINIMIZE || Exact == SC_MAXIMIZE || Exact == SC_RESTORE) &&
        ProviderAlive(SkinnedMDIMainProvider)) {
      SkinnedMDIMainProvider->SkinData()->BackgroundStale = true;
      SkinnedMDIMainProvider->MenuLineRows = -1;
      SendMessageW(H, WM_NCPAINT, 0, 0);
    }
    return;
  }
  PassOn(Message);
  if (FormDestroying() || !IsWindow(H)) return;
  switch (Exact) {
    case SC_MINIMIZE:
      if (SkinData()->CacheBmp() != nullptr) SkinData()->CacheBmp()->SetSize(0, 0);
      break;
    case SC_MAXIMIZE:
    case SC_RESTORE:
      if (VisibleMax()) CurrentHT = HTMAXBUTTON;
      SetHotButton(0, true);
      if (Exact == SC_RESTORE) {
        SkinData()->BackgroundStale = true;
        RepaintMin = true;
        if (HasBorder()) RedrawWindow(H, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
        else SetWindowRgn(H, nullptr, TRUE);
      }
      break;
    default:
      if (Cmd == SC_KEYMENU && LOWORD(Message.LParam) == ' ' && VisibleClose() && HasBorder()) DropSysMenuBelowIcon();
      break;
  }
}

void TsSkinProvider::MDIChildSysCommand(TMessage& Message) {
  HWND H = Form->Handle();
  const WPARAM Exact = Message.WParam;
  const WPARAM Cmd = Exact & 0xFFF0;
  TsSkinProvider* Main = ProviderAlive(SkinnedMDIMainProvider) ? SkinnedMDIMainProvider : nullptr;
  bool LockMain = Form->WindowState() != wsNormal && !(Form->WindowState() == wsMaximized && Exact == SC_MAXIMIZE);
  if (Cmd == SC_RESTORE && IsIconic(H)) LockMain = true;
  if (LockMain && Main != nullptr) Main->SkinData()->BeginUpdate();
  switch (Cmd) {
    case SC_CLOSE:
      if (LockMain && Main != nullptr && Main->MDIForm != nullptr) RefreshMDIMain(true);
      if (Main != nullptr) Main->RegionLock = true;
      PassOn(Message);
      if (Main != nullptr && ProviderAlive(Main)) Main->RegionLock = false;
      if (!FormDestroying()) SetHotButton(0, false);
      if (LockMain && ProviderAlive(Main) && Main->MDIForm != nullptr) RefreshMDIMain(true);
      break;
    case SC_RESTORE:
      if (MaximizedChildCreating) break;
      BeginFormUpdate(true);
      PassOn(Message);
      SkinData()->BackgroundStale = true;
      SetWindowLongW(H, GWL_STYLE, GetWindowLongW(H, GWL_STYLE) & ~WS_SYSMENU);
      EndFormUpdate(true);
      RedrawWindow(H, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_FRAME);
      if (Main != nullptr) {
        TCustomForm* MF = Main->Form;
        for (int I = 0; I < MF->MDIChildCount(); ++I) {
          TCustomForm* C = MF->MDIChildren(I);
          if (C == Form) continue;
          if (C->WindowState() == wsMaximized) C->SetWindowState(wsNormal);
          if (C->HandleAllocated())
            RedrawWindow(C->Handle(), nullptr, nullptr, RDW_INTERNALPAINT | RDW_ERASE | RDW_UPDATENOW | RDW_FRAME);
        }
      }
      if (LockMain) RefreshMDIMain(true);
      if (SysMenu != nullptr) SysMenu->UpdateItems(false);
      break;
    case SC_MINIMIZE:
      PassOn(Message);
      if (LockMain) RefreshMDIMain(true);
      if (SysMenu != nullptr) SysMenu->UpdateItems(false);
      TitleBand.reset();
      SkinData()->BackgroundStale = true;
      RefreshMDIMain(true);
      break;
    case SC_MAXIMIZE: {
      MaximizedChildProvider = this;
      const LONG Style = GetWindowLongW(H, GWL_STYLE);
      SetWindowLongW(H, GWL_STYLE, Style & ~WS_VISIBLE);
      PassOn(Message);
      SetWindowLongW(H, GWL_STYLE, GetWindowLongW(H, GWL_STYLE) | (Style & WS_VISIBLE));
      RedrawWindow(H, nullptr, nullptr, RDW_INTERNALPAINT | RDW_ERASE | RDW_UPDATENOW | RDW_FRAME);
      if (Main != nullptr && Main->MDIForm != nullptr) RefreshMDIMain(true);
      if (SysMenu != nullptr) SysMenu->UpdateItems(false);
      break;
    }
    case SC_KEYMENU:
      // Alt with a letter, or F10, pressed while the child has the focus: the system takes the
      // command to the main form's menu.
      if (Main != nullptr) Main->SkinData()->EndUpdate();
      PassOn(Message);
      return;
    default:
      PassOn(Message);
      if (Main != nullptr && ProviderAlive(Main)) Main->SkinData()->EndUpdate();
      return;
  }
  // Every path that began an update of the main form ends it.
  if (LockMain && ProviderAlive(Main) && Main->SkinData()->Updating) Main->SkinData()->EndUpdate();
}
