// Window adapters: TacMainWnd and the shared services of the adapter unit.
#include "skin/controls/acWndAdapter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/Exceptions.h"
#include "framework/Forms.h"
#include "framework/ImgList.h"
#include "framework/Scopes.h"
#include "skin/core/acGlow.h"
#include "skin/core/acPixels.h"
#include "skin/core/sBackground.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSectionPaint.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sStyleSimply.h"
#include "skin/core/sVclUtils.h"
#include "skin/core/sPaintUtils.h"
#include "framework/Strings.h"

bool AdapterDlgMode = false;
bool acRemovingAllAdapters = false;
TGetScrollBarInfo acGetScrollBarInfo = nullptr;
TFlatSBProc acInitializeFlatSB = nullptr;
TFlatSBProc acUninitializeFlatSB = nullptr;

namespace {

HMODULE User32Lib = nullptr;
HMODULE ComCtlLib = nullptr;
int UnitInitCount = 0;

// The skin data's owner object is a form skin provider: the adapter is hooked into its form.
TControl* ProviderForm(TsCommonData* SkinData) {
  if (SkinData == nullptr || SkinData->OwnerObject() == nullptr) return nullptr;
  if (!SkinData->OwnerObject()->InheritsFromName("TsSkinProvider")) return nullptr;
  auto* Provider = dynamic_cast<TComponent*>(SkinData->OwnerObject());
  return Provider != nullptr ? dynamic_cast<TControl*>(Provider->Owner()) : nullptr;
}

// The control whose WindowProc chain the adapter goes into; nullptr for a plain window.
TControl* HookTarget(TsCommonData* SkinData) {
  if (SkinData == nullptr) return nullptr;
  if (TControl* Form = ProviderForm(SkinData)) return Form;
  return SkinData->OwnerControl();
}

// The property that keeps a plain window's previous procedure while the routing procedure below
// stays in its chain without an adapter (see acUnsubclassWindow).
constexpr const wchar_t* AdapterBypassProp = L"ACSBSCOLD";

// The adapter's WndProc for one message, counted in its MessageDepth while it runs.
void HandleMessage(TacMainWnd* Adapter, TMessage& M, const std::shared_ptr<bool>& Alive) {
  ++Adapter->MessageDepth;
  TScopeExit Handled([&] {
    if (*Alive) --Adapter->MessageDepth;
  });
  Adapter->WndProc(M);
}

// The window procedure of subclassed plain windows: routes the message to the adapter stored in
// the window's property. Exceptions never leave it.
LRESULT CALLBACK AdapterSubclassProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  // An adapter may keep a focus message from the window's own procedure.
  if (MayMoveFocus(Msg)) FocusMayHaveMoved();
  TacMainWnd* Adapter = GetWndAdapter(Wnd);
  if (Adapter == nullptr || Adapter->ObjectInstance == nullptr) {
    WNDPROC Old = Adapter != nullptr ? Adapter->OldWndProc : nullptr;
    if (Old == nullptr) return acCallBypassed(Wnd, AdapterBypassProp, Msg, WParam, LParam);
    return CallWindowProcW(Old, Wnd, Msg, WParam, LParam);
  }
  TMessage M{Msg, WParam, LParam, 0};
  try {
    const std::shared_ptr<bool> Alive = Adapter->Alive;
    HandleMessage(Adapter, M, Alive);
    if (*Alive) Adapter->AfterMessage(M);
  } catch (const TacAdapterFreed&) {
    // The adapter went while the message was passed on: its handling ends here.
  } catch (...) {
    if (Application != nullptr) Application->HandleException(nullptr, std::current_exception());
  }
  return M.Result;
}

}  // namespace

TList& PageAdapters() {
  static TList List;
  return List;
}

void InitAdapterUnit() {
  if (UnitInitCount++ > 0) return;
  User32Lib = LoadLibraryA("user32.dll");
  if (User32Lib != nullptr)
    acGetScrollBarInfo = reinterpret_cast<TGetScrollBarInfo>(
        reinterpret_cast<void*>(GetProcAddress(User32Lib, "GetScrollBarInfo")));
  ComCtlLib = LoadLibraryA("comctl32.dll");
  if (ComCtlLib != nullptr) {
    acInitializeFlatSB =
        reinterpret_cast<TFlatSBProc>(reinterpret_cast<void*>(GetProcAddress(ComCtlLib, "InitializeFlatSB")));
    acUninitializeFlatSB =
        reinterpret_cast<TFlatSBProc>(reinterpret_cast<void*>(GetProcAddress(ComCtlLib, "UninitializeFlatSB")));
  }
}

void DoneAdapterUnit() {
  if (UnitInitCount <= 0 || --UnitInitCount > 0) return;
  acGetScrollBarInfo = nullptr;
  acInitializeFlatSB = nullptr;
  acUninitializeFlatSB = nullptr;
  if (User32Lib != nullptr) FreeLibrary(User32Lib);
  if (ComCtlLib != nullptr) FreeLibrary(ComCtlLib);
  User32Lib = ComCtlLib = nullptr;
  TList& Pages = PageAdapters();
  for (int i = Pages.Count() - 1; i >= 0; --i) delete static_cast<TacMainWnd*>(Pages.Items(i));
  Pages.Clear();
}

// ---- TacMainWnd --------------------------------------------------------------------------------

TacMainWnd::TacMainWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                       const AnsiString& SkinSection) {
  if (Handle == nullptr || !IsWindow(Handle)) throw EInvalidOperation("Cannot adapt a window that does not exist");
  CtrlHandle = Handle;
  if (acSetWindowTheme != nullptr && UpperCase(SkinSection) != "DIALOG" && Handle != nullptr)
    acSetWindowTheme(Handle, L" ", L" ");
  SkinManager = ASkinManager;
  if (ASkinData != nullptr) {
    SkinData = ASkinData;
    if (SkinManager == nullptr) SkinManager = ASkinData->GetSkinManager();
  } else {
    OwnSkinData = true;
    SkinData = new TsCommonData(nullptr, 0, true);
    if (ASkinManager != nullptr) SkinData->SetSkinManager(ASkinManager);
  }
  // A new skin data carries no section yet: it takes the adapter's.
  if (OwnSkinData || SkinData->SkinSection().empty() || SkinData->SkinSection() == "UNKNOWN") {
    if (OwnSkinData || SkinData->SkinSection().empty()) SkinData->SetSkinSection(SkinSection);
  }
  acRegisterManagerRef(&SkinManager);
}

void TacMainWnd::AfterConstruction(bool Repaint) {
  DlgMode = AdapterDlgMode;
  SaveStdParams();
  ParamsChanged = false;
  WndText = GetWndText(CtrlHandle);
  HookWindow(Repaint);
  if (SkinData != nullptr && SkinData->OwnerControl() != nullptr && !Destroyed) {
    TControl* C = SkinData->OwnerControl();
    OldOpaque = C->ControlStyle().Contains(csOpaque);
    C->SetControlStyle(C->ControlStyle() + csOpaque);
  }
}

void TacMainWnd::GiveWindowBack() {
  RestoreStdParams();
  TControl* C = SkinData != nullptr ? SkinData->OwnerControl() : nullptr;
  if (C != nullptr && OldOpaque && !C->IsDestroying()) {
    TControlStyle Style = C->ControlStyle();
    if (*OldOpaque)
      Style.Include(csOpaque);
    else
      Style.Exclude(csOpaque);
    C->SetControlStyle(Style);
  }
  if (IsWindow(CtrlHandle) && IsWindowVisible(CtrlHandle))
    RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void TacMainWnd::HookWindow(bool /*Repaint*/) { HookAdapterWndProc(this, CtrlHandle); }

void TacMainWnd::PutBackProcedure() {
  // The saved procedures stay readable (CallOldWndProc) until the adapter is freed.
  if (OldProc) {
    if (FHookedControl != nullptr) FHookedControl->SetWindowProc(OldProc);
    FHookedControl = nullptr;
  } else if (OldWndProc != nullptr) {
    if (IsWindow(CtrlHandle) && ObjectInstance != nullptr)
      acUnsubclassWindow(CtrlHandle, &AdapterSubclassProc, OldWndProc, AdapterBypassProp);
    ObjectInstance = nullptr;
  }
}

void TacMainWnd::DetachOnDestroy() {
  if (Destroyed) return;
  StopInputTracking();
  // The window procedure always goes back. A control that goes away with its form may outlive
  // its adapter for a while (the form frees its components one by one, the skin provider with
  // its adapters among the first), and the messages that reach it meanwhile, such as the
  // notices of its children being destroyed, must not find a freed adapter. Only the control's
  // own look is left as it is when it goes away with its form.
  PutBackProcedure();
  if (CtrlHandle != nullptr) RemovePropA(CtrlHandle, acAdapterPropName);
  if (!acRemovingAllAdapters || acSkinRemoving) {
    if (acSetWindowTheme != nullptr && IsWindow(CtrlHandle)) acSetWindowTheme(CtrlHandle, nullptr, nullptr);
    GiveWindowBack();
  }
  Destroyed = true;
}

TacMainWnd::~TacMainWnd() {
  *Alive = false;
  DetachOnDestroy();
  if (OwnSkinData) delete SkinData;
  SkinData = nullptr;
  SkinManager = nullptr;
  acUnregisterManagerRef(&SkinManager);
}

void TacMainWnd::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_DESTROY:
    case WM_NCDESTROY: {
      if (SkinData != nullptr && SkinData->GlowId >= 0) {
        HideGlow(SkinData->GlowId);
        SkinData->GlowId = -1;
      }
      Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
      if (!Destroyed && (OldWndProc != nullptr || OldProc)) {
        TacMainWnd* Self = this;
        UnhookAdapterWndProc(CtrlHandle, false, false, Self);
      }
      return;
    }
    case WM_SIZE:
      if (SkinData != nullptr) SkinData->BackgroundStale = true;
      break;
    case WM_SETTEXT:
      Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
      WndText = GetWndText(CtrlHandle);
      return;
    case WM_UPDATEUISTATE:
      return;
    case WM_MOUSEMOVE: {
      TsSkinManager* Def = TsSkinManager::DefaultManager();
      if (Def != nullptr && !Def->IsDesigning() && IsWindowEnabled(CtrlHandle) && Def->HoverWindow() != CtrlHandle)
        Def->SetHoverWindow(CtrlHandle);
      break;
    }
    case WM_PRINT:
      Message.Result = SendMessageW(CtrlHandle, WM_PAINT, Message.WParam, Message.LParam);
      return;
    default:
      break;
  }

  TsSkinManager* Manager = SkinData != nullptr ? SkinData->GetSkinManager() : nullptr;
  if (Manager == nullptr || !Manager->Active() || Message.Msg != SM_ALPHACMD) {
    Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
    return;
  }
  auto PassOn = [&] { Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, Message.LParam); };
  const bool FromManager = Message.LParam == reinterpret_cast<LPARAM>(Manager);
  switch (AlphaCmdCode(Message.WParam)) {
    case AC_NEWSKIN:
      if (FromManager) {
        TakeNewSkin(SkinData);
        BroadcastToChildren(SkinData->OwnerControl(), CtrlHandle, Message);
      }
      PassOn();
      break;
    case AC_SKINREMOVED:
      if (FromManager) RestoreStdParams();
      PassOn();
      break;
    case AC_REFRESHSKIN:
      if (FromManager) {
        TakeNewSkin(SkinData);
        SkinData->SetUpdating(false);
        SendMessageW(CtrlHandle, WM_PAINT, 0, 0);
      } else {
        PassOn();
      }
      break;
    case AC_REFRESHIFSKINNED:
      if (!ResumeUpdating(SkinData, CtrlHandle, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME))
        PassOn();
      break;
    case AC_ISSKINNED:
      Message.Result = 1;
      break;
    case AC_ISBUSY:
      Message.Result = SkinData->Updating ? 1 : 0;
      break;
    case AC_ISPARENTDEPENDENT:
      if (SkinData->OwnerControl() != nullptr)
        HandleSkinCommand(Message, SkinData);
      else
        PassOn();
      break;
    case AC_GETCOLOR:
      Message.Result = 0;
      PassOn();
      if (Message.Result == 0) Message.Result = SkinData->GetBackgroundColor(false, CtrlHandle);
      break;
    case AC_PREPARECACHE:
      PrepareWindowCache(SkinData, CtrlHandle, false);
      PassOn();
      break;
    case AC_GETBACKGROUND:
      if (Message.LParam != 0) SkinData->GetBackgroundInfo(*reinterpret_cast<TacBGInfo*>(Message.LParam), false, CtrlHandle);
      break;
    case AC_GETAPPLICATION:
      Message.Result = reinterpret_cast<LRESULT>(Application);
      break;
    default:
      PassOn();
      break;
  }
}

// ---- routines ----------------------------------------------------------------------------------

WideString GetWndText(HWND Wnd) {
  if (Wnd == nullptr) return {};
  int Len = GetWindowTextLengthW(Wnd);
  if (Len <= 0) return {};
  std::wstring Buf(static_cast<std::size_t>(Len) + 1, L'\0');
  int Got = GetWindowTextW(Wnd, Buf.data(), Len + 1);
  Buf.resize(static_cast<std::size_t>(std::max(Got, 0)));
  return Buf;
}

bool AttachedToAnotherAdapter(HWND Handle, const TacMainWnd* Adapter) {
  const TacMainWnd* Existing = GetWndAdapter(Handle);
  return Existing != nullptr && Existing != Adapter && !Existing->Destroyed;
}

WNDPROC acSubclassWindow(HWND Wnd, WNDPROC Route, const wchar_t* BypassProp) {
  if (auto Kept = reinterpret_cast<WNDPROC>(GetPropW(Wnd, BypassProp))) {
    // Route is still in the chain, passing messages on: the new owner takes its place there.
    RemovePropW(Wnd, BypassProp);
    return Kept;
  }
  return reinterpret_cast<WNDPROC>(SetWindowLongPtrW(Wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Route)));
}

void acUnsubclassWindow(HWND Wnd, WNDPROC Route, WNDPROC Previous, const wchar_t* BypassProp) {
  if (Wnd == nullptr || Previous == nullptr) return;
  if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(Wnd, GWLP_WNDPROC)) == Route)
    SetWindowLongPtrW(Wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Previous));
  else
    SetPropW(Wnd, BypassProp, reinterpret_cast<HANDLE>(Previous));
}

LRESULT acCallBypassed(HWND Wnd, const wchar_t* BypassProp, UINT Msg, WPARAM WParam, LPARAM LParam) {
  auto Kept = reinterpret_cast<WNDPROC>(GetPropW(Wnd, BypassProp));
  if (Kept == nullptr) return DefWindowProcW(Wnd, Msg, WParam, LParam);
  const LRESULT Result = CallWindowProcW(Kept, Wnd, Msg, WParam, LParam);
  if (Msg == WM_NCDESTROY) RemovePropW(Wnd, BypassProp);
  return Result;
}

void HookAdapterWndProc(TacMainWnd* Adapter, HWND Handle) {
  if (Adapter == nullptr) return;
  Adapter->Scrolling = false;
  Adapter->CtrlHandle = Handle;
  TControl* Target = HookTarget(Adapter->SkinData);
  if (AttachedToAnotherAdapter(Handle, Adapter)) {
    // A window carries one adapter. Through the routing procedure, which finds its adapter by the
    // window's property, a second one would pass the messages on to itself without end; in a
    // control's WindowProc chain it would take the property from the first one and paint over
    // it. The new adapter stays detached and does nothing.
    Adapter->Destroyed = true;
    return;
  }
  SetPropA(Handle, acAdapterPropName, reinterpret_cast<HANDLE>(Adapter));
  if (Target == nullptr) {
    Adapter->ObjectInstance = AdapterSubclassProc;
    Adapter->OldWndProc = acSubclassWindow(Handle, &AdapterSubclassProc, AdapterBypassProp);
  } else {
    Adapter->OldProc = Target->WindowProc();
    Adapter->FHookedControl = Target;
    Target->SetWindowProc([Adapter](TMessage& M) {
      try {
        const std::shared_ptr<bool> Alive = Adapter->Alive;
        HandleMessage(Adapter, M, Alive);
        if (*Alive) Adapter->AfterMessage(M);
      } catch (const TacAdapterFreed&) {
        // The adapter went while the message was passed on: its handling ends here.
      }
    });
  }
}

void UnhookAdapterWndProc(HWND Handle, bool FreeAdapter, bool Repaint, TacMainWnd*& Adapter,
                          void (*Detach)(TacMainWnd*)) {
  if (Adapter == nullptr) return;
  if (!Adapter->Destroyed) {
    Adapter->StopInputTracking();
    Adapter->PutBackProcedure();
    RemovePropA(Handle, acAdapterPropName);
    Adapter->GiveWindowBack();
    if (Detach != nullptr) Detach(Adapter);
    if (IsWindowVisible(Handle)) RefreshWindowFrame(Handle, Repaint);
    Adapter->Destroyed = true;
  }
  if (FreeAdapter) {
    Adapter->OldWndProc = nullptr;
    Adapter->OldProc = nullptr;
    delete Adapter;
    Adapter = nullptr;
  }
}

TacMainWnd* GetWndAdapter(HWND Handle) {
  if (Handle == nullptr) return nullptr;
  return reinterpret_cast<TacMainWnd*>(GetPropA(Handle, acAdapterPropName));
}

LRESULT CallOldWndProc(TacMainWnd* Adapter, HWND Handle, UINT Msg, WPARAM WParam, LPARAM& LParam) {
  if (Adapter == nullptr) return 0;
  const std::shared_ptr<bool> Alive = Adapter->Alive;
  LRESULT Result = 0;
  if (Adapter->OldProc) {
    TMessage M{Msg, WParam, LParam, 0};
    TWndMethod Proc = Adapter->OldProc;  // the adapter may detach while the message runs
    Proc(M);
    LParam = M.LParam;
    Result = M.Result;
  } else if (Adapter->OldWndProc != nullptr) {
    Result = CallWindowProcW(Adapter->OldWndProc, Handle, Msg, WParam, LParam);
  }
  if (!*Alive) throw TacAdapterFreed{};
  return Result;
}

bool PassOnWithoutRedraw(TacMainWnd* Adapter, const std::function<void()>& PassOn) {
  const HWND Wnd = Adapter->CtrlHandle;
  const std::shared_ptr<bool> Alive = Adapter->Alive;
  bool Back = false;
  SendMessageW(Wnd, WM_SETREDRAW, 0, 0);
  TScopeExit Redraw([&] {
    if (!IsWindow(Wnd)) return;
    SendMessageW(Wnd, WM_SETREDRAW, 1, 0);
    if (!Back) RedrawWindow(Wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  });
  try {
    PassOn();
  } catch (const TacAdapterFreed&) {
    return false;
  }
  Back = *Alive;
  return Back;
}

void RefreshWindowFrame(HWND Handle, bool Full) {
  if (Full)
    SetWindowPos(Handle, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  else
    SendMessageW(Handle, WM_NCPAINT, 1, 0);
}

void GetWndRects(HWND Handle, HWND& ParentWnd, TRect& WndRect, const AnsiString& /*Text*/, TPoint& WndPos,
                 TSize& WndSize, TRect& ParentRect) {
  RECT R{};
  GetWindowRect(Handle, &R);
  WndRect = TRect(R.left, R.top, R.right, R.bottom);
  ParentWnd = GetParent(Handle);
  RECT P{};
  if (ParentWnd != nullptr) GetWindowRect(ParentWnd, &P);
  ParentRect = TRect(P.left, P.top, P.right, P.bottom);
  WndSize = TSize{R.right - R.left, R.bottom - R.top};
  POINT Pt{R.left, R.top};
  if (ParentWnd != nullptr) ScreenToClient(ParentWnd, &Pt);
  WndPos = TPoint(Pt.x, Pt.y);
}

void GetWndRects(TacMainWnd* Adapter) {
  if (Adapter == nullptr) return;
  GetWndRects(Adapter->CtrlHandle, Adapter->ParentWnd, Adapter->WndRect, "", Adapter->WndPos, Adapter->WndSize,
              Adapter->ParentRect);
}

void PrepareWindowCache(TsCommonData* SkinData, HWND Handle, bool FramedOnly) {
  if (SkinData == nullptr || !SkinData->BackgroundStale || Handle == nullptr) return;
  RECT WR{};
  GetWindowRect(Handle, &WR);
  TCacheInfo CI;
  GetParentCacheOfWindow(Handle, CI);
  SkinData->PrepareCacheBmp();
  TBitmap* Bmp = SkinData->CacheBmp();
  const int W = WR.right - WR.left, H = WR.bottom - WR.top;
  Bmp->SetSize(std::max(W, 0), std::max(H, 0));
  TsSkinManager* Def = TsSkinManager::DefaultManager();
  if (!FramedOnly || Def == nullptr || !Def->SkinData()->HasBorderColor()) {
    HWND Parent = GetParent(Handle);
    if (Parent == nullptr) return;
    POINT Pt{WR.left, WR.top};
    if (!ScreenToClient(Parent, &Pt)) return;
    TsSkinManager* Manager = SkinData->GetSkinManager();
    if (Manager != nullptr && Manager->IsValidSectionIndex(SkinData->SectionIndex)) {
      const bool Hot = SkinData->FocusedFlag || SkinData->MouseOver;
      PaintControlSkin(SkinData, CI, true, Hot ? 1 : 0, TRect(0, 0, W, H), TPoint(Pt.x, Pt.y), Bmp);
    }
  } else {
    HDC DC = Bmp->Canvas()->Handle();
    FillRectSolid(DC, TRect(0, 0, W, H), ColorToRGB(clWindow));
    HBRUSH Brush = CreateSolidBrush(static_cast<COLORREF>(Def->SkinData()->BorderColor));
    RECT Frame{0, 0, W, H};
    FrameRect(DC, &Frame, Brush);
    DeleteObject(Brush);
  }
  if (TControl* Owner = SkinData->OwnerControl(); Owner != nullptr && !Owner->Enabled()) {
    SendSkinCommand(Handle, AC_BEFOREDISABLEDBLEND, 0);
    TCacheInfo PCI;
    SkinData->GetParentCacheInfo(PCI);
    ApplyDisabledKind(Bmp, TsDisabledKind{dkBlended}, Owner->Parent(), PCI, TPoint(Owner->Left(), Owner->Top()));
  }
  SkinData->BackgroundStale = false;
}

void FillBorderCorners(TsCommonData* SkinData, int State, TacMainWnd* Adapter) {
  if (SkinData == nullptr || Adapter == nullptr || Adapter->DlgMode) return;
  TsSkinManager* Manager = SkinData->GetSkinManager();
  if (Manager == nullptr || !Manager->IsValidMaskIndex(SkinData->BorderMaskIndex)) return;
  TBitmap* Cache = SkinData->CacheBmp();
  if (Cache == nullptr || Adapter->WndSize.cx < 2 || Adapter->WndSize.cy < 2) return;
  TCacheInfo CI;
  GetParentCacheOfWindow(Adapter->CtrlHandle, CI);
  TColor Fill = clKeyColor;
  if (CI.Bmp == nullptr) {
    Fill = ColorToRGB(CI.FillColor);
  } else {
    CI.X += Adapter->WndPos.X;
    CI.Y += Adapter->WndPos.Y;
  }
  const TsMaskData& Mask = Manager->Masks()[static_cast<std::size_t>(SkinData->BorderMaskIndex)];
  TRect MR = Mask.R;
  int Count = Mask.ImageCount, MType = Mask.MaskType;
  if (Mask.Bmp && Count == 0) {
    Count = 3;
    MType = 1;
    MR = TRect(0, 0, Mask.Bmp->Width(), Mask.Bmp->Height());
  }
  if (Count <= 0) return;
  State = std::clamp(State, 0, Count - 1);
  const int FW = (MR.Right - MR.Left) / Count, FH = (MR.Bottom - MR.Top) / (MType + 1);
  const int FL = MR.Left + (MR.Right - MR.Left) * State / Count, FT = MR.Top;
  TBitmap* Src = Mask.Bmp ? Mask.Bmp.get() : Manager->MasterBitmap();
  if (Src == nullptr) return;
  TacFast24 SrcPx, DstPx, ParPx;
  TacFast32 Par32;
  if (!SrcPx.Attach(Src) || !DstPx.Attach(Cache)) return;
  bool Par24 = false, Par32ok = false;
  if (CI.Bmp != nullptr) {
    Par24 = ParPx.Attach(CI.Bmp);
    if (!Par24 && MType >= 1) Par32ok = Par32.Attach(CI.Bmp);
    if (!Par24 && !Par32ok) return;
  } else if (Fill == clKeyColor) {
    return;
  }
  const int WL = Mask.WL, WT = Mask.WT, WR = Mask.WR, WB = Mask.WB;
  auto Corner = [&](int SX, int SY, int DX, int DY, int CW, int CH) {
    for (int y = 0; y < CH; ++y)
      for (int x = 0; x < CW; ++x) {
        const int sx = SX + x, sy = SY + y, dx = DX + x, dy = DY + y;
        if (sx < 0 || sy < 0 || sx >= SrcPx.Width() || sy >= SrcPx.Height()) continue;
        if (dx < 0 || dy < 0 || dx >= DstPx.Width() || dy >= DstPx.Height()) continue;
        if ((SrcPx.GetPixel(sx, sy) & 0xFFFFFF) != clKeyColor) continue;
        TColor C = Fill;
        if (CI.Bmp != nullptr) {
          const int px = CI.X + dx, py = CI.Y + dy;
          if (Par24) {
            if (px < 0 || py < 0 || px >= ParPx.Width() || py >= ParPx.Height()) continue;
            C = ParPx.GetPixel(px, py);
          } else {
            if (px < 0 || py < 0 || px >= Par32.Width() || py >= Par32.Height()) continue;
            C = Par32.GetPixel(px, py);
          }
        }
        DstPx.SetPixel(dx, dy, C & 0xFFFFFF);
      }
  };
  const int W = Adapter->WndSize.cx, H = Adapter->WndSize.cy;
  Corner(FL, FT, 0, 0, WL, WT);
  Corner(FL + FW - WR, FT, W - WR, 0, WR, WT);
  Corner(FL, FT + FH - WB, 0, H - WB, WL, WB);
  Corner(FL + FW - WR, FT + FH - WB, W - WR, H - WB, WR, WB);
}

void BroadcastToChildren(TControl* Control, HWND Handle, TMessage& Message) {
  if (auto* WC = dynamic_cast<TWinControl*>(Control))
    BroadcastSkinCommand(WC, Message);
  else if (Control == nullptr && Handle != nullptr)
    BroadcastToChildWindows(Handle, Message);
}

void NotifyTopParentLoaded(HWND Handle) {
  HWND Top = Handle;
  while (Top != nullptr) {
    HWND P = GetParent(Top);
    if (P == nullptr) break;
    Top = P;
  }
  if (Top != nullptr) SendSkinCommand(Top, AC_CONTROLLOADED, 0);
}

bool BorderMaskHasStates(TsCommonData* SkinData) {
  if (SkinData == nullptr) return false;
  TsSkinManager* Manager = SkinData->GetSkinManager();
  if (Manager == nullptr || !Manager->IsValidSectionIndex(SkinData->SectionIndex) ||
      !Manager->IsValidMaskIndex(SkinData->BorderMaskIndex))
    return false;
  return Manager->Masks()[static_cast<std::size_t>(SkinData->BorderMaskIndex)].ImageCount > 1;
}

bool ResumeUpdating(TsCommonData* SkinData, HWND Handle, UINT RedrawFlags) {
  if (!SkinData->Updating) return false;
  SkinData->Updating = false;
  SkinData->Updating = SkinData->GetUpdating();
  if (!SkinData->Updating) RedrawWindow(Handle, nullptr, nullptr, RedrawFlags);
  return true;
}

void SetOrdPropIfExists(TObject* Obj, const AnsiString& PropName, int Value) {
  if (Obj != nullptr && HasProperty(Obj, PropName)) SetOrdPropByName(Obj, PropName, Value);
}

TColor GetColorPropIfExists(TObject* Obj, const AnsiString& PropName) {
  if (Obj != nullptr && HasProperty(Obj, PropName)) return ColorToRGB(static_cast<TColor>(GetOrdPropByName(Obj, PropName)));
  return clKeyColor;
}

TWinControl* FindWinControlByHandle(HWND Handle, TComponent* Owner) {
  if (Owner == nullptr || Handle == nullptr) return nullptr;
  for (int i = 0; i < Owner->ComponentCount(); ++i) {
    TComponent* C = Owner->Components(i);
    if (auto* WC = dynamic_cast<TWinControl*>(C); WC != nullptr && WC->HandleAllocated() && WC->Handle() == Handle)
      return WC;
    if (TWinControl* Found = FindWinControlByHandle(Handle, C)) return Found;
  }
  return nullptr;
}

// ---- painting helpers of the adapters ------------------------------------------------------------

TBitmap* SizedCache(TsCommonData* SkinData, const TSize& Size) {
  SkinData->PrepareCacheBmp();
  TBitmap* Bmp = SkinData->CacheBmp();
  Bmp->SetSize(std::max(0, static_cast<int>(Size.cx)), std::max(0, static_cast<int>(Size.cy)));
  return Bmp;
}

TBitmap* BeginWindowCache(TacMainWnd* Adapter, TCacheInfo& CI) {
  GetWndRects(Adapter);
  GetParentCacheOfWindow(Adapter->CtrlHandle, CI);
  return SizedCache(Adapter->SkinData, Adapter->WndSize);
}

bool SkinnedUnderActiveManager(TsCommonData* SkinData) {
  if (SkinData == nullptr || !SkinData->IsSkinned(false)) return false;
  TsSkinManager* M = SkinData->GetSkinManager();
  return M != nullptr && M->Active();
}

bool SentByManager(const TMessage& Message, const TsSkinManager* M) {
  return M != nullptr && Message.LParam == reinterpret_cast<LPARAM>(M);
}

void TakeNewSkin(TsCommonData* SkinData) {
  SkinData->UpdateIndexes();
  SkinData->BackgroundStale = true;
}

TSize WindowClientSize(HWND Wnd) {
  RECT R{};
  GetClientRect(Wnd, &R);
  return TSize{R.right - R.left, R.bottom - R.top};
}

namespace {
// The window whose own paint is beginning.
HWND OwnPaintWnd = nullptr;
}  // namespace

HDC BeginOwnPaint(HWND Wnd, PAINTSTRUCT* PS) {
  HWND Outer = OwnPaintWnd;
  OwnPaintWnd = Wnd;
  TScopeExit Restore([Outer] { OwnPaintWnd = Outer; });
  return BeginPaint(Wnd, PS);
}

void ValidateWithoutPainting(HWND Wnd) {
  PAINTSTRUCT PS{};
  BeginOwnPaint(Wnd, &PS);
  EndPaint(Wnd, &PS);
}

void RepaintThroughErase(HWND Wnd) {
  InvalidateRect(Wnd, nullptr, TRUE);
  ValidateWithoutPainting(Wnd);
}

TBitmap& KeptBitmap(std::unique_ptr<TBitmap>& Kept, int W, int H) {
  if (!Kept)
    Kept = std::make_unique<TBitmap>(W, H, pf24bit);
  else if (Kept->Width() != W || Kept->Height() != H)
    Kept->SetSizeDiscarding(W, H);
  return *Kept;
}

void AddPixels(TacPictureKey& Key, const TCacheInfo& Parent, TPoint Pos, TSize Size) {
  auto& N = Key.Numbers;
  N.insert(N.end(), {reinterpret_cast<long long>(Parent.Bmp), Parent.X, Parent.Y, static_cast<long long>(Parent.FillColor)});
  TBitmap* B = Parent.Bmp;
  if (B == nullptr || B->Empty() || (B->PixelFormat() != pf24bit && B->PixelFormat() != pf32bit)) return;
  GdiFlush();
  const int Bytes = B->PixelFormat() == pf32bit ? 4 : 3;
  const int X0 = std::clamp(Parent.X + Pos.X, 0, B->Width()), X1 = std::clamp(Parent.X + Pos.X + Size.cx, 0, B->Width());
  const int Y0 = std::clamp(Parent.Y + Pos.Y, 0, B->Height()), Y1 = std::clamp(Parent.Y + Pos.Y + Size.cy, 0, B->Height());
  // The rows' bytes, eight at a time, each word mixed into the hash.
  std::uint64_t H = 1469598103934665603ull;
  auto Mix = [&H](std::uint64_t W) {
    H = (H ^ W) * 0x9E3779B97F4A7C15ull;
    H ^= H >> 29;
  };
  const std::size_t RowBytes = static_cast<std::size_t>(X1 - X0) * static_cast<std::size_t>(Bytes);
  for (int Y = Y0; Y < Y1; ++Y) {
    const auto* Row = static_cast<const unsigned char*>(B->ScanLine(Y)) + static_cast<std::size_t>(X0) * Bytes;
    std::size_t I = 0;
    for (; I + 8 <= RowBytes; I += 8) {
      std::uint64_t W;
      std::memcpy(&W, Row + I, 8);
      Mix(W);
    }
    std::uint64_t Tail = 0;
    std::memcpy(&Tail, Row + I, RowBytes - I);
    Mix(Tail ^ (static_cast<std::uint64_t>(Y) << 56));
  }
  N.push_back(static_cast<long long>(H));
}

void AddImagePixels(TacPictureKey& Key, HIMAGELIST List, int Index, std::unique_ptr<TBitmap>& Work) {
  int W = 0, H = 0;
  if (List == nullptr || Index < 0 || Index >= ImageList_GetImageCount(List) || !ImageList_GetIconSize(List, &W, &H) ||
      W <= 0 || H <= 0) {
    Key.Numbers.push_back(-1);
    return;
  }
  TBitmap& B = KeptBitmap(Work, W, H);
  FillRectSolid(B.Canvas()->Handle(), TRect(0, 0, W, H), clKeyColor);
  ImageList_Draw(List, Index, B.Canvas()->Handle(), 0, 0, ILD_NORMAL);
  AddPixels(Key, MakeCacheInfo(&B), TPoint(0, 0), TSize{W, H});
}

void AddImagePixels(TacPictureKey& Key, TCustomImageList* List, int Index, std::unique_ptr<TBitmap>& Work) {
  AddImagePixels(Key, List != nullptr && List->HandleAllocated() ? List->Handle() : nullptr, Index, Work);
}

void AddSkin(TacPictureKey& Key, const TsSkinManager* Manager) {
  Key.Numbers.insert(Key.Numbers.end(), {reinterpret_cast<long long>(Manager),
                                         Manager != nullptr ? static_cast<long long>(Manager->LoadCount()) : -1});
}

void AddFont(TacPictureKey& Key, TFont* F) {
  if (F == nullptr) return;
  Key.Numbers.insert(Key.Numbers.end(), {F->Height(), static_cast<long long>(F->Color()), static_cast<long long>(F->Charset()),
                                         static_cast<long long>(F->Style().ToBits()), static_cast<long long>(F->Pitch())});
  Key.Texts.push_back(AnsiToWide(F->Name()));
}

void AddOwnerFont(TacPictureKey& Key, TControl* Owner) {
  if (Owner != nullptr) AddFont(Key, Owner->Font());
}

bool TacKeptPicture::Keep(TacPictureKey Now) {
  if (!Stale && Now == Key) return true;
  Key = std::move(Now);
  Stale = false;
  return false;
}

bool ChangesPicture(const TMessage& Message) {
  switch (Message.Msg) {
    case SM_ALPHACMD:
      switch (AlphaCmdCode(Message.WParam)) {
        case AC_GETPROVIDER: case AC_ISSKINNED: case AC_ISBUSY: case AC_GETCOLOR: case AC_GETSECTION:
        case AC_GETCAPTIONHEIGHT: case AC_GETBACKGROUND: case AC_GETAPPLICATION: case AC_GETCLIENTOFFSET:
        case AC_ISPARENTDEPENDENT: case AC_CHILDPAINT: case AC_NOTPAINTED: case AC_MOUSEENTER: case AC_MOUSELEAVE:
        // The parent's new picture: the key holds the pixels under the window.
        case AC_REFRESHIFSKINNED:
          return false;
        default:
          return true;
      }
    case WM_SETFONT:
    case WM_STYLECHANGED:
    case WM_ENABLE:
    case WM_SETTEXT:
      return true;
    default:
      return false;
  }
}

bool ChangesControl(const TMessage& Message, UINT First, std::initializer_list<UINT> Questions) {
  if (ChangesPicture(Message)) return true;
  if (Message.Msg < First || Message.Msg >= First + 0x80) return false;
  return std::find(Questions.begin(), Questions.end(), Message.Msg) == Questions.end();
}

bool ErasedBeforeItsPaint(HWND Wnd, HDC DC) {
  // The system erases only a window that has a part to paint: its paint follows.
  return Wnd != OwnPaintWnd && DC != nullptr && WindowFromDC(DC) == Wnd;
}

void TakeWindowFont(TCanvas* Canvas, HWND Wnd) {
  HFONT F = reinterpret_cast<HFONT>(SendMessageW(Wnd, WM_GETFONT, 0, 0));
  if (F == nullptr) F = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  LOGFONTW LF{};
  if (GetObjectW(F, sizeof(LF), &LF) != 0) Canvas->Font()->SetHandle(CreateFontIndirectW(&LF));
}
