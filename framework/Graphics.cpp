#include "framework/Graphics.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "framework/BmpFile.h"
#include "framework/Convert.h"
#include "framework/Streams.h"
#include "framework/Strings.h"

static_assert(sizeof(TPoint) == sizeof(POINT) && sizeof(TRect) == sizeof(RECT),
              "TPoint and TRect share the platform's layout");

namespace {

RECT ToRECT(const TRect& R) { return RECT{R.Left, R.Top, R.Right, R.Bottom}; }

[[noreturn]] void OutOfResources() { throw EOutOfResources("Out of system resources"); }

}  // namespace

// =============================================================================================
// Colours

COLORREF ColorToRGB(TColor Color) {
  if (Color < 0) return GetSysColor(Color & 0xFF);
  return static_cast<COLORREF>(Color);
}

namespace {

struct ColorName {
  TColor Value;
  const char* Name;
};

const ColorName kColorNames[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clMoneyGreen, "clMoneyGreen"},
    {clSkyBlue, "clSkyBlue"},
    {clCream, "clCream"},
    {clMedGray, "clMedGray"},
    {clLtGray, "clLtGray"},
    {clDkGray, "clDkGray"},
    {clScrollBar, "clScrollBar"},
    {clBackground, "clBackground"},
    {clActiveCaption, "clActiveCaption"},
    {clInactiveCaption, "clInactiveCaption"},
    {clMenu, "clMenu"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clMenuText, "clMenuText"},
    {clWindowText, "clWindowText"},
    {clCaptionText, "clCaptionText"},
    {clActiveBorder, "clActiveBorder"},
    {clInactiveBorder, "clInactiveBorder"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clBtnFace, "clBtnFace"},
    {clBtnShadow, "clBtnShadow"},
    {clGrayText, "clGrayText"},
    {clBtnText, "clBtnText"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clBtnHighlight, "clBtnHighlight"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clInfoText, "clInfoText"},
    {clInfoBk, "clInfoBk"},
    {clHotLight, "clHotLight"},
    {clGradientActiveCaption, "clGradientActiveCaption"},
    {clGradientInactiveCaption, "clGradientInactiveCaption"},
    {clMenuHighlight, "clMenuHighlight"},
    {clMenuBar, "clMenuBar"},
    {clNone, "clNone"},
    {clDefault, "clDefault"},
};

}  // namespace

bool IdentToColor(const AnsiString& Ident, TColor& Color) {
  for (const ColorName& c : kColorNames) {
    if (SameText(Ident, c.Name)) {
      Color = c.Value;
      return true;
    }
  }
  return false;
}

bool ColorToIdent(TColor Color, AnsiString& Ident) {
  for (const ColorName& c : kColorNames) {
    if (c.Value == Color) {
      Ident = c.Name;
      return true;
    }
  }
  return false;
}

AnsiString ColorToString(TColor Color) {
  AnsiString s;
  if (ColorToIdent(Color, s)) return s;
  return Format("$%.8X", static_cast<unsigned>(Color));
}

TColor StringToColor(const AnsiString& S) {
  TColor c;
  if (IdentToColor(S, c)) return c;
  return StrToInt(S);
}

// =============================================================================================
// Fonts, brushes, pens

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(this);
}

int TFont::ScreenPixelsPerInch() {
  static const int ppi = [] {
    HDC dc = GetDC(nullptr);
    int v = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ReleaseDC(nullptr, dc);
    return v > 0 ? v : 96;
  }();
  return ppi;
}

TFont::TFont() : FPixelsPerInch(ScreenPixelsPerInch()) {}

TFont::~TFont() {
  if (FHandle) DeleteObject(FHandle);
}

void TFont::FontChanged() { ReplaceHandle(FHandle, nullptr); }

void TFont::Assign(TPersistent* Source) {
  if (auto* f = dynamic_cast<TFont*>(Source)) {
    if (f == this) return;
    FName = f->FName;
    FHeight = f->FHeight;
    FColor = f->FColor;
    FStyle = f->FStyle;
    FCharset = f->FCharset;
    FPitch = f->FPitch;
    FPixelsPerInch = f->FPixelsPerInch;
    FontChanged();
    return;
  }
  TGraphicsObject::Assign(Source);
}

HFONT TFont::Handle() {
  if (!FHandle) {
    LOGFONTA lf{};
    lf.lfHeight = FHeight;
    lf.lfWeight = FStyle.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = FStyle.Contains(fsItalic) ? 1 : 0;
    lf.lfUnderline = FStyle.Contains(fsUnderline) ? 1 : 0;
    lf.lfStrikeOut = FStyle.Contains(fsStrikeOut) ? 1 : 0;
    lf.lfCharSet = FCharset;
    AnsiString face = (FName.empty() || SameText(FName, "Default")) ? AnsiString("MS Sans Serif") : FName;
    std::strncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = FPitch == fpVariable ? VARIABLE_PITCH : FPitch == fpFixed ? FIXED_PITCH : DEFAULT_PITCH;
    FHandle = CreateFontIndirectA(&lf);
    if (!FHandle) OutOfResources();
  }
  return FHandle;
}

void TFont::SetHandle(HFONT Value) {
  if (Value == FHandle) return;
  if (Value) {
    LOGFONTA lf{};
    if (GetObjectA(Value, sizeof(lf), &lf) == 0) throw EInvalidGraphic("Invalid font handle");
    FHeight = lf.lfHeight;
    TFontStyles st;
    if (lf.lfWeight >= FW_BOLD) st.Include(fsBold);
    if (lf.lfItalic) st.Include(fsItalic);
    if (lf.lfUnderline) st.Include(fsUnderline);
    if (lf.lfStrikeOut) st.Include(fsStrikeOut);
    FStyle = st;
    FCharset = lf.lfCharSet;
    FName = AnsiString(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE));
    switch (lf.lfPitchAndFamily & 3) {
      case VARIABLE_PITCH: FPitch = fpVariable; break;
      case FIXED_PITCH: FPitch = fpFixed; break;
      default: FPitch = fpDefault; break;
    }
  }
  ReplaceHandle(FHandle, Value);
}

void TFont::SetName(const AnsiString& Value) {
  if (Value.empty() || Value == FName) return;
  FName = Value;
  FontChanged();
}

void TFont::SetHeight(int Value) {
  if (Value == FHeight) return;
  FHeight = Value;
  FontChanged();
}

int TFont::Size() const { return -MulDiv(FHeight, 72, FPixelsPerInch); }

void TFont::SetSize(int Value) { SetHeight(-MulDiv(Value, FPixelsPerInch, 72)); }

void TFont::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  Changed();
}

void TFont::SetStyle(TFontStyles Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  FontChanged();
}

void TFont::SetCharset(TFontCharset Value) {
  if (Value == FCharset) return;
  FCharset = Value;
  FontChanged();
}

void TFont::SetPitch(TFontPitch Value) {
  if (Value == FPitch) return;
  FPitch = Value;
  FontChanged();
}

TBrush::~TBrush() {
  if (FHandle) DeleteObject(FHandle);
}

void TBrush::BrushChanged() { ReplaceHandle(FHandle, nullptr); }

void TBrush::Assign(TPersistent* Source) {
  if (auto* b = dynamic_cast<TBrush*>(Source)) {
    if (b == this) return;
    FColor = b->FColor;
    FStyle = b->FStyle;
    FBitmap = b->FBitmap;
    BrushChanged();
    return;
  }
  TGraphicsObject::Assign(Source);
}

HBRUSH TBrush::Handle() {
  if (!FHandle) {
    if (FBitmap && !FBitmap->Empty()) {
      FHandle = CreatePatternBrush(FBitmap->Handle());
    } else if (FStyle == bsSolid) {
      FHandle = CreateSolidBrush(ColorToRGB(FColor));
    } else if (FStyle == bsClear) {
      LOGBRUSH lb{BS_HOLLOW, 0, 0};
      FHandle = CreateBrushIndirect(&lb);
    } else {
      FHandle = CreateHatchBrush(static_cast<int>(FStyle) - bsHorizontal + HS_HORIZONTAL, ColorToRGB(FColor));
    }
    if (!FHandle) OutOfResources();
  }
  return FHandle;
}

void TBrush::SetHandle(HBRUSH Value) {
  if (Value == FHandle) return;
  if (Value) {
    LOGBRUSH lb{};
    if (GetObjectA(Value, sizeof(lb), &lb) == 0) throw EInvalidGraphic("Invalid brush handle");
    FBitmap = nullptr;
    FColor = static_cast<TColor>(lb.lbColor & 0xFFFFFF);
    if (lb.lbStyle == BS_HOLLOW) FStyle = bsClear;
    else if (lb.lbStyle == BS_HATCHED && lb.lbHatch <= HS_DIAGCROSS)
      FStyle = static_cast<TBrushStyle>(bsHorizontal + static_cast<int>(lb.lbHatch));
    else FStyle = bsSolid;
  }
  ReplaceHandle(FHandle, Value);
}

void TBrush::SetColor(TColor Value) {
  if (Value == FColor && FStyle != bsClear) return;
  FColor = Value;
  if (FStyle == bsClear) FStyle = bsSolid;
  BrushChanged();
}

void TBrush::SetStyle(TBrushStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  BrushChanged();
}

void TBrush::SetBitmap(TBitmap* Value) {
  if (Value == FBitmap) return;
  FBitmap = Value;
  BrushChanged();
}

TPen::~TPen() {
  if (FHandle) DeleteObject(FHandle);
}

void TPen::PenChanged() { ReplaceHandle(FHandle, nullptr); }

void TPen::Assign(TPersistent* Source) {
  if (auto* p = dynamic_cast<TPen*>(Source)) {
    if (p == this) return;
    FColor = p->FColor;
    FWidth = p->FWidth;
    FStyle = p->FStyle;
    FMode = p->FMode;
    PenChanged();
    return;
  }
  TGraphicsObject::Assign(Source);
}

HPEN TPen::Handle() {
  if (!FHandle) {
    static const UINT styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
    LOGPEN lp{styles[FStyle], POINT{FWidth, 0}, ColorToRGB(FColor)};
    FHandle = CreatePenIndirect(&lp);
    if (!FHandle) OutOfResources();
  }
  return FHandle;
}

void TPen::SetHandle(HPEN Value) {
  if (Value == FHandle) return;
  if (Value) {
    LOGPEN lp{};
    if (GetObjectA(Value, sizeof(lp), &lp) == 0) throw EInvalidGraphic("Invalid pen handle");
    FColor = static_cast<TColor>(lp.lopnColor & 0xFFFFFF);
    FWidth = lp.lopnWidth.x;
    UINT s = lp.lopnStyle & PS_STYLE_MASK;
    FStyle = s <= PS_INSIDEFRAME ? static_cast<TPenStyle>(s) : psSolid;
  }
  ReplaceHandle(FHandle, Value);
}

void TPen::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  PenChanged();
}

void TPen::SetWidth(int Value) {
  if (Value < 0) Value = 0;
  if (Value == FWidth) return;
  FWidth = Value;
  PenChanged();
}

void TPen::SetStyle(TPenStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  PenChanged();
}

void TPen::SetMode(TPenMode Value) {
  if (Value == FMode) return;
  FMode = Value;
  Changed();
}

int TPen::RopCode(TPenMode Mode) {
  static const int codes[] = {R2_BLACK,     R2_WHITE,       R2_NOP,      R2_NOT,        R2_COPYPEN,    R2_NOTCOPYPEN,
                              R2_MERGEPENNOT, R2_MASKPENNOT, R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN, R2_NOTMERGEPEN,
                              R2_MASKPEN,   R2_NOTMASKPEN,  R2_XORPEN,   R2_NOTXORPEN};
  return codes[Mode];
}

// =============================================================================================
// Canvas

UINT TextFormatFlags(TTextFormat Format) {
  static const UINT flags[] = {
      DT_BOTTOM,       DT_CALCRECT,     DT_CENTER,      DT_EDITCONTROL,   DT_END_ELLIPSIS,
      DT_PATH_ELLIPSIS, DT_EXPANDTABS,  DT_EXTERNALLEADING, DT_LEFT,      DT_MODIFYSTRING,
      DT_NOCLIP,       DT_NOPREFIX,     DT_RIGHT,       DT_RTLREADING,    DT_SINGLELINE,
      DT_TOP,          DT_VCENTER,      DT_WORDBREAK,   DT_HIDEPREFIX,    DT_NOFULLWIDTHCHARBREAK,
      DT_PREFIXONLY,   DT_TABSTOP,      DT_WORD_ELLIPSIS};
  UINT r = 0;
  for (int i = 0; i <= tfWordEllipsis; ++i)
    if (Format.Contains(static_cast<TTextFormats>(i))) r |= flags[i];
  return r;
}

TCanvas::TCanvas()
    : FFont(std::make_unique<TFont>()), FBrush(std::make_unique<TBrush>()), FPen(std::make_unique<TPen>()) {
  FFont->OnChange = [this](TObject* s) { FontChanged(s); };
  FBrush->OnChange = [this](TObject* s) { BrushChanged(s); };
  FPen->OnChange = [this](TObject* s) { PenChanged(s); };
}

TCanvas::~TCanvas() { SetHandle(nullptr); }

HDC TCanvas::Handle() {
  RequiredState({csHandleValid});
  return FHandle;
}

void TCanvas::SetHandle(HDC Value) {
  if (FHandle == Value) return;
  if (FHandle) {
    DeselectHandles();
    FHandle = nullptr;
    FState.Exclude(csHandleValid);
  }
  if (Value) {
    FState.Include(csHandleValid);
    FHandle = Value;
  }
}

void TCanvas::RequiredState(TCanvasStates ReqState) {
  TCanvasStates needed = ReqState - FState;
  if (needed.Empty()) return;
  if (needed.Contains(csHandleValid)) {
    CreateHandle();
    if (!FHandle) throw EInvalidOperation("Canvas does not allow drawing");
  }
  if (needed.Contains(csFontValid)) SelectFont();
  if (needed.Contains(csPenValid)) SelectPen();
  if (needed.Contains(csBrushValid)) SelectBrush();
}

void TCanvas::SelectFont() {
  SelectObject(FHandle, FFont->Handle());
  SetTextColor(FHandle, ColorToRGB(FFont->Color()));
  FState.Include(csFontValid);
}

void TCanvas::SelectPen() {
  SelectObject(FHandle, FPen->Handle());
  SetROP2(FHandle, TPen::RopCode(FPen->Mode()));
  FState.Include(csPenValid);
}

void TCanvas::SelectBrush() {
  HBRUSH b = FBrush->Handle();
  UnrealizeObject(b);
  SelectObject(FHandle, b);
  if (FBrush->Style() == bsSolid) {
    SetBkColor(FHandle, ColorToRGB(FBrush->Color()));
    SetBkMode(FHandle, OPAQUE);
  } else {
    SetBkColor(FHandle, ~ColorToRGB(FBrush->Color()) & 0xFFFFFF);
    SetBkMode(FHandle, TRANSPARENT);
  }
  FState.Include(csBrushValid);
}

void TCanvas::DeselectHandles() {
  if (FHandle && !(FState * TCanvasStates{csPenValid, csBrushValid, csFontValid}).Empty()) {
    SelectObject(FHandle, GetStockObject(BLACK_PEN));
    SelectObject(FHandle, GetStockObject(NULL_BRUSH));
    SelectObject(FHandle, GetStockObject(SYSTEM_FONT));
    FState = FState - TCanvasStates{csPenValid, csBrushValid, csFontValid};
  }
}

void TCanvas::FontChanged(TObject*) {
  if (FState.Contains(csFontValid)) {
    FState.Exclude(csFontValid);
    SelectObject(FHandle, GetStockObject(SYSTEM_FONT));
  }
}

void TCanvas::PenChanged(TObject*) {
  if (FState.Contains(csPenValid)) {
    FState.Exclude(csPenValid);
    SelectObject(FHandle, GetStockObject(BLACK_PEN));
  }
}

void TCanvas::BrushChanged(TObject*) {
  if (FState.Contains(csBrushValid)) {
    FState.Exclude(csBrushValid);
    SelectObject(FHandle, GetStockObject(NULL_BRUSH));
  }
}

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

void TCanvas::Lock() {
  FLock.lock();
  ++FLockCount;
}

void TCanvas::Unlock() {
  if (FLockCount <= 0) return;
  --FLockCount;
  FLock.unlock();
}

bool TCanvas::TryLock() {
  if (!FLock.try_lock()) return false;
  ++FLockCount;
  return true;
}

void TCanvas::Refresh() { DeselectHandles(); }

TRect TCanvas::ClipRect() {
  RequiredState({csHandleValid});
  RECT r{};
  GetClipBox(FHandle, &r);
  return TRect{r.left, r.top, r.right, r.bottom};
}

TPoint TCanvas::PenPos() {
  RequiredState({csHandleValid});
  POINT p{};
  GetCurrentPositionEx(FHandle, &p);
  return TPoint{p.x, p.y};
}

TColor TCanvas::Pixels(int X, int Y) {
  RequiredState({csHandleValid});
  return static_cast<TColor>(GetPixel(FHandle, X, Y));
}

void TCanvas::SetPixels(int X, int Y, TColor Value) {
  Changing();
  RequiredState({csHandleValid, csPenValid});
  SetPixel(FHandle, X, Y, ColorToRGB(Value));
  Changed();
}

void TCanvas::MoveTo(int X, int Y) {
  RequiredState({csHandleValid});
  MoveToEx(FHandle, X, Y, nullptr);
}

void TCanvas::LineTo(int X, int Y) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::LineTo(FHandle, X, Y);
  Changed();
}

void TCanvas::Polyline(const TPoint* Points, int Count) {
  if (!Points || Count <= 0) return;
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::Polyline(FHandle, reinterpret_cast<const POINT*>(Points), Count);
  Changed();
}

void TCanvas::Polygon(const TPoint* Points, int Count) {
  if (!Points || Count <= 0) return;
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::Polygon(FHandle, reinterpret_cast<const POINT*>(Points), Count);
  Changed();
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::Rectangle(FHandle, X1, Y1, X2, Y2);
  Changed();
}

void TCanvas::RoundRect(int X1, int Y1, int X2, int Y2, int X3, int Y3) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::RoundRect(FHandle, X1, Y1, X2, Y2, X3, Y3);
  Changed();
}

void TCanvas::Ellipse(int X1, int Y1, int X2, int Y2) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::Ellipse(FHandle, X1, Y1, X2, Y2);
  Changed();
}

void TCanvas::FillRect(const TRect& R) {
  Changing();
  RequiredState({csHandleValid, csBrushValid});
  RECT r = ToRECT(R);
  ::FillRect(FHandle, &r, FBrush->Handle());
  Changed();
}

void TCanvas::FrameRect(const TRect& R) {
  Changing();
  RequiredState({csHandleValid, csBrushValid});
  RECT r = ToRECT(R);
  ::FrameRect(FHandle, &r, FBrush->Handle());
  Changed();
}

void TCanvas::DrawFocusRect(const TRect& R) {
  Changing();
  RequiredState({csHandleValid, csBrushValid});
  RECT r = ToRECT(R);
  ::DrawFocusRect(FHandle, &r);
  Changed();
}

void TCanvas::TextOut(int X, int Y, const AnsiString& Text) {
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  ExtTextOutA(FHandle, X, Y, FTextFlags, nullptr, Text.data(), static_cast<UINT>(Text.size()), nullptr);
  MoveTo(X + TextWidth(Text), Y);
  Changed();
}

void TCanvas::TextOut(int X, int Y, const WideString& Text) {
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  ExtTextOutW(FHandle, X, Y, FTextFlags, nullptr, Text.data(), static_cast<UINT>(Text.size()), nullptr);
  MoveTo(X + TextWidth(Text), Y);
  Changed();
}

void TCanvas::TextRect(const TRect& R, int X, int Y, const AnsiString& Text) {
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  UINT options = ETO_CLIPPED | FTextFlags;
  if (FBrush->Style() != bsClear) options |= ETO_OPAQUE;
  RECT r = ToRECT(R);
  ExtTextOutA(FHandle, X, Y, options, &r, Text.data(), static_cast<UINT>(Text.size()), nullptr);
  Changed();
}

void TCanvas::TextRect(const TRect& R, int X, int Y, const WideString& Text) {
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  UINT options = ETO_CLIPPED | FTextFlags;
  if (FBrush->Style() != bsClear) options |= ETO_OPAQUE;
  RECT r = ToRECT(R);
  ExtTextOutW(FHandle, X, Y, options, &r, Text.data(), static_cast<UINT>(Text.size()), nullptr);
  Changed();
}

void TCanvas::TextRect(TRect& R, AnsiString& Text, TTextFormat Format) {
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  UINT flags = TextFormatFlags(Format);
  // DT_MODIFYSTRING may write up to four characters more than the text holds.
  std::vector<char> buf(Text.begin(), Text.end());
  buf.resize(Text.size() + 5, '\0');
  RECT r = ToRECT(R);
  DrawTextExA(FHandle, buf.data(), static_cast<int>(Text.size()), &r, flags, nullptr);
  if (Format.Contains(tfCalcRect)) R = TRect{r.left, r.top, r.right, r.bottom};
  if (Format.Contains(tfModifyString)) Text = AnsiString(buf.data());
  Changed();
}

void TCanvas::TextRect(TRect& R, WideString& Text, TTextFormat Format) {
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  UINT flags = TextFormatFlags(Format);
  std::vector<wchar_t> buf(Text.begin(), Text.end());
  buf.resize(Text.size() + 5, L'\0');
  RECT r = ToRECT(R);
  DrawTextExW(FHandle, buf.data(), static_cast<int>(Text.size()), &r, flags, nullptr);
  if (Format.Contains(tfCalcRect)) R = TRect{r.left, r.top, r.right, r.bottom};
  if (Format.Contains(tfModifyString)) Text = WideString(buf.data());
  Changed();
}

TSize TCanvas::TextExtent(const AnsiString& Text) {
  RequiredState({csHandleValid, csFontValid});
  SIZE s{0, 0};
  GetTextExtentPoint32A(FHandle, Text.data(), static_cast<int>(Text.size()), &s);
  return TSize{s.cx, s.cy};
}

TSize TCanvas::TextExtent(const WideString& Text) {
  RequiredState({csHandleValid, csFontValid});
  SIZE s{0, 0};
  GetTextExtentPoint32W(FHandle, Text.data(), static_cast<int>(Text.size()), &s);
  return TSize{s.cx, s.cy};
}

void TCanvas::Draw(int X, int Y, TGraphic* Graphic) {
  if (!Graphic || Graphic->Empty()) return;
  StretchDraw(TRect{X, Y, X + Graphic->Width(), Y + Graphic->Height()}, Graphic);
}

void TCanvas::StretchDraw(const TRect& R, TGraphic* Graphic) {
  if (!Graphic || Graphic->Empty()) return;
  Changing();
  RequiredState({csHandleValid});
  // Monochrome pictures take these colours for their two values.
  const COLORREF oldBk = SetBkColor(FHandle, ColorToRGB(FBrush->Color()));
  const COLORREF oldText = SetTextColor(FHandle, ColorToRGB(FFont->Color()));
  Graphic->Draw(this, R);
  SetBkColor(FHandle, oldBk);
  SetTextColor(FHandle, oldText);
  Changed();
}

void TCanvas::CopyRect(const TRect& Dest, TCanvas* Canvas, const TRect& Source) {
  if (!Canvas) return;
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  Canvas->RequiredState({csHandleValid, csBrushValid});
  StretchBlt(FHandle, Dest.Left, Dest.Top, Dest.Width(), Dest.Height(), Canvas->FHandle, Source.Left, Source.Top,
             Source.Width(), Source.Height(), FCopyMode);
  Changed();
}

// =============================================================================================
// TGraphic

void TGraphic::SetTransparent(bool Value) {
  if (Value == FTransparent) return;
  FTransparent = Value;
  Changed(this);
}

void TGraphic::SetModified(bool Value) {
  if (Value) Changed(this);
  else FModified = false;
}

void TGraphic::LoadFromFile(const AnsiString& FileName) {
  TFileStream s(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(s);
}

void TGraphic::SaveToFile(const AnsiString& FileName) {
  TFileStream s(FileName, fmCreate);
  SaveToStream(s);
}

void TGraphic::Changed(TObject*) {
  FModified = true;
  if (OnChange) OnChange(this);
}

void TGraphic::Progress(TObject* Sender, TProgressStage Stage, Byte PercentDone, bool RedrawNow, const TRect& R,
                        const AnsiString& Msg) {
  if (OnProgress) OnProgress(Sender, Stage, PercentDone, RedrawNow, R, Msg);
}

// =============================================================================================
// Device-independent images

namespace detail {

// A section with its geometry; deletes the section unless it was handed on.
struct DibImage {
  HBITMAP Handle = nullptr;
  Byte* Bits = nullptr;  // storage row 0 is the bottom row
  int Width = 0;
  int Height = 0;
  int Stride = 0;
  TPixelFormat Format = pfDevice;
  std::vector<RGBQUAD> Colors;

  DibImage() = default;
  DibImage(const DibImage&) = delete;
  DibImage& operator=(const DibImage&) = delete;
  ~DibImage() {
    if (Handle) DeleteObject(Handle);
  }
  Byte* Row(int StorageRow) const { return Bits + static_cast<std::ptrdiff_t>(StorageRow) * Stride; }
};

}  // namespace detail

using detail::DibImage;

namespace {

int BitsOf(TPixelFormat F) {
  switch (F) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    default: return 32;
  }
}

bool IsPaletteFormat(TPixelFormat F) { return F == pf1bit || F == pf4bit || F == pf8bit; }

int StrideOf(std::int64_t Width, int Bits) { return static_cast<int>((Width * Bits + 31) / 32 * 4); }

RGBQUAD Quad(int R, int G, int B) {
  RGBQUAD q;
  q.rgbBlue = static_cast<BYTE>(B);
  q.rgbGreen = static_cast<BYTE>(G);
  q.rgbRed = static_cast<BYTE>(R);
  q.rgbReserved = 0;
  return q;
}

bool SameColors(const std::vector<RGBQUAD>& A, const std::vector<RGBQUAD>& B) {
  return A.size() == B.size() && (A.empty() || std::memcmp(A.data(), B.data(), A.size() * sizeof(RGBQUAD)) == 0);
}

// The fixed palettes of the palette formats. 8 bits: a 6x6x6 cube (index r*36 + g*6 + b, levels
// 0, 51, ... 255) followed by 40 greys 3, 9, ... 249 (without 51 and 153, which the cube has).
const std::vector<RGBQUAD>& DefaultColors(TPixelFormat F) {
  static const std::vector<RGBQUAD> mono{Quad(0, 0, 0), Quad(255, 255, 255)};
  static const std::vector<RGBQUAD> vga{
      Quad(0, 0, 0),       Quad(128, 0, 0),   Quad(0, 128, 0),   Quad(128, 128, 0),
      Quad(0, 0, 128),     Quad(128, 0, 128), Quad(0, 128, 128), Quad(192, 192, 192),
      Quad(128, 128, 128), Quad(255, 0, 0),   Quad(0, 255, 0),   Quad(255, 255, 0),
      Quad(0, 0, 255),     Quad(255, 0, 255), Quad(0, 255, 255), Quad(255, 255, 255)};
  static const std::vector<RGBQUAD> cube = [] {
    std::vector<RGBQUAD> v;
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b) v.push_back(Quad(r * 51, g * 51, b * 51));
    for (int k = 3; k < 255; k += 6)
      if (k % 51 != 0) v.push_back(Quad(k, k, k));
    return v;
  }();
  static const std::vector<RGBQUAD> none;
  switch (F) {
    case pf1bit: return mono;
    case pf4bit: return vga;
    case pf8bit: return cube;
    default: return none;
  }
}

// Pixels travel between formats as 0xAARRGGBB (the byte order B, G, R, A of a 32-bit pixel).
inline std::uint32_t FromQuad(const RGBQUAD& Q) {
  return static_cast<std::uint32_t>(Q.rgbBlue) | (static_cast<std::uint32_t>(Q.rgbGreen) << 8) |
         (static_cast<std::uint32_t>(Q.rgbRed) << 16);
}

inline int Dist2(const RGBQUAD& Q, int R, int G, int B) {
  int dr = Q.rgbRed - R, dg = Q.rgbGreen - G, db = Q.rgbBlue - B;
  return dr * dr + dg * dg + db * db;
}

// The nearest entry of a colour table (squared distance, first entry on ties).
class NearestIndex {
 public:
  explicit NearestIndex(const std::vector<RGBQUAD>& Colors)
      : C(Colors), Standard8(SameColors(Colors, DefaultColors(pf8bit))) {}

  Byte operator()(std::uint32_t V) {
    int r = (V >> 16) & 0xFF, g = (V >> 8) & 0xFF, b = V & 0xFF;
    if (C.empty()) return 0;
    if (Standard8) return Standard(r, g, b);
    if (C.size() <= 16) return Search(r, g, b);
    std::uint32_t key = V & 0xFFFFFF;
    auto it = Cache.find(key);
    if (it != Cache.end()) return it->second;
    Byte i = Search(r, g, b);
    Cache.emplace(key, i);
    return i;
  }

 private:
  Byte Search(int R, int G, int B) const {
    int best = 0, bestD = Dist2(C[0], R, G, B);
    for (int i = 1; i < static_cast<int>(C.size()) && bestD > 0; ++i) {
      int d = Dist2(C[i], R, G, B);
      if (d < bestD) best = i, bestD = d;
    }
    return static_cast<Byte>(best);
  }
  // The cube's nearest entry per channel, against the nearest grey of the whole palette.
  Byte Standard(int R, int G, int B) const {
    static const std::vector<std::pair<int, int>> greys = [] {
      std::vector<std::pair<int, int>> v;  // (level, index), sorted by level
      const auto& c = DefaultColors(pf8bit);
      for (int i = 0; i < static_cast<int>(c.size()); ++i)
        if (c[i].rgbRed == c[i].rgbGreen && c[i].rgbGreen == c[i].rgbBlue) v.emplace_back(c[i].rgbRed, i);
      std::sort(v.begin(), v.end());
      return v;
    }();
    int ri = (R + 25) / 51, gi = (G + 25) / 51, bi = (B + 25) / 51;
    int best = ri * 36 + gi * 6 + bi;
    int bestD = Dist2(C[best], R, G, B);
    if (bestD == 0) return static_cast<Byte>(best);
    int mean = (R + G + B) / 3;
    auto it = std::lower_bound(greys.begin(), greys.end(), std::make_pair(mean, -1));
    for (auto j = (it == greys.begin() ? it : it - 1); j != greys.end() && j <= it + 1; ++j) {
      int d = Dist2(C[j->second], R, G, B);
      if (d < bestD) best = j->second, bestD = d;
    }
    return static_cast<Byte>(best);
  }

  const std::vector<RGBQUAD>& C;
  bool Standard8;
  std::unordered_map<std::uint32_t, Byte> Cache;
};

inline std::uint32_t ReadPixel(const Byte* Row, int X, TPixelFormat F, const std::vector<RGBQUAD>& Colors) {
  auto fromIndex = [&](unsigned i) -> std::uint32_t { return i < Colors.size() ? FromQuad(Colors[i]) : 0u; };
  switch (F) {
    case pf1bit: return fromIndex((Row[X >> 3] >> (7 - (X & 7))) & 1);
    case pf4bit: return fromIndex((X & 1) ? (Row[X >> 1] & 0x0F) : (Row[X >> 1] >> 4));
    case pf8bit: return fromIndex(Row[X]);
    case pf15bit: {
      unsigned v = Row[2 * X] | (Row[2 * X + 1] << 8);
      unsigned r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
      return ((b << 3) | (b >> 2)) | (((g << 3) | (g >> 2)) << 8) | (((r << 3) | (r >> 2)) << 16);
    }
    case pf16bit: {
      unsigned v = Row[2 * X] | (Row[2 * X + 1] << 8);
      unsigned r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
      return ((b << 3) | (b >> 2)) | (((g << 2) | (g >> 4)) << 8) | (((r << 3) | (r >> 2)) << 16);
    }
    case pf24bit: return Row[3 * X] | (Row[3 * X + 1] << 8) | (static_cast<std::uint32_t>(Row[3 * X + 2]) << 16);
    default: {
      std::uint32_t v;
      std::memcpy(&v, Row + 4 * X, 4);
      return v;
    }
  }
}

inline void WritePixel(Byte* Row, int X, TPixelFormat F, std::uint32_t V, NearestIndex& Map) {
  switch (F) {
    case pf1bit: {
      Byte bit = static_cast<Byte>(0x80 >> (X & 7));
      if (Map(V)) Row[X >> 3] |= bit;
      else Row[X >> 3] &= static_cast<Byte>(~bit);
      break;
    }
    case pf4bit: {
      Byte i = Map(V) & 0x0F;
      Byte& b = Row[X >> 1];
      b = (X & 1) ? static_cast<Byte>((b & 0xF0) | i) : static_cast<Byte>((b & 0x0F) | (i << 4));
      break;
    }
    case pf8bit: Row[X] = Map(V); break;
    case pf15bit: {
      unsigned v = (((V >> 19) & 31) << 10) | (((V >> 11) & 31) << 5) | ((V >> 3) & 31);
      Row[2 * X] = static_cast<Byte>(v);
      Row[2 * X + 1] = static_cast<Byte>(v >> 8);
      break;
    }
    case pf16bit: {
      unsigned v = (((V >> 19) & 31) << 11) | (((V >> 10) & 63) << 5) | ((V >> 3) & 31);
      Row[2 * X] = static_cast<Byte>(v);
      Row[2 * X + 1] = static_cast<Byte>(v >> 8);
      break;
    }
    case pf24bit:
      Row[3 * X] = static_cast<Byte>(V);
      Row[3 * X + 1] = static_cast<Byte>(V >> 8);
      Row[3 * X + 2] = static_cast<Byte>(V >> 16);
      break;
    default: std::memcpy(Row + 4 * X, &V, 4); break;
  }
}

void CheckSize(std::int64_t W, std::int64_t H) {
  if (W < 0 || H < 0 || W > TBitmap::MaxSide || H > TBitmap::MaxSide || W * H > TBitmap::MaxPixels)
    throw EInvalidGraphic(Format("Invalid bitmap size (%lld x %lld)", static_cast<long long>(W),
                                 static_cast<long long>(H)));
}

// Makes a section of the given size and format; White fills it with white (the nearest entry
// for palette formats), otherwise it starts zeroed.
void CreateImage(DibImage& Img, int W, int H, TPixelFormat F, const std::vector<RGBQUAD>& Colors, bool White) {
  CheckSize(W, H);
  Img.Width = W;
  Img.Height = H;
  Img.Format = F;
  Img.Colors = Colors;
  if (W == 0 || H == 0) return;
  struct {
    BITMAPINFOHEADER H;
    RGBQUAD C[256];
  } bi{};
  bi.H.biSize = sizeof(BITMAPINFOHEADER);
  bi.H.biWidth = W;
  bi.H.biHeight = H;
  bi.H.biPlanes = 1;
  bi.H.biBitCount = static_cast<WORD>(BitsOf(F));
  bi.H.biCompression = BI_RGB;
  if (F == pf16bit) {
    bi.H.biCompression = BI_BITFIELDS;
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(bi.C, masks, sizeof(masks));
  } else if (IsPaletteFormat(F)) {
    bi.H.biClrUsed = static_cast<DWORD>(Colors.size());
    std::copy(Colors.begin(), Colors.end(), bi.C);
  }
  void* bits = nullptr;
  HBITMAP h = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!h || !bits) {
    if (h) DeleteObject(h);
    OutOfResources();
  }
  Img.Handle = h;
  Img.Bits = static_cast<Byte*>(bits);
  Img.Stride = StrideOf(W, BitsOf(F));
  if (!White) return;
  const std::size_t total = static_cast<std::size_t>(Img.Stride) * H;
  switch (F) {
    case pf1bit:
    case pf4bit:
    case pf8bit: {
      NearestIndex map(Img.Colors);
      Byte i = map(0xFFFFFF);
      Byte fill = F == pf1bit ? (i ? 0xFF : 0x00) : F == pf4bit ? static_cast<Byte>(i * 0x11) : i;
      std::memset(Img.Bits, fill, total);
      break;
    }
    case pf15bit:
      for (int y = 0; y < H; ++y) {
        Byte* row = Img.Row(y);
        for (int x = 0; x < W; ++x) row[2 * x] = 0xFF, row[2 * x + 1] = 0x7F;
      }
      break;
    case pf16bit:
    case pf24bit: std::memset(Img.Bits, 0xFF, total); break;
    default:
      for (int y = 0; y < H; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(Img.Row(y));
        std::fill(row, row + W, 0x00FFFFFFu);
      }
      break;
  }
}

// Copies the pixels of Src into Dst (same size), converting the format.
void ConvertImage(const DibImage& Src, DibImage& Dst) {
  const int w = Src.Width;
  NearestIndex map(Dst.Colors);
  for (int y = 0; y < Src.Height; ++y) {
    const Byte* s = Src.Row(y);
    Byte* d = Dst.Row(y);
    if (Src.Format == pf24bit && BitsOf(Dst.Format) == 32) {
      for (int x = 0; x < w; ++x) d[4 * x] = s[3 * x], d[4 * x + 1] = s[3 * x + 1], d[4 * x + 2] = s[3 * x + 2], d[4 * x + 3] = 0;
    } else if (BitsOf(Src.Format) == 32 && Dst.Format == pf24bit) {
      for (int x = 0; x < w; ++x) d[3 * x] = s[4 * x], d[3 * x + 1] = s[4 * x + 1], d[3 * x + 2] = s[4 * x + 2];
    } else {
      for (int x = 0; x < w; ++x) WritePixel(d, x, Dst.Format, ReadPixel(s, x, Src.Format, Src.Colors), map);
    }
  }
}

TPixelFormat FormatOfBits(int Bits, bool Is565) {
  switch (Bits) {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 16: return Is565 ? pf16bit : pf15bit;
    case 24: return pf24bit;
    case 32: return pf32bit;
    default: return pfCustom;
  }
}

// Copies any bitmap handle (section or device bitmap) into Img. Device bitmaps become pfDevice
// (or pf1bit when monochrome).
void CopyHandleImage(HBITMAP Source, DibImage& Img) {
  DIBSECTION ds{};
  int got = GetObjectA(Source, sizeof(ds), &ds);
  if (got == 0) throw EInvalidGraphic("Invalid bitmap handle");
  TPixelFormat f;
  if (got == sizeof(DIBSECTION) && ds.dsBm.bmBits) {
    bool is565 = ds.dsBmih.biCompression == BI_BITFIELDS && ds.dsBitfields[1] == 0x07E0;
    f = FormatOfBits(ds.dsBmih.biBitCount, is565);
    if (f == pfCustom) f = pf32bit;
  } else {
    f = ds.dsBm.bmBitsPixel == 1 ? pf1bit : pfDevice;
  }
  int w = ds.dsBm.bmWidth, h = std::abs(ds.dsBm.bmHeight);
  struct {
    BITMAPINFOHEADER H;
    RGBQUAD C[256];
  } bi{};
  bi.H.biSize = sizeof(BITMAPINFOHEADER);
  bi.H.biWidth = w;
  bi.H.biHeight = h;
  bi.H.biPlanes = 1;
  bi.H.biBitCount = static_cast<WORD>(BitsOf(f));
  bi.H.biCompression = BI_RGB;
  if (f == pf16bit) {
    bi.H.biCompression = BI_BITFIELDS;
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(bi.C, masks, sizeof(masks));
  }
  HDC dc = GetDC(nullptr);
  std::vector<RGBQUAD> colors;
  if (IsPaletteFormat(f)) {
    // The first call fills in the colour table only.
    GetDIBits(dc, Source, 0, h, nullptr, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    bi.H.biCompression = BI_RGB;
    int n = 1 << BitsOf(f);
    colors.assign(bi.C, bi.C + n);
    bi.H.biClrUsed = 0;
  }
  try {
    CreateImage(Img, w, h, f, IsPaletteFormat(f) ? colors : std::vector<RGBQUAD>{}, false);
  } catch (...) {
    ReleaseDC(nullptr, dc);
    throw;
  }
  bi.H.biSize = sizeof(BITMAPINFOHEADER);
  bi.H.biBitCount = static_cast<WORD>(BitsOf(f));
  if (h > 0) GetDIBits(dc, Source, 0, h, Img.Bits, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
}

}  // namespace

// =============================================================================================
// TBitmap

// The bitmap's own canvas: one memory DC for the life of the bitmap, with the current section
// selected into it.
class TBitmapCanvas : public TCanvas {
  T_CLASS(TBitmapCanvas, TCanvas)

 public:
  explicit TBitmapCanvas(TBitmap* Bitmap) : FBitmap(Bitmap) {}
  ~TBitmapCanvas() override {
    if (FHandle) {
      HDC dc = FHandle;
      SetHandle(nullptr);
      SelectObject(dc, FStockBitmap);
      DeleteDC(dc);
    }
  }
  // The DC while the section is selected into it, otherwise 0.
  HDC SelectedDC() const { return FState.Contains(csHandleValid) ? FHandle : nullptr; }
  // Puts the bitmap's new section (or none) into the DC; the clipping region of the old one goes.
  void SelectBitmap(HBITMAP H) {
    if (!FHandle) return;
    SelectObject(FHandle, H && FState.Contains(csHandleValid) ? static_cast<HGDIOBJ>(H) : FStockBitmap);
    SelectClipRgn(FHandle, nullptr);
  }
  // Takes the section out of the DC until the canvas is used again.
  void Deselect() {
    if (!FHandle || !FState.Contains(csHandleValid)) return;
    GdiFlush();
    SelectObject(FHandle, FStockBitmap);
    FState.Exclude(csHandleValid);
  }

 protected:
  void CreateHandle() override {
    if (FHandle) {  // the DC stays; the section comes back into it
      if (FBitmap->FHandle) SelectObject(FHandle, FBitmap->FHandle);
      FState.Include(csHandleValid);
      return;
    }
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) OutOfResources();
    FStockBitmap = GetCurrentObject(dc, OBJ_BITMAP);
    if (FBitmap->FHandle) SelectObject(dc, FBitmap->FHandle);
    SetHandle(dc);
  }
  void Changed() override {
    TCanvas::Changed();
    FBitmap->Changed(FBitmap);
  }

 private:
  TBitmap* FBitmap;
  HGDIOBJ FStockBitmap = nullptr;
};

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int AWidth, int AHeight, TPixelFormat Format) {
  SetPixelFormat(Format);
  SetSize(AWidth, AHeight);
}

TBitmap::~TBitmap() {
  FCanvas.reset();
  if (FHandle) DeleteObject(FHandle);
  if (FPalette) DeleteObject(FPalette);
}

void TBitmap::DropPalette() {
  if (FPalette) DeleteObject(FPalette);
  FPalette = nullptr;
}

void TBitmap::TakeImage(DibImage& Img) {
  if (FCanvas) static_cast<TBitmapCanvas*>(FCanvas.get())->SelectBitmap(Img.Handle);
  HBITMAP old = FHandle;
  FHandle = Img.Handle;
  Img.Handle = nullptr;
  FBits = FHandle ? Img.Bits : nullptr;
  FWidth = FHandle ? Img.Width : 0;
  FHeight = FHandle ? Img.Height : 0;
  FStride = FHandle ? Img.Stride : 0;
  FPixelFormat = Img.Format;
  if (!SameColors(FColors, Img.Colors)) {
    FColors = std::move(Img.Colors);
    DropPalette();
  }
  if (old) DeleteObject(old);
}

void TBitmap::FreeImage() {
  DibImage empty;
  empty.Format = FPixelFormat;
  empty.Colors = FColors;
  TakeImage(empty);
}

void TBitmap::Assign(TPersistent* Source) {
  if (Source == this) return;
  if (Source == nullptr) {
    FreeImage();
    Changed(this);
    return;
  }
  auto* b = dynamic_cast<TBitmap*>(Source);
  if (!b) {
    TGraphic::Assign(Source);
    return;
  }
  DibImage img;
  CreateImage(img, b->FWidth, b->FHeight, b->FPixelFormat, b->FColors, false);
  if (img.Handle) {
    GdiFlush();
    std::memcpy(img.Bits, b->FBits, static_cast<std::size_t>(b->FStride) * b->FHeight);
  }
  TakeImage(img);
  FTransparent = b->FTransparent;
  FTransparentColor = b->FTransparentColor;
  FTransparentMode = b->FTransparentMode;
  Changed(this);
}

void TBitmap::SetSize(int AWidth, int AHeight) {
  CheckSize(AWidth, AHeight);
  if (AWidth == FWidth && AHeight == FHeight) return;
  const std::vector<RGBQUAD>& colors = IsPaletteFormat(FPixelFormat) && FColors.empty() ? DefaultColors(FPixelFormat) : FColors;
  DibImage img;
  CreateImage(img, AWidth, AHeight, FPixelFormat, colors, true);
  if (img.Handle && FHandle) {
    GdiFlush();
    const int w = std::min(AWidth, FWidth), h = std::min(AHeight, FHeight);
    const int bits = BitsOf(FPixelFormat);
    NearestIndex map(img.Colors);
    for (int y = 0; y < h; ++y) {  // y counts from the top
      const Byte* s = FBits + static_cast<std::ptrdiff_t>(FHeight - 1 - y) * FStride;
      Byte* d = img.Row(AHeight - 1 - y);
      if (bits >= 8) {
        std::memcpy(d, s, static_cast<std::size_t>(w) * bits / 8);
      } else {
        for (int x = 0; x < w; ++x) WritePixel(d, x, FPixelFormat, ReadPixel(s, x, FPixelFormat, FColors), map);
      }
    }
  }
  TakeImage(img);
  Changed(this);
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
  if (Value == FPixelFormat) return;
  if (Value < pfDevice || Value >= pfCustom) throw EInvalidGraphic("Invalid pixel format");
  if ((Value == pfDevice && FPixelFormat == pf32bit) || (Value == pf32bit && FPixelFormat == pfDevice)) {
    FPixelFormat = Value;
    Changed(this);
    return;
  }
  const std::vector<RGBQUAD>& colors = DefaultColors(Value);
  DibImage img;
  CreateImage(img, FWidth, FHeight, Value, colors, false);
  if (img.Handle) {
    GdiFlush();
    DibImage src;  // a view of the current pixels (owns nothing)
    src.Bits = FBits;
    src.Width = FWidth;
    src.Height = FHeight;
    src.Stride = FStride;
    src.Format = FPixelFormat;
    src.Colors = FColors;
    ConvertImage(src, img);
  }
  TakeImage(img);
  Changed(this);
}

void TBitmap::SetHandleType(TBitmapHandleType Value) {
  if (Value == HandleType()) return;
  SetPixelFormat(Value == bmDIB ? pf32bit : pfDevice);
}

void TBitmap::SetMonochrome(bool Value) {
  if (Value == Monochrome()) return;
  SetPixelFormat(Value ? pf1bit : pfDevice);
}

void* TBitmap::ScanLine(int Row) {
  if (Row < 0 || Row >= FHeight) throw ERangeError("Scan line index out of range");
  GdiFlush();
  return FBits + static_cast<std::ptrdiff_t>(FHeight - 1 - Row) * FStride;
}

HBITMAP TBitmap::Handle() const {
  if (FCanvas) static_cast<TBitmapCanvas*>(FCanvas.get())->Deselect();
  return FHandle;
}

TCanvas* TBitmap::Canvas() {
  if (!FCanvas) FCanvas = std::make_unique<TBitmapCanvas>(this);
  return FCanvas.get();
}

void TBitmap::SetHandle(HBITMAP Value) {
  if (Value == FHandle) return;
  if (!Value) {
    FreeImage();
    Changed(this);
    return;
  }
  DIBSECTION ds{};
  int got = GetObjectA(Value, sizeof(ds), &ds);
  if (got == 0) throw EInvalidGraphic("Invalid bitmap handle");
  bool is565 = ds.dsBmih.biCompression == BI_BITFIELDS && ds.dsBitfields[0] == 0xF800 &&
               ds.dsBitfields[1] == 0x07E0 && ds.dsBitfields[2] == 0x001F;
  bool is555 = ds.dsBmih.biCompression == BI_RGB ||
               (ds.dsBmih.biCompression == BI_BITFIELDS && ds.dsBitfields[0] == 0x7C00 &&
                ds.dsBitfields[1] == 0x03E0 && ds.dsBitfields[2] == 0x001F);
  bool is888 = ds.dsBmih.biCompression == BI_RGB ||
               (ds.dsBmih.biCompression == BI_BITFIELDS && ds.dsBitfields[0] == 0xFF0000 &&
                ds.dsBitfields[1] == 0xFF00 && ds.dsBitfields[2] == 0xFF);
  TPixelFormat f = FormatOfBits(ds.dsBmih.biBitCount, is565);
  bool keep = got == sizeof(DIBSECTION) && ds.dsBm.bmBits && ds.dsBmih.biHeight > 0 && f != pfCustom &&
              (f != pf15bit || is555) && (f != pf32bit || is888) &&
              (ds.dsBmih.biCompression == BI_RGB || ds.dsBmih.biCompression == BI_BITFIELDS);
  DibImage img;
  if (keep) {
    img.Handle = Value;
    img.Bits = static_cast<Byte*>(ds.dsBm.bmBits);
    img.Width = ds.dsBm.bmWidth;
    img.Height = ds.dsBm.bmHeight;
    img.Stride = StrideOf(img.Width, BitsOf(f));
    img.Format = f;
    if (IsPaletteFormat(f)) {
      img.Colors.assign(static_cast<std::size_t>(1) << BitsOf(f), Quad(0, 0, 0));
      HDC dc = CreateCompatibleDC(nullptr);
      HGDIOBJ old = SelectObject(dc, Value);
      GetDIBColorTable(dc, 0, static_cast<UINT>(img.Colors.size()), img.Colors.data());
      SelectObject(dc, old);
      DeleteDC(dc);
    }
  } else {
    CopyHandleImage(Value, img);
    DeleteObject(Value);
  }
  TakeImage(img);
  Changed(this);
}

HBITMAP TBitmap::ReleaseHandle() {
  if (!FHandle) return nullptr;
  GdiFlush();
  if (FCanvas) static_cast<TBitmapCanvas*>(FCanvas.get())->SelectBitmap(nullptr);
  HBITMAP h = FHandle;
  FHandle = nullptr;
  FBits = nullptr;
  FWidth = FHeight = FStride = 0;
  Changed(this);
  return h;
}

void TBitmap::AssignHandle(HBITMAP Value) {
  if (!Value) {
    FreeImage();
    Changed(this);
    return;
  }
  GdiFlush();
  DibImage img;
  CopyHandleImage(Value, img);
  TakeImage(img);
  Changed(this);
}

HPALETTE TBitmap::Palette() {
  if (!FPalette && IsPaletteFormat(FPixelFormat) && !FColors.empty()) {
    struct {
      WORD Version;
      WORD Count;
      PALETTEENTRY E[256];
    } lp{};
    lp.Version = 0x300;
    lp.Count = static_cast<WORD>(FColors.size());
    for (std::size_t i = 0; i < FColors.size(); ++i)
      lp.E[i] = PALETTEENTRY{FColors[i].rgbRed, FColors[i].rgbGreen, FColors[i].rgbBlue, 0};
    FPalette = CreatePalette(reinterpret_cast<LOGPALETTE*>(&lp));
  }
  return FPalette;
}

void TBitmap::ApplyColorTable() {
  if (!FHandle || FColors.empty()) return;
  HDC dc = FCanvas ? static_cast<TBitmapCanvas*>(FCanvas.get())->SelectedDC() : nullptr;
  if (dc) {
    SetDIBColorTable(dc, 0, static_cast<UINT>(FColors.size()), FColors.data());
    return;
  }
  dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, FHandle);
  SetDIBColorTable(dc, 0, static_cast<UINT>(FColors.size()), FColors.data());
  SelectObject(dc, old);
  DeleteDC(dc);
}

void TBitmap::SetPalette(HPALETTE Value) {
  if (Value == FPalette) return;
  DropPalette();
  FPalette = Value;
  if (Value && IsPaletteFormat(FPixelFormat)) {
    const int n = 1 << BitsOf(FPixelFormat);
    FColors.resize(n, Quad(0, 0, 0));
    PALETTEENTRY pe[256];
    UINT got = GetPaletteEntries(Value, 0, n, pe);
    for (UINT i = 0; i < got && i < static_cast<UINT>(n); ++i) FColors[i] = Quad(pe[i].peRed, pe[i].peGreen, pe[i].peBlue);
    GdiFlush();
    ApplyColorTable();
  }
  Changed(this);
}

TColor TBitmap::TransparentColor() {
  if (FTransparentColor != clDefault) return FTransparentColor;
  if (Monochrome() || Empty()) return clWhite;
  GdiFlush();
  std::uint32_t v = ReadPixel(FBits, 0, FPixelFormat, FColors);  // storage row 0 is the bottom row
  return static_cast<TColor>(((v >> 16) & 0xFF) | (v & 0xFF00) | ((v & 0xFF) << 16));
}

void TBitmap::SetTransparentColor(TColor Value) {
  if (Value == FTransparentColor) return;
  FTransparentColor = Value;
  FTransparentMode = Value == clDefault ? tmAuto : tmFixed;
  Changed(this);
}

void TBitmap::SetTransparentMode(TTransparentMode Value) {
  if (Value == FTransparentMode) return;
  if (Value == tmAuto) SetTransparentColor(clDefault);
  else SetTransparentColor(TransparentColor());
}

void TBitmap::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (Empty() || Rect.Width() == 0 || Rect.Height() == 0) return;
  HDC dst = ACanvas->Handle();
  HDC src = Canvas()->Handle();
  if (FTransparent) {
    if (Rect.Width() > 0 && Rect.Height() > 0)
      TransparentBlt(dst, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), src, 0, 0, FWidth, FHeight,
                     ColorToRGB(TransparentColor()));
    return;
  }
  int oldMode = SetStretchBltMode(dst, COLORONCOLOR);
  StretchBlt(dst, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), src, 0, 0, FWidth, FHeight, ACanvas->CopyMode());
  if (oldMode) SetStretchBltMode(dst, oldMode);
}

// ---------------------------------------------------------------------------------------------
// BMP files

namespace {

inline std::uint16_t Le16(const Byte* P) { return static_cast<std::uint16_t>(P[0] | (P[1] << 8)); }
inline std::uint32_t Le32(const Byte* P) {
  return P[0] | (P[1] << 8) | (P[2] << 16) | (static_cast<std::uint32_t>(P[3]) << 24);
}
inline void Put16(Byte* P, unsigned V) { P[0] = static_cast<Byte>(V), P[1] = static_cast<Byte>(V >> 8); }
inline void Put32(Byte* P, std::uint32_t V) {
  for (int i = 0; i < 4; ++i) P[i] = static_cast<Byte>(V >> (8 * i));
}

// The bitmap a BMP file is read into.
class TDibTarget : public TBmpTarget {
 public:
  explicit TDibTarget(DibImage& Img) : FImg(Img) {}
  Byte* Create(int Width, int Height, TBmpFormat Format, const std::vector<TBmpColor>& Colors) override {
    static_assert(sizeof(TBmpColor) == sizeof(RGBQUAD));
    std::vector<RGBQUAD> C(Colors.size());
    if (!Colors.empty()) std::memcpy(C.data(), Colors.data(), Colors.size() * sizeof(RGBQUAD));
    TPixelFormat F = pf32bit;
    switch (Format) {
      case TBmpFormat::Bits1: F = pf1bit; break;
      case TBmpFormat::Bits4: F = pf4bit; break;
      case TBmpFormat::Bits8: F = pf8bit; break;
      case TBmpFormat::Rgb555: F = pf15bit; break;
      case TBmpFormat::Rgb565: F = pf16bit; break;
      case TBmpFormat::Bits24: F = pf24bit; break;
      case TBmpFormat::Bits32: F = pf32bit; break;
    }
    CreateImage(FImg, Width, Height, F, C, false);
    return FImg.Bits;
  }

 private:
  DibImage& FImg;
};

}  // namespace

void TBitmap::LoadFromStream(TStream& Stream) {
  if (Stream.Size() - Stream.Position() <= 0) {
    FreeImage();
    Changed(this);
    return;
  }
  DibImage img;
  TDibTarget Target(img);
  ReadBmpFile(Stream, Target);
  TakeImage(img);
  Changed(this);
}

void TBitmap::SaveToStream(TStream& Stream) {
  if (Empty()) return;
  GdiFlush();
  const int bits = BitsOf(FPixelFormat);
  const std::uint32_t colorBytes = IsPaletteFormat(FPixelFormat) ? static_cast<std::uint32_t>(FColors.size()) * 4 : 0;
  const std::uint32_t maskBytes = FPixelFormat == pf16bit ? 12 : 0;
  const std::uint32_t offBits = 14 + 40 + maskBytes + colorBytes;
  const std::uint32_t imageBytes = static_cast<std::uint32_t>(FStride) * FHeight;
  std::vector<Byte> head(offBits, 0);
  Byte* p = head.data();
  p[0] = 'B';
  p[1] = 'M';
  Put32(p + 2, offBits + imageBytes);
  Put32(p + 10, offBits);
  Byte* ih = p + 14;
  Put32(ih, 40);
  Put32(ih + 4, FWidth);
  Put32(ih + 8, FHeight);
  Put16(ih + 12, 1);
  Put16(ih + 14, bits);
  Put32(ih + 16, FPixelFormat == pf16bit ? BI_BITFIELDS : BI_RGB);
  Put32(ih + 20, imageBytes);
  Put32(ih + 32, colorBytes / 4);
  Byte* q = ih + 40;
  if (maskBytes) {
    Put32(q, 0xF800);
    Put32(q + 4, 0x07E0);
    Put32(q + 8, 0x001F);
    q += 12;
  }
  for (const RGBQUAD& c : (IsPaletteFormat(FPixelFormat) ? FColors : std::vector<RGBQUAD>{})) {
    q[0] = c.rgbBlue, q[1] = c.rgbGreen, q[2] = c.rgbRed, q[3] = 0;
    q += 4;
  }
  Stream.WriteBuffer(head.data(), head.size());
  Stream.WriteBuffer(FBits, imageBytes);
}

namespace {

void LoadBitmapResource(TBitmap& B, HINSTANCE Instance, LPCSTR Name, const AnsiString& Shown) {
  HRSRC res = FindResourceA(Instance, Name, reinterpret_cast<LPCSTR>(RT_BITMAP));
  HGLOBAL data = res ? LoadResource(Instance, res) : nullptr;
  const void* bytes = data ? LockResource(data) : nullptr;
  if (!bytes) throw EResNotFound(Format("Resource %s not found", Shown));
  const DWORD size = SizeofResource(Instance, res);
  // A bitmap resource is a BMP file without its file header.
  std::vector<Byte> file(14 + static_cast<std::size_t>(size), 0);
  file[0] = 'B';
  file[1] = 'M';
  Put32(file.data() + 2, static_cast<std::uint32_t>(file.size()));
  std::memcpy(file.data() + 14, bytes, size);
  TReadOnlyMemoryStream s(file.data(), static_cast<std::int64_t>(file.size()));
  B.LoadFromStream(s);
}

}  // namespace

void TBitmap::LoadFromResourceName(HINSTANCE Instance, const AnsiString& ResName) {
  LoadBitmapResource(*this, Instance, ResName.c_str(), ResName);
}

void TBitmap::LoadFromResourceID(HINSTANCE Instance, int ResID) {
  LoadBitmapResource(*this, Instance, MAKEINTRESOURCEA(ResID), Format("%d", ResID));
}

// =============================================================================================
// TIcon

namespace {

[[noreturn]] void BadIcon(const char* Why) { throw EInvalidGraphic(Format("Icon image is not valid: %s", Why)); }

void IconSize(HICON Icon, int& W, int& H) {
  W = H = 0;
  ICONINFO ii{};
  if (!GetIconInfo(Icon, &ii)) return;
  BITMAP bm{};
  if (ii.hbmColor && GetObjectA(ii.hbmColor, sizeof(bm), &bm)) {
    W = bm.bmWidth;
    H = bm.bmHeight;
  } else if (ii.hbmMask && GetObjectA(ii.hbmMask, sizeof(bm), &bm)) {
    W = bm.bmWidth;
    H = bm.bmHeight / 2;
  }
  if (ii.hbmColor) DeleteObject(ii.hbmColor);
  if (ii.hbmMask) DeleteObject(ii.hbmMask);
}

}  // namespace

TIcon::TIcon() { FTransparent = true; }

TIcon::~TIcon() {
  if (FHandle) DestroyIcon(FHandle);
}

void TIcon::Reset(HICON Value, int W, int H, std::vector<Byte> Data) {
  HICON old = FHandle;
  FHandle = Value;
  FWidth = Value ? W : 0;
  FHeight = Value ? H : 0;
  FData = std::move(Data);
  if (old && old != Value) DestroyIcon(old);
  Changed(this);
}

void TIcon::Assign(TPersistent* Source) {
  if (Source == this) return;
  if (Source == nullptr) {
    Reset(nullptr, 0, 0, {});
    return;
  }
  if (auto* i = dynamic_cast<TIcon*>(Source)) {
    HICON copy = i->FHandle ? CopyIcon(i->FHandle) : nullptr;
    if (i->FHandle && !copy) OutOfResources();
    Reset(copy, i->FWidth, i->FHeight, i->FData);
    return;
  }
  TGraphic::Assign(Source);
}

void TIcon::SetWidth(int Value) {
  if (Value != FWidth) throw EInvalidGraphicOperation("Cannot change the size of an icon");
}

void TIcon::SetHeight(int Value) {
  if (Value != FHeight) throw EInvalidGraphicOperation("Cannot change the size of an icon");
}

void TIcon::SetHandle(HICON Value) {
  if (Value == FHandle) return;
  int w = 0, h = 0;
  if (Value) IconSize(Value, w, h);
  Reset(Value, w, h, {});
}

HICON TIcon::ReleaseHandle() {
  HICON h = FHandle;
  FHandle = nullptr;
  FWidth = FHeight = 0;
  FData.clear();
  if (h) Changed(this);
  return h;
}

void TIcon::LoadFromStream(TStream& Stream) {
  const std::int64_t start = Stream.Position();
  TIconFileImage Image = ReadIconFile(Stream);
  int w = Image.Width, h = Image.Height;
  HICON icon = CreateIconFromResourceEx(Image.Data.data(), static_cast<DWORD>(Image.Data.size()), TRUE, 0x00030000,
                                        w, h, LR_DEFAULTCOLOR);
  if (!icon) BadIcon("the system refused the image");
  if (w == 0 || h == 0) IconSize(icon, w, h);
  Stream.Seek(start + Image.End, soBeginning);
  Reset(icon, w, h, std::move(Image.Data));
}

void TIcon::SaveToStream(TStream& Stream) {
  if (!FHandle) return;
  std::vector<Byte> image = FData;
  int bits = 32;
  if (image.empty()) {
    ICONINFO ii{};
    if (!GetIconInfo(FHandle, &ii)) OutOfResources();
    TBitmap color, mask;
    try {
      mask.AssignHandle(ii.hbmMask);
      if (ii.hbmColor) {
        color.AssignHandle(ii.hbmColor);
        color.SetPixelFormat(pf32bit);
      }
    } catch (...) {
      if (ii.hbmColor) DeleteObject(ii.hbmColor);
      if (ii.hbmMask) DeleteObject(ii.hbmMask);
      throw;
    }
    if (ii.hbmColor) DeleteObject(ii.hbmColor);
    if (ii.hbmMask) DeleteObject(ii.hbmMask);
    // Through 24 bits to 1 bit: the mask gets the black-and-white table, white (1) = transparent.
    mask.SetPixelFormat(pf24bit);
    mask.SetPixelFormat(pf1bit);
    const int w = mask.Width();
    const int h = ii.hbmColor ? color.Height() : mask.Height() / 2;
    bits = ii.hbmColor ? 32 : 1;
    const int xorStride = StrideOf(w, bits), andStride = StrideOf(w, 1);
    const std::uint32_t colors = bits == 1 ? 2 : 0;
    image.assign(40 + colors * 4 + static_cast<std::size_t>(xorStride + andStride) * h, 0);
    Byte* p = image.data();
    Put32(p, 40);
    Put32(p + 4, w);
    Put32(p + 8, 2 * h);
    Put16(p + 12, 1);
    Put16(p + 14, bits);
    Put32(p + 20, (xorStride + andStride) * h);
    Byte* q = p + 40;
    if (colors) {
      Put32(q + 4, 0x00FFFFFF);  // black, white
      q += 8;
    }
    // A monochrome icon's mask holds the AND mask above the XOR image.
    TBitmap& xorSource = ii.hbmColor ? color : mask;
    const int xorTop = ii.hbmColor ? 0 : h;
    for (int y = h - 1; y >= 0; --y, q += xorStride)
      std::memcpy(q, xorSource.ScanLine(xorTop + y), std::min(xorStride, StrideOf(w, bits)));
    for (int y = h - 1; y >= 0; --y, q += andStride) std::memcpy(q, mask.ScanLine(y), andStride);
  } else if (image.size() >= 16) {
    bits = Le16(image.data() + 14);
  }
  Byte head[22] = {};
  Put16(head + 2, 1);
  Put16(head + 4, 1);
  head[6] = static_cast<Byte>(FWidth >= 256 ? 0 : FWidth);
  head[7] = static_cast<Byte>(FHeight >= 256 ? 0 : FHeight);
  head[8] = static_cast<Byte>(bits < 8 ? 1 << bits : 0);
  Put16(head + 10, 1);
  Put16(head + 12, bits);
  Put32(head + 14, static_cast<std::uint32_t>(image.size()));
  Put32(head + 18, 22);
  Stream.WriteBuffer(head, sizeof(head));
  Stream.WriteBuffer(image.data(), static_cast<std::int64_t>(image.size()));
}

void TIcon::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (!FHandle) return;
  DrawIconEx(ACanvas->Handle(), Rect.Left, Rect.Top, FHandle, Rect.Width(), Rect.Height(), 0, nullptr, DI_NORMAL);
}

// =============================================================================================
// TPicture and the file-format registry

namespace {

struct FileFormat {
  AnsiString Extension;  // lower case, without the dot
  AnsiString Description;
  AnsiString ClassName;
  TGraphicFactory Factory;
};

AnsiString NormalExtension(const AnsiString& Ext) {
  AnsiString e = Ext;
  if (!e.empty() && e[0] == '.') e.erase(0, 1);
  return LowerCase(e);
}

std::vector<FileFormat>& Formats() {
  static std::vector<FileFormat> formats{
      {"bmp", "Bitmaps", "TBitmap", [] { return static_cast<TGraphic*>(new TBitmap); }},
      {"ico", "Icons", "TIcon", [] { return static_cast<TGraphic*>(new TIcon); }},
  };
  return formats;
}

const FileFormat* FindFormat(const AnsiString& Ext) {
  AnsiString e = NormalExtension(Ext);
  for (const FileFormat& f : Formats())
    if (f.Extension == e) return &f;
  return nullptr;
}

}  // namespace

void TPicture::RegisterFileFormat(const AnsiString& Extension, const AnsiString& Description, TGraphicFactory Factory) {
  AnsiString e = NormalExtension(Extension);
  if (e.empty() || !Factory) throw EInvalidGraphic("Invalid file format registration");
  std::unique_ptr<TGraphic> sample(Factory());
  if (!sample) throw EInvalidGraphic("Invalid file format registration");
  FileFormat f{e, Description, sample->ClassName(), std::move(Factory)};
  for (FileFormat& old : Formats()) {
    if (old.Extension == e) {
      old = std::move(f);
      return;
    }
  }
  Formats().push_back(std::move(f));
}

void TPicture::UnregisterGraphicClass(const AnsiString& ClassName) {
  auto& v = Formats();
  v.erase(std::remove_if(v.begin(), v.end(), [&](const FileFormat& f) { return SameText(f.ClassName, ClassName); }),
          v.end());
}

AnsiString TPicture::GraphicClassNameFor(const AnsiString& Extension) {
  const FileFormat* f = FindFormat(Extension);
  return f ? f->ClassName : AnsiString();
}

AnsiString TPicture::FileFormatDescription(const AnsiString& Extension) {
  const FileFormat* f = FindFormat(Extension);
  return f ? f->Description : AnsiString();
}

TGraphic* TPicture::CreateGraphicFor(const AnsiString& Extension) {
  const FileFormat* f = FindFormat(Extension);
  return f ? f->Factory() : nullptr;
}

TPicture::TPicture() = default;

TPicture::~TPicture() {
  if (FGraphic) FGraphic->OnChange = nullptr;
}

void TPicture::Changed(TObject*) {
  if (OnChange) OnChange(this);
}

void TPicture::Replace(TGraphic* NewGraphic) {
  std::unique_ptr<TGraphic> old = std::move(FGraphic);
  FGraphic.reset(NewGraphic);
  if (FGraphic) FGraphic->OnChange = [this](TObject* s) { Changed(s); };
  old.reset();
  Changed(this);
}

void TPicture::SetGraphic(TGraphic* Value) {
  if (!Value) {
    Replace(nullptr);
    return;
  }
  if (Value == FGraphic.get()) return;
  std::unique_ptr<TGraphic> copy;
  for (const FileFormat& f : Formats()) {
    if (SameText(f.ClassName, Value->ClassName())) {
      copy.reset(f.Factory());
      break;
    }
  }
  if (!copy) {
    if (dynamic_cast<TBitmap*>(Value)) copy = std::make_unique<TBitmap>();
    else if (dynamic_cast<TIcon*>(Value)) copy = std::make_unique<TIcon>();
    else throw EInvalidGraphic(Format("Cannot copy a graphic of class %s", Value->ClassName()));
  }
  copy->Assign(Value);
  Replace(copy.release());
}

void TPicture::Assign(TPersistent* Source) {
  if (Source == this) return;
  if (!Source) {
    Replace(nullptr);
  } else if (auto* p = dynamic_cast<TPicture*>(Source)) {
    SetGraphic(p->Graphic());
  } else if (auto* g = dynamic_cast<TGraphic*>(Source)) {
    SetGraphic(g);
  } else {
    TPersistent::Assign(Source);
  }
}

TBitmap* TPicture::Bitmap() {
  auto* b = dynamic_cast<TBitmap*>(FGraphic.get());
  if (!b) {
    b = new TBitmap;
    Replace(b);
  }
  return b;
}

TIcon* TPicture::Icon() {
  auto* i = dynamic_cast<TIcon*>(FGraphic.get());
  if (!i) {
    i = new TIcon;
    Replace(i);
  }
  return i;
}

void TPicture::LoadFromFile(const AnsiString& FileName) {
  AnsiString ext = NormalExtension(ExtractFileExt(FileName));
  const FileFormat* f = FindFormat(ext);
  if (!f) throw EInvalidGraphic(Format("Unknown picture file extension (.%s)", ext));
  std::unique_ptr<TGraphic> g(f->Factory());
  g->LoadFromFile(FileName);
  Replace(g.release());
}

void TPicture::SaveToFile(const AnsiString& FileName) {
  if (FGraphic) FGraphic->SaveToFile(FileName);
}
