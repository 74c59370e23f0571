// The menu painter: measuring and painting of menu items.
#include <cmath>
#include <cstring>

#include "skin/forms/sSkinMenus.h"

#include "skin/controls/acScrollAdapters.h"
#include "skin/core/sConst.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sMessages.h"
#include "skin/core/sPaintUtils.h"
#include "skin/core/sSectionPaint.h"
#include "skin/core/sVclUtils.h"

TacMenuLineLink acMenuLineLink;

namespace {

constexpr UINT WM_SKINPOPUPMENU = 0xBCB3;

// Guards the extra-line query of MeasureMenuItem against re-entry.
bool MeasureQueryRunning = false;


bool IsItemDestroying(TMenuItem* Item) { return Item->IsDestroying(); }

bool IsHot(TMenuItem* Item, TOwnerDrawState State) {
  return Item->Enabled() && (State.Contains(odSelected) || State.Contains(odHotLight));
}

// The text size of DrawText with DT_CALCRECT.
TSize CalcText(TCanvas* C, const WideString& Text, UINT Flags) {
  C->TextExtent(WideString());  // selects the canvas's font into its DC
  RECT R{0, 0, 1, 0};
  DrawTextW(C->Handle(), Text.c_str(), static_cast<int>(Text.size()), &R, Flags | DT_CALCRECT);
  return TSize{R.right - R.left, R.bottom - R.top};
}

// The first word of a title caption ("--Word--" -> "Word").
WideString TitleText(const WideString& Caption) {
  std::size_t B = Caption.find_first_not_of(L'-');
  if (B == WideString::npos) return WideString();
  std::size_t E = Caption.find(L'-', B);
  return Caption.substr(B, E == WideString::npos ? WideString::npos : E - B);
}

// A work bitmap that is freed on every way out.
using TWorkBmp = std::unique_ptr<TBitmap>;

// Adds Entry as the newest of a few kept ones, dropping the oldest when there are many.
template <class T>
void KeepNewest(std::vector<T>& Kept, T Entry) {
  if (Kept.size() >= 32) Kept.erase(Kept.begin());
  Kept.push_back(std::move(Entry));
}

// A 24-bit picture of Width x Height from its rows, top row first, to (X, Y) of DC.
void DrawRows(HDC DC, int X, int Y, int Width, int Height, const std::vector<unsigned char>& Rows) {
  const BITMAPINFO Info = TopDownDibInfo(Width, Height, 24);
  StretchDIBits(DC, X, Y, Width, Height, 0, 0, Width, Height, Rows.data(), &Info, DIB_RGB_COLORS, SRCCOPY);
}

// The rows of a 24-bit bitmap, top row first, each padded to four bytes as a device-independent
// bitmap's are.
std::vector<unsigned char> RowsOf(TBitmap* Bmp) {
  GdiFlush();
  const std::size_t Line = static_cast<std::size_t>(Bmp->Width()) * 3, Stride = (Line + 3) & ~std::size_t{3};
  std::vector<unsigned char> Rows(Stride * static_cast<std::size_t>(Bmp->Height()));
  for (int Y = 0; Y < Bmp->Height(); ++Y)
    std::memcpy(Rows.data() + Stride * static_cast<std::size_t>(Y), Bmp->ScanLine(Y), Line);
  return Rows;
}

TCacheInfo NoBackground() {
  TCacheInfo CI;
  CI.FillColor = clKeyColor;
  return CI;
}

// Where the menu window's client area lies inside the window, and so inside the frame image: item
// rectangles are client coordinates. A system that draws the menu's border in the non-client area
// puts the client area 3 pixels in (and its items at the client's edge); one that draws the border
// inside the client area has the client area fill the window and puts its items 3 pixels in.
// Everything taken from or put into the frame image goes through this offset, so the items and
// the frame strips meet the frame image where the system placed them. Without a window (painting
// into a memory bitmap) the items are placed as in the first case.
TPoint MenuClientOffset(HWND Wnd) {
  if (Wnd == nullptr) return TPoint{3, 3};
  RECT WR{};
  POINT O{0, 0};
  if (!GetWindowRect(Wnd, &WR) || !ClientToScreen(Wnd, &O)) return TPoint{3, 3};
  return TPoint{O.x - WR.left, O.y - WR.top};
}

// The window glyphs of the system menu's standard items (minimize, maximize, restore, close),
// drawn as lines in a square of WindowGlyphSize pixels at (L, T); nothing for other commands. They
// are drawn rather than taken from a symbol font, which a system need not have.
constexpr int WindowGlyphSize = 10;

void DrawWindowCommandGlyph(HDC DC, int Command, int L, int T, COLORREF C) {
  constexpr int S = WindowGlyphSize;
  auto Fill = [&](int X1, int Y1, int X2, int Y2) { FillRectSolid(DC, TRect{L + X1, T + Y1, L + X2, T + Y2}, C); };
  auto Box = [&](int X1, int Y1, int X2, int Y2) {
    Fill(X1, Y1, X2, Y1 + 2);  // a window's title: two pixels
    Fill(X1, Y2 - 1, X2, Y2);
    Fill(X1, Y1, X1 + 1, Y2);
    Fill(X2 - 1, Y1, X2, Y2);
  };
  switch (Command) {
    case SC_MINIMIZE:
      Fill(1, S - 2, S - 1, S);
      break;
    case SC_MAXIMIZE:
      Box(0, 0, S, S);
      break;
    case SC_RESTORE:
      // The window behind: its title and right side where the front one leaves them.
      Fill(3, 0, S, 2);
      Fill(S - 1, 0, S, S - 3);
      Fill(S - 3, S - 4, S, S - 3);
      Box(0, 3, S - 3, S);
      break;
    case SC_CLOSE:
      // Two diagonals, two pixels wide.
      for (int I = 0; I < S - 1; ++I) {
        Fill(I, I, I + 2, I + 1);
        Fill(S - 2 - I, I, S - I, I + 1);
      }
      break;
    default:
      break;
  }
}

HWND MenuWindowOf(TCanvas* C) {
  HWND Wnd = C != nullptr ? WindowFromDC(C->Handle()) : nullptr;
  return Wnd != nullptr && IsWindow(Wnd) ? Wnd : nullptr;
}

}  // namespace

// ---- measuring ------------------------------------------------------------------------------------------

int TsSkinableMenus::MenuItemHeight(TCanvas* ACanvas, TMenuItem* Item) {
  if (Item == nullptr || ACanvas == nullptr) return 0;
  if (Item->Caption() == L"-") return 2;
  SetMenuFont(ACanvas, Item);
  const int H = static_cast<int>(std::lround(ACanvas->TextHeight(L"W") * 1.25));
  if (IsCaptionItem(Item)) return H + 2 * FMargin;
  return std::max(GetGlyphSize(Item, false).Y, H) + 2 * FMargin;
}

int TsSkinableMenus::MenuHeight(TCanvas* ACanvas, TMenuItem* Item) {
  TMenuItem* P = Item != nullptr ? Item->Parent() : nullptr;
  if (P == nullptr) return 0;
  int Best = 0, Column = 0;
  for (int I = 0; I < P->Count(); ++I) {
    TMenuItem* It = P->Items(I);
    if (!It->Visible()) continue;
    if (It->Break() != mbNone) {
      Best = std::max(Best, Column);
      Column = 0;
    }
    Column += MenuItemHeight(ACanvas, It);
  }
  return std::max(Best, Column);
}

int TsSkinableMenus::MenuWidth(TCanvas* ACanvas, TMenuItem* Item) {
  TMenuItem* P = Item != nullptr ? Item->Parent() : nullptr;
  if (P == nullptr) return 0;
  int Largest = 0, Result = 0;
  for (int I = 0; I < P->Count(); ++I) {
    TMenuItem* It = P->Items(I);
    if (!It->Visible()) continue;
    if (It->Break() != mbNone) {
      Result += Largest + 4;
      Largest = 0;
    }
    int W = 0, H = 0;
    MeasureMenuItem(It, ACanvas, W, H);
    Largest = std::max(Largest, W);
  }
  return Result + Largest;
}

void TsSkinableMenus::MeasureMenuItem(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height) {
  auto* Item = dynamic_cast<TMenuItem*>(Sender);
  if (Item == nullptr || ACanvas == nullptr || FSkinManager == nullptr || IsItemDestroying(Item)) return;
  MenusMeasured = true;
  TacMenuInfo Info;
  GetMenuInfo(Item, 0, 0, nullptr, Info);
  const bool Divider = Item->Caption() == L"-";
  const bool Title = IsCaptionItem(Item);
  CurrentItemType = Divider ? smDivider : (Title ? smCaption : smNormal);
  if (Info.FirstItem == nullptr) {
    TMenuItem* P = Item->Parent();
    Info.FirstItem = P != nullptr && P->Count() > 0 ? P->Items(0) : Item;
    if (!MeasureQueryRunning && !(FSkinManager != nullptr && FSkinManager->IsDesigning())) {
      MeasureQueryRunning = true;
      try {
        Info.ExtraLine = QueryExtraLine(Info.FirstItem);
      } catch (...) {
        MeasureQueryRunning = false;
        throw;
      }
      MeasureQueryRunning = false;
    } else {
      Info.ExtraLine = false;
    }
  }
  SetMenuFont(ACanvas, Item);
  if (Item->Default()) ACanvas->Font()->SetStyle(ACanvas->Font()->Style() + fsBold);
  WideString Text;
  if (Title)
    Text = L"-" + Item->Caption() + L"-";
  else if (!Divider)
    Text = Item->Caption() + ShortCutToText(Item->ShortCut());
  const TSize T = CalcText(ACanvas, Text, DT_EXPANDTABS | DT_SINGLELINE | DT_NOCLIP);
  Width = 2 * GetGlyphSize(Item, false).X + T.cx + 3 * FMargin + FSpacing;
  if (Info.ExtraLine && !ItemAfterBreak(Item)) Width += ExtraLineWidthOf(Info);
  Height = MenuItemHeight(ACanvas, Item);
}

void TsSkinableMenus::MenuItemMeasure(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height) {
  auto* Item = dynamic_cast<TMenuItem*>(Sender);
  if (Item == nullptr || ACanvas == nullptr || FSkinManager == nullptr) return;
  Height = KeptSystemMetric(SM_CYMENU) - 1;
  WideString C = Item->Caption();
  C.erase(std::remove(C.begin(), C.end(), L'&'), C.end());
  TacPictureKey Key;
  AddMenuFont(Key, Item);
  Key.Texts.push_back(C);
  auto Known = std::find_if(FLineWidths.begin(), FLineWidths.end(), [&Key](const TLineWidth& E) { return E.Key == Key; });
  if (Known != FLineWidths.end()) {
    Width = Known->Width;
  } else {
    SetMenuFont(ACanvas, Item);
    Width = ACanvas->TextWidth(C);
    KeepNewest(FLineWidths, TLineWidth{std::move(Key), Width});
  }
  TMenu* M = Item->GetParentMenu();
  if (M != nullptr && M->Images() != nullptr && Item->ImageIndex() > -1) Width += M->Images()->Width() + 6;
}

// ---- painting popup items ------------------------------------------------------------------------------------

void TsSkinableMenus::PaintMenuItem(TObject* Sender, TCanvas* ACanvas, const TRect& R, TOwnerDrawState State) {
  auto* Item = dynamic_cast<TMenuItem*>(Sender);
  if (Item == nullptr || ACanvas == nullptr || FSkinManager == nullptr || !FSkinManager->Active()) return;
  // A skinned popup is on screen: the popup-window adapters take over its frame.
  acSkinnedMenuShown = true;
  TsSkinManager* M = FSkinManager;
  const int X = ItemAfterBreak(Item) ? 0 : 1;
  // The popup window and its size.
  HWND Wnd = MenuWindowOf(ACanvas);
  const TPoint O = MenuClientOffset(Wnd);
  int WndW = 0, WndH = 0;
  if (Wnd != nullptr) {
    RECT WR{};
    GetWindowRect(Wnd, &WR);
    WndW = WR.right - WR.left;
    WndH = WR.bottom - WR.top;
  } else {
    std::unique_ptr<TBitmap> Probe(CreateBmp24(1, 1));
    WndW = MenuWidth(Probe->Canvas(), Item) + 2 * FBorderWidth;
    WndH = MenuHeight(Probe->Canvas(), Item) + 2 * FBorderWidth;
  }
  TacMenuInfo Info;
  GetMenuInfo(Item, WndW, WndH, Wnd, Info);
  TBitmap* FrameBmp = Info.Bmp;
  const int E = ExtraLineWidthOf(Info) * X;
  const int RW = R.Right - R.Left, RH = R.Bottom - R.Top;
  // The frame strips around the item.
  if (Wnd != nullptr && FrameBmp != nullptr && !FrameBmp->Empty()) {
    HDC WDC = GetWindowDC(Wnd);
    HDC FDC = FrameBmp->Canvas()->Handle();
    const int FW = FrameBmp->Width(), FH = FrameBmp->Height(), BW = FBorderWidth;
    // The strips reach from the window's edges to the item, wherever the system put it.
    if (IsFirstVisibleItem(Item)) BitBlt(WDC, 0, 0, FW, std::max(BW, O.Y + R.Top), FDC, 0, 0, SRCCOPY);
    if (IsLastVisibleItem(Item)) {
      const int Top = std::min(FH - BW, O.Y + R.Bottom);
      BitBlt(WDC, 0, Top, FW, FH - Top, FDC, 0, Top, SRCCOPY);
    }
    const int LW = std::max(SkinBorderWidth(), BW) + E;
    BitBlt(WDC, 0, O.Y + R.Top, LW, RH, FDC, 0, O.Y + R.Top, SRCCOPY);
    BitBlt(WDC, FW - BW, O.Y + R.Top, BW, RH, FDC, FW - BW, O.Y + R.Top, SRCCOPY);
    ReleaseDC(Wnd, WDC);
  } else if (Wnd == nullptr && Application != nullptr) {
    // The window is not known yet: the manager's application hook skins it once it shows. The
    // hook finds the window through the menu, so only items of pop-up menus are posted.
    auto* PM = dynamic_cast<TPopupMenu*>(Item->GetParentMenu());
    MSG Pending;
    if (PM != nullptr && !PeekMessageW(&Pending, Application->Handle(), WM_SKINPOPUPMENU, WM_SKINPOPUPMENU + 1,
                                       PM_NOREMOVE))
      PostMessageW(Application->Handle(), WM_SKINPOPUPMENU, 0, reinterpret_cast<LPARAM>(PM));
  }
  MenuItemPainted(Wnd);
  if (Item->Caption() == L"-") {
    CurrentItemType = smDivider;
    PaintDivider(ACanvas, R, Info, FrameBmp, Item);
    return;
  }
  if (IsCaptionItem(Item)) {
    CurrentItemType = smCaption;
    PaintCaptionItem(ACanvas, R, Info, FrameBmp, Item);
    return;
  }
  CurrentItemType = smNormal;
  if (FrameBmp == nullptr) return;
  HDC CDC = ACanvas->Handle();
  HDC FDC = FrameBmp->Canvas()->Handle();
  const int FH = FrameBmp->Height();
  // Column gaps.
  TMenuItem* P = Item->Parent();
  const int Index = P != nullptr ? P->IndexOf(Item) : -1;
  const bool NextBreaks = P != nullptr && Index + 1 < P->Count() && P->Items(Index + 1)->Break() != mbNone;
  const bool Last = P != nullptr && Index == P->Count() - 1;
  // The bottom of the items' area in client coordinates.
  const int AreaBottom = FH - 3 - O.Y;
  if ((NextBreaks || (Last && AreaBottom > R.Bottom)) && AreaBottom > R.Bottom)
    BitBlt(CDC, R.Left, R.Bottom, RW, AreaBottom - R.Bottom, FDC, R.Left + O.X, R.Bottom + O.Y, SRCCOPY);
  if (Item->Break() != mbNone)
    BitBlt(CDC, R.Left - 4, R.Top, 4, AreaBottom, FDC, R.Left - 4 + O.X, R.Top + O.Y, SRCCOPY);
  // The work bitmap.
  const int WW = std::max(RW - E, 0), WH = std::max(RH, 0);
  if (WW == 0 || WH == 0) return;
  TWorkBmp Work(CreateBmp24(WW, WH));
  TCanvas* WC = Work->Canvas();
  const bool Hot = IsHot(Item, State);
  const int ItemSection = M->GetSectionIndex("MENUITEM");
  // Background over the frame image.
  BitBlt(WC->Handle(), 0, 0, WW, WH, FDC, R.Left + E + O.X, R.Top + O.Y, SRCCOPY);
  if (M->IsValidSectionIndex(ItemSection))
    PaintSectionWithCorners(ItemSection, "MENUITEM", MakeCacheInfo(FrameBmp, R.Left + E + O.X, R.Top + O.Y), false,
                            Item->Enabled() && State.Contains(odSelected) ? 1 : 0, Rect(0, 0, WW, WH),
                            TPoint{0, 0}, Work.get(), M);
  // Glyphs.
  TBitmap* ItemBmp = Item->Bitmap();
  const bool HasBmp = ItemBmp != nullptr && !ItemBmp->Empty();
  TMenu* Menu = Item->GetParentMenu();
  TCustomImageList* Images = Item->Parent() != nullptr && Item->Parent()->SubMenuImages() != nullptr
                                 ? Item->Parent()->SubMenuImages()
                                 : (Menu != nullptr ? Menu->Images() : nullptr);
  const bool HasImage = Images != nullptr && Item->ImageIndex() >= 0;
  const int CheckedSection = M->GetSectionIndex("SPEEDBUTTON_SMALL");
  const int SelState = Item->Enabled() && State.Contains(odSelected) ? 1 : 0;
  if (State.Contains(odChecked) && !HasBmp && !HasImage) {
    int Mask = M->GetOwnMaskIndex("GLOBALINFO", Item->RadioItem() ? "RADIOCHECKED" : "CHECK");
    if (!M->IsValidMaskIndex(Mask)) Mask = M->GetOwnMaskIndex("GLOBALINFO", "BOXCHECKED");
    if (M->IsValidMaskIndex(Mask)) {
      const TSize S = M->GetMaskFrameSize(Mask);
      DrawSkinGlyph(Work.get(), TPoint{FMargin, (WH - S.cy) / 2}, SelState, 1,
                    M->Masks()[static_cast<std::size_t>(Mask)], NoBackground());
    }
  }
  auto CheckedBack = [&](const TRect& G) {
    if (State.Contains(odChecked) && M->IsValidSectionIndex(CheckedSection))
      PaintSectionWithCorners(CheckedSection, "SPEEDBUTTON_SMALL", MakeCacheInfo(Work.get()), false, 2,
                              Rect(G.Left - 1, G.Top - 1, G.Right + 1, G.Bottom + 1), TPoint{0, 0}, Work.get(), M);
  };
  if (HasBmp) {
    const TPoint G = GetGlyphSize(Item, false);
    const int Top = (WH - G.Y) / 2, Left = Top;
    CheckedBack(Rect(Left, Top, Left + G.X, Top + G.Y));
    if (ItemBmp->PixelFormat() == pf32bit)
      BlendByMask(Rect(Left, Top, Left + G.X, Top + G.Y), Rect(0, 0, G.X, G.Y), Work.get(), ItemBmp,
                  NoBackground(), false);
    else
      WC->Draw(Left, Top, ItemBmp);
  } else if (HasImage) {
    const int Top = (WH - Images->Height()) / 2, Left = Top;
    CheckedBack(Rect(Left, Top, Left + Images->Width(), Top + Images->Height()));
    Images->Draw(WC, Left, Top, Item->ImageIndex(), true);
  } else if (Menu != nullptr && Menu->Name() == "SysMenu" && M->IsValidSectionIndex(ItemSection)) {
    const TsGeneralData& S = M->GeneralData()[static_cast<std::size_t>(ItemSection)];
    DrawWindowCommandGlyph(WC->Handle(), Item->Tag(), 6, (WH - WindowGlyphSize) / 2,
                           ColorToRGB(static_cast<TColor>(Hot ? S.HotFontColor[0] : S.FontColor[0])));
  }
  // Caption and shortcut.
  SetMenuFont(WC, Item);
  if (State.Contains(odDefault)) WC->Font()->SetStyle(TFontStyles{fsBold});
  TRect TR = Rect(GetGlyphSize(Item, false).X + 2 * FMargin + FSpacing, 0, WW, WH);
  WideString Caption = Item->Caption();
  UINT Flags;
  if (!Caption.empty() && Caption[0] == L'\x08') {
    Caption = Caption.substr(1) + L"      ";
    Flags = DT_RIGHT;
  } else {
    Flags = FAlignment == taRightJustify ? DT_RIGHT : (FAlignment == taCenter ? DT_CENTER : DT_LEFT);
  }
  Flags |= DT_EXPANDTABS | DT_SINGLELINE | DT_VCENTER | DT_NOCLIP;
  if (State.Contains(odNoAccel)) Flags |= DT_HIDEPREFIX;
  if (M->IsValidSectionIndex(ItemSection))
    DrawSectionText(WC, Caption.c_str(), true, TR, Flags, ItemSection, Hot, M);
  const WideString Short = ShortCutToText(Item->ShortCut());
  if (!Short.empty() && M->IsValidSectionIndex(ItemSection)) {
    const TSize S = CalcText(WC, Short, DT_EXPANDTABS | DT_SINGLELINE);
    TRect SR = Rect(WW - 8 - S.cx, 0, WW - 8, WH);
    DrawSectionText(WC, Short.c_str(), true, SR, DT_SINGLELINE | DT_VCENTER, ItemSection, Hot, M);
  }
  // The arrow of an item that opens a submenu (the system draws its own over it afterwards; the
  // item's right end goes back on the window once it has).
  const bool OpensSubmenu = Item->Count() > 0;
  if (OpensSubmenu) DrawSubmenuArrow(Work.get(), M, Hot);
  if (OnDrawItem) OnDrawItem(Item, WC, Rect(0, 0, WW, WH), State, smNormal);
  // A disabled item keeps 40 % of its painting over the frame.
  if (!Item->Enabled()) {
    std::unique_ptr<TBitmap> Under(CreateBmp24(WW, WH));
    BitBlt(Under->Canvas()->Handle(), 0, 0, WW, WH, FDC, R.Left + O.X + E, R.Top + O.Y, SRCCOPY);
    CopyBlendedWithKey(Work.get(), 0, 0, Under.get(), Rect(0, 0, WW - 1, WH - 1), 0.4, clKeyColor);
  }
  BitBlt(CDC, R.Left + E, R.Top, WW, WH, WC->Handle(), 0, 0, SRCCOPY);
  if (OpensSubmenu) KeepSubmenuArrow(Wnd, CDC, Rect(R.Left + E, R.Top, R.Right, R.Bottom), Work.get());
  // The extra-line band beside the first item.
  if (E > 0 && P != nullptr && Index == 0 && LOBYTE(LOWORD(GetVersion())) >= 6)
    BitBlt(CDC, 0, 0, E + 6 - O.X, FH, FDC, O.X, O.Y, SRCCOPY);
}

void TsSkinableMenus::PaintDivider(TCanvas* ACanvas, const TRect& R, const TacMenuInfo& Info, TBitmap* FrameBmp,
                                   TMenuItem* Item) {
  (void)Item;
  TsSkinManager* M = FSkinManager;
  const int SI = M->GetSectionIndex("DIVIDERV");
  const int Mask = M->GetMaskIndex(SI, "DIVIDERV", "BORDERSMASK");
  const int W = R.Right - R.Left, H = R.Bottom - R.Top;
  if (W <= 0 || H <= 0) return;
  if (!M->IsValidMaskIndex(Mask)) {
    TRect FR = R;
    int Width = 1;
    Draw3DFrame(ACanvas->Handle(), FR, 0x808080, Width, 0xFFFFFF);
    return;
  }
  TWorkBmp Work(CreateBmp24(W, H));
  const TPoint O = MenuClientOffset(MenuWindowOf(ACanvas));
  if (FrameBmp != nullptr)
    BitBlt(Work->Canvas()->Handle(), 0, 0, W, H, FrameBmp->Canvas()->Handle(), R.Left + O.X, R.Top + O.Y, SRCCOPY);
  const int EL = ExtraLineWidthOf(Info);
  int L = EL + FMargin + FSpacing;
  if (L < EL + GlyphColumnWidth) L = EL + GlyphColumnWidth + 2;
  DrawSkinRect(Work.get(), Rect(L, 0, W - FMargin, H), false, MakeCacheInfo(Work.get()),
               M->Masks()[static_cast<std::size_t>(Mask)], 0, false);
  BitBlt(ACanvas->Handle(), R.Left, R.Top, W, H, Work->Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TsSkinableMenus::PaintCaptionItem(TCanvas* ACanvas, const TRect& R, const TacMenuInfo& Info,
                                       TBitmap* FrameBmp, TMenuItem* Item) {
  TsSkinManager* M = FSkinManager;
  const int W = R.Right - R.Left, H = R.Bottom - R.Top;
  if (W <= 0 || H <= 0) return;
  TWorkBmp Work(CreateBmp24(W, H));
  HDC WDC = Work->Canvas()->Handle();
  const int EL = ExtraLineWidthOf(Info);
  const TPoint O = MenuClientOffset(MenuWindowOf(ACanvas));
  if (FrameBmp != nullptr) {
    HDC FDC = FrameBmp->Canvas()->Handle();
    if (EL > 0) BitBlt(WDC, 0, 0, EL + 1, H, FDC, R.Left + O.X, R.Top + O.Y, SRCCOPY);
    BltFrame(WDC, 0, 0, W, H, FDC, R.Left + O.X, R.Top + O.Y, 1);
  }
  const int SI = M->GetSectionIndex("TOOLBAR");
  if (M->IsValidSectionIndex(SI)) {
    TCacheInfo CI = FrameBmp != nullptr ? MakeCacheInfo(FrameBmp, R.Left + O.X, R.Top + O.Y) : NoBackground();
    PaintSectionWithCorners(SI, "TOOLBAR", CI, false, 0, Rect(EL + 1, 1, W - 1, H - 1), TPoint{EL + 1, 1},
                            Work.get(), M);
  }
  TCanvas* WC = Work->Canvas();
  WC->SetFont(FCaptionFont.get());
  TRect TR = Rect(EL, 0, W, H);
  const WideString Text = TitleText(Item->Caption());
  if (M->IsValidSectionIndex(SI))
    DrawSectionText(WC, Text.c_str(), true, TR, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_HIDEPREFIX, SI, false, M);
  BitBlt(ACanvas->Handle(), R.Left, R.Top, W, H, WDC, 0, 0, SRCCOPY);
}

// ---- painting top-line items -----------------------------------------------------------------------------------

void TsSkinableMenus::MenuItemAdvancedDraw(TObject* Sender, TCanvas* ACanvas, const TRect& R,
                                           TOwnerDrawState State) {
  auto* Item = dynamic_cast<TMenuItem*>(Sender);
  if (Item == nullptr || ACanvas == nullptr || FSkinManager == nullptr) return;
  TsSkinManager* M = FSkinManager;
  // The menu-line background the form's provider keeps, and the item's place in it.
  TBitmap* LineBmp = nullptr;
  TPoint Origin{0, 0};
  if (acMenuLineLink.MenuLineBackground) {
    try {
      LineBmp = acMenuLineLink.MenuLineBackground(Item, ACanvas, R, Origin);
    } catch (...) {
      LineBmp = nullptr;
    }
  }
  if (LineBmp == nullptr) return;
  const int W = std::max(R.Right - R.Left, 0), H = std::max(R.Bottom - R.Top, 0);
  if (W == 0 || H == 0) return;
  const bool Hot = IsHot(Item, State);
  TBitmap* ItemBmp = Item->Bitmap();
  TMenu* Menu = Item->GetParentMenu();
  const bool HasImage = (ItemBmp != nullptr && !ItemBmp->Empty()) ||
                        (Menu != nullptr && Menu->Images() != nullptr && Item->ImageIndex() >= 0);
  // A picture of an item without an image or a painting of the application's own is kept.
  const bool Keep = !HasImage && !OnDrawItem;
  TacPictureKey Key;
  if (Keep) {
    Key.Numbers = {W, H, Hot, State.Contains(odDefault), State.Contains(odNoAccel), Item->Enabled(), FMargin, FAlignment};
    AddPixels(Key, MakeCacheInfo(LineBmp, Origin.X, Origin.Y), TPoint{0, 0}, TSize{W, H});
    AddSkin(Key, M);
    AddMenuFont(Key, Item);
    Key.Texts.push_back(Item->Caption());
    auto Known =
        std::find_if(FLinePictures.begin(), FLinePictures.end(), [&Key](const TLinePicture& E) { return E.Key == Key; });
    if (Known != FLinePictures.end()) {
      DrawRows(ACanvas->Handle(), R.Left, R.Top, W, H, Known->Rows);
      return;
    }
  }
  TWorkBmp Work(CreateBmp24(W, H));
  TCanvas* WC = Work->Canvas();
  BitBlt(WC->Handle(), 0, 0, W, H, LineBmp->Canvas()->Handle(), Origin.X, Origin.Y, SRCCOPY);
  const int SI = M->GetSectionIndex("MENUITEM");
  if (M->IsValidSectionIndex(SI))
    PaintSectionWithCorners(SI, "MENUITEM", MakeCacheInfo(LineBmp, Origin.X, Origin.Y), false, Hot ? 1 : 0,
                            Rect(0, 0, W, H), TPoint{0, 0}, Work.get(), M);
  int GW = 0;
  if (ItemBmp != nullptr && !ItemBmp->Empty()) {
    WC->Draw(3, (H - ItemBmp->Height()) / 2, ItemBmp);
    GW = ItemBmp->Width() - 1;
  } else if (Menu != nullptr && Menu->Images() != nullptr && Item->ImageIndex() >= 0) {
    Menu->Images()->Draw(WC, 3, (H - Menu->Images()->Height()) / 2, Item->ImageIndex(), true);
    GW = Menu->Images()->Width() + 3;
  }
  SetMenuFont(WC, Item);
  WC->Font()->SetStyle(State.Contains(odDefault) ? TFontStyles{fsBold} : TFontStyles{});
  TRect TR = Rect(GW + 2, 0, W - 2 * FMargin + 2, H);
  UINT Flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_EXPANDTABS | DT_NOCLIP;
  Flags |= FAlignment == taRightJustify ? DT_RIGHT : (FAlignment == taCenter ? DT_CENTER : DT_LEFT);
  if (State.Contains(odNoAccel)) Flags |= DT_HIDEPREFIX;
  const int LineSection = M->GetSectionIndex("MENULINE");
  if (M->IsValidSectionIndex(LineSection))
    DrawSectionText(WC, Item->Caption().c_str(), true, TR, Flags, LineSection, Hot, M);
  if (OnDrawItem) OnDrawItem(Item, WC, Rect(0, 0, W, H), State, smTopLine);
  if (!Item->Enabled()) {
    BlendBitmapRect(Work.get(), LineBmp, 102, Rect(Origin.X, Origin.Y, Origin.X + W, Origin.Y + H), TPoint{0, 0});
  }
  BitBlt(ACanvas->Handle(), R.Left, R.Top, W, H, WC->Handle(), 0, 0, SRCCOPY);
  if (Keep) KeepNewest(FLinePictures, TLinePicture{std::move(Key), RowsOf(Work.get())});
}
