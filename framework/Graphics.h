// Graphics of the framework: colours, fonts, brushes, pens, canvases over device contexts, and
// the graphic classes (bitmaps, icons, pictures) with their file formats. Win32.
//
// <windows.h> is included here on purpose: several method names (TextOut, ...) are also
// macros of the platform headers, and every unit that sees these classes must see them through
// the same macros so that the names agree. Implementations call the explicit A/W functions.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <type_traits>
#include <vector>

#include "framework/BmpFile.h"
#include "framework/Exceptions.h"
#include "framework/Lists.h"
#include "framework/Persistent.h"
#include "framework/Types.h"

class TStream;
class TCanvas;
class TGraphic;
class TBitmap;
class TIcon;
class TBitmapCanvas;
namespace detail {
struct DibImage;
}

// ---------------------------------------------------------------------------------------------
// Colours

// 0x00BBGGRR. A value whose top byte is 0x80 names a system colour (0x80000000 | COLOR_xxx).
using TColor = std::int32_t;

constexpr TColor SystemColor(int Index) { return static_cast<TColor>(0x80000000u | static_cast<unsigned>(Index)); }

inline constexpr TColor clScrollBar = SystemColor(COLOR_SCROLLBAR);
inline constexpr TColor clBackground = SystemColor(COLOR_BACKGROUND);
inline constexpr TColor clActiveCaption = SystemColor(COLOR_ACTIVECAPTION);
inline constexpr TColor clInactiveCaption = SystemColor(COLOR_INACTIVECAPTION);
inline constexpr TColor clMenu = SystemColor(COLOR_MENU);
inline constexpr TColor clWindow = SystemColor(COLOR_WINDOW);
inline constexpr TColor clWindowFrame = SystemColor(COLOR_WINDOWFRAME);
inline constexpr TColor clMenuText = SystemColor(COLOR_MENUTEXT);
inline constexpr TColor clWindowText = SystemColor(COLOR_WINDOWTEXT);
inline constexpr TColor clCaptionText = SystemColor(COLOR_CAPTIONTEXT);
inline constexpr TColor clActiveBorder = SystemColor(COLOR_ACTIVEBORDER);
inline constexpr TColor clInactiveBorder = SystemColor(COLOR_INACTIVEBORDER);
inline constexpr TColor clAppWorkSpace = SystemColor(COLOR_APPWORKSPACE);
inline constexpr TColor clHighlight = SystemColor(COLOR_HIGHLIGHT);
inline constexpr TColor clHighlightText = SystemColor(COLOR_HIGHLIGHTTEXT);
inline constexpr TColor clBtnFace = SystemColor(COLOR_BTNFACE);
inline constexpr TColor clBtnShadow = SystemColor(COLOR_BTNSHADOW);
inline constexpr TColor clGrayText = SystemColor(COLOR_GRAYTEXT);
inline constexpr TColor clBtnText = SystemColor(COLOR_BTNTEXT);
inline constexpr TColor clInactiveCaptionText = SystemColor(COLOR_INACTIVECAPTIONTEXT);
inline constexpr TColor clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT);
inline constexpr TColor cl3DDkShadow = SystemColor(COLOR_3DDKSHADOW);
inline constexpr TColor cl3DLight = SystemColor(COLOR_3DLIGHT);
inline constexpr TColor clInfoText = SystemColor(COLOR_INFOTEXT);
inline constexpr TColor clInfoBk = SystemColor(COLOR_INFOBK);
inline constexpr TColor clHotLight = SystemColor(COLOR_HOTLIGHT);
inline constexpr TColor clGradientActiveCaption = SystemColor(COLOR_GRADIENTACTIVECAPTION);
inline constexpr TColor clGradientInactiveCaption = SystemColor(COLOR_GRADIENTINACTIVECAPTION);
inline constexpr TColor clMenuHighlight = SystemColor(COLOR_MENUHILIGHT);
inline constexpr TColor clMenuBar = SystemColor(COLOR_MENUBAR);

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clLtGray = 0xC0C0C0;
inline constexpr TColor clDkGray = 0x808080;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clMoneyGreen = 0xC0DCC0;
inline constexpr TColor clSkyBlue = 0xF0CAA6;
inline constexpr TColor clCream = 0xF0FBFF;
inline constexpr TColor clMedGray = 0xA4A0A0;
// "No colour" and "the default colour of whatever uses it".
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

// The RGB value of a colour: system colours through GetSysColor, every other value unchanged.
COLORREF ColorToRGB(TColor Color);
// Colour names ("clBtnFace", "clRed" ...) as used in stored descriptions. IdentToColor answers
// false for an unknown name; ColorToIdent false for a value without a name.
bool IdentToColor(const AnsiString& Ident, TColor& Color);
bool ColorToIdent(TColor Color, AnsiString& Ident);
// A colour name, or "$00BBGGRR" (8 hex digits) for a value without one.
AnsiString ColorToString(TColor Color);
// A colour name, or a number ("$FF00FF", "16711935", "-2147483633"); EConvertError otherwise.
TColor StringToColor(const AnsiString& S);

// ---------------------------------------------------------------------------------------------
// Graphics objects: font, brush, pen

// The base of fonts, brushes and pens: every property change fires OnChange (sender = this).
class TGraphicsObject : public TPersistent {
  T_CLASS(TGraphicsObject, TPersistent)

 public:
  TNotifyEvent OnChange;

 protected:
  virtual void Changed();
  // Puts New in the place of the GDI object in Handle (nullptr: made again on demand) and lets go
  // of the old one: the listeners hear of the change first (a canvas that has the old object
  // selected deselects it), and only then is the old object deleted.
  template <class THandle>
  void ReplaceHandle(THandle& Handle, std::type_identity_t<THandle> New) {
    THandle Old = Handle;
    Handle = New;
    Changed();
    if (Old) DeleteObject(Old);
  }
};

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;
enum TFontPitch { fpDefault, fpVariable, fpFixed };
using TFontCharset = Byte;

// A logical font. Its HFONT is made on demand from the properties, kept until a property that
// shapes it changes (a colour change keeps it), and deleted with the font.
class TFont : public TGraphicsObject {
  T_CLASS(TFont, TGraphicsObject)

 public:
  TFont();
  ~TFont() override;

  // Copies every property of another TFont (one change notice); other sources as TPersistent.
  void Assign(TPersistent* Source) override;

  HFONT Handle();
  // Adopts a font handle: the properties are read from its LOGFONT and the font owns and later
  // deletes the handle. 0 just drops the current handle.
  void SetHandle(HFONT Value);
  bool HandleAllocated() const { return FHandle != nullptr; }

  const AnsiString& Name() const { return FName; }
  void SetName(const AnsiString& Value);
  // Cell height in pixels; negative values give the character height (the usual form).
  int Height() const { return FHeight; }
  void SetHeight(int Value);
  // Size in points, converted through PixelsPerInch: Height = -Size * PixelsPerInch / 72.
  int Size() const;
  void SetSize(int Value);
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles Value);
  TFontCharset Charset() const { return FCharset; }
  void SetCharset(TFontCharset Value);
  TFontPitch Pitch() const { return FPitch; }
  void SetPitch(TFontPitch Value);
  // The resolution used for Size (the screen's, 96 under the pinned test setup).
  int PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int Value) { FPixelsPerInch = Value > 0 ? Value : FPixelsPerInch; }

  // The resolution of the screen (LOGPIXELSY).
  static int ScreenPixelsPerInch();

 private:
  void FontChanged();  // a shaping property changed: drop the handle, notify
  HFONT FHandle = nullptr;
  AnsiString FName = "MS Sans Serif";
  int FHeight = -11;
  TColor FColor = clWindowText;
  TFontStyles FStyle;
  TFontCharset FCharset = DEFAULT_CHARSET;
  TFontPitch FPitch = fpDefault;
  int FPixelsPerInch;
};

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

// A logical brush: a solid colour, no fill (bsClear), a hatch in the brush colour, or a pattern
// from a bitmap (Bitmap is not owned; it must outlive the brush or be reset to nullptr).
class TBrush : public TGraphicsObject {
  T_CLASS(TBrush, TGraphicsObject)

 public:
  TBrush() = default;
  ~TBrush() override;

  void Assign(TPersistent* Source) override;

  HBRUSH Handle();
  // Adopts a brush handle: colour and style from its LOGBRUSH; the brush owns the handle.
  void SetHandle(HBRUSH Value);
  bool HandleAllocated() const { return FHandle != nullptr; }

  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TBrushStyle Style() const { return FStyle; }
  void SetStyle(TBrushStyle Value);
  TBitmap* Bitmap() const { return FBitmap; }
  void SetBitmap(TBitmap* Value);

 private:
  void BrushChanged();
  HBRUSH FHandle = nullptr;
  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
  TBitmap* FBitmap = nullptr;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
// Raster operations of lines and frames (applied to the device context by the canvas).
enum TPenMode {
  pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
  pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};

class TPen : public TGraphicsObject {
  T_CLASS(TPen, TGraphicsObject)

 public:
  TPen() = default;
  ~TPen() override;

  void Assign(TPersistent* Source) override;

  HPEN Handle();
  // Adopts a pen handle: colour, width and style from its LOGPEN; the pen owns the handle.
  void SetHandle(HPEN Value);
  bool HandleAllocated() const { return FHandle != nullptr; }

  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  int Width() const { return FWidth; }
  void SetWidth(int Value);
  TPenStyle Style() const { return FStyle; }
  void SetStyle(TPenStyle Value);
  // The mode does not shape the HPEN; a change only notifies.
  TPenMode Mode() const { return FMode; }
  void SetMode(TPenMode Value);

  // The R2_xxx code of a pen mode.
  static int RopCode(TPenMode Mode);

 private:
  void PenChanged();
  HPEN FHandle = nullptr;
  TColor FColor = clBlack;
  int FWidth = 1;
  TPenStyle FStyle = psSolid;
  TPenMode FMode = pmCopy;
};

// ---------------------------------------------------------------------------------------------
// Canvas

// Raster operation codes of CopyRect and of drawing bitmaps.
using TCopyMode = DWORD;
inline constexpr TCopyMode cmBlackness = BLACKNESS;
inline constexpr TCopyMode cmDstInvert = DSTINVERT;
inline constexpr TCopyMode cmMergeCopy = MERGECOPY;
inline constexpr TCopyMode cmMergePaint = MERGEPAINT;
inline constexpr TCopyMode cmNotSrcCopy = NOTSRCCOPY;
inline constexpr TCopyMode cmNotSrcErase = NOTSRCERASE;
inline constexpr TCopyMode cmPatCopy = PATCOPY;
inline constexpr TCopyMode cmPatInvert = PATINVERT;
inline constexpr TCopyMode cmPatPaint = PATPAINT;
inline constexpr TCopyMode cmSrcAnd = SRCAND;
inline constexpr TCopyMode cmSrcCopy = SRCCOPY;
inline constexpr TCopyMode cmSrcErase = SRCERASE;
inline constexpr TCopyMode cmSrcInvert = SRCINVERT;
inline constexpr TCopyMode cmSrcPaint = SRCPAINT;
inline constexpr TCopyMode cmWhiteness = WHITENESS;

// Formatting of TextRect's formatted form; each maps to one DT_xxx flag (tfLeft and tfTop are 0).
enum TTextFormats {
  tfBottom, tfCalcRect, tfCenter, tfEditControl, tfEndEllipsis, tfPathEllipsis, tfExpandTabs,
  tfExternalLeading, tfLeft, tfModifyString, tfNoClip, tfNoPrefix, tfRight, tfRtlReading,
  tfSingleLine, tfTop, tfVerticalCenter, tfWordBreak, tfHidePrefix, tfNoFullWidthCharBreak,
  tfPrefixOnly, tfTabStop, tfWordEllipsis
};
using TTextFormat = TSet<TTextFormats>;
// The DT_xxx flags of a text format.
UINT TextFormatFlags(TTextFormat Format);

// Memory DCs for painting, taken from six that the program keeps for its painting thread (the
// first that asks; other threads get new ones): the system takes tens of microseconds to make one
// when many windows are painting, and pictures are made and dropped at every paint. Bitmaps'
// canvases, which keep theirs, take a kept one only while more than two are free. A kept DC goes
// back to the state it was made in (everything a DC holds: selected objects, clipping, origins,
// modes) before it is taken again.
HDC TakeMemoryDC();
// Gives back a DC from TakeMemoryDC (deleted when it is not one of the kept ones).
void GiveBackMemoryDC(HDC DC);
// A memory DC from TakeMemoryDC for the life of the object; 0 when none could be made.
class TScratchDC {
 public:
  TScratchDC() : FHandle(TakeMemoryDC()) {}
  ~TScratchDC() { GiveBackMemoryDC(FHandle); }
  TScratchDC(const TScratchDC&) = delete;
  TScratchDC& operator=(const TScratchDC&) = delete;
  HDC Handle() const { return FHandle; }

 private:
  HDC FHandle;
};

// Drawing on a device context with an owned font, brush and pen that are selected into the DC
// as needed (and re-selected after they change). A canvas adopts a DC through SetHandle without
// owning it; subclasses make their DC lazily in CreateHandle (a control's canvas, a bitmap's
// canvas). Every drawing operation fires OnChanging before and OnChange after it draws.
class TCanvas : public TPersistent {
  T_CLASS(TCanvas, TPersistent)

 public:
  TCanvas();
  ~TCanvas() override;

  // The device context with the canvas's font (and its colour), pen and brush selected; calls
  // CreateHandle when there is none and raises EInvalidOperation "Canvas does not allow drawing"
  // when there still is none.
  HDC Handle();
  // Adopts a DC (not owned). Giving another DC or 0 first deselects the canvas's objects from the
  // previous DC (stock objects go back in).
  void SetHandle(HDC Value);
  bool HandleAllocated() const { return FHandle != nullptr; }

  TFont* Font() { return FFont.get(); }
  TBrush* Brush() { return FBrush.get(); }
  TPen* Pen() { return FPen.get(); }
  // Copy the given object's properties into the canvas's own (Assign).
  void SetFont(TFont* Value) { FFont->Assign(Value); }
  void SetBrush(TBrush* Value) { FBrush->Assign(Value); }
  void SetPen(TPen* Value) { FPen->Assign(Value); }

  TCopyMode CopyMode() const { return FCopyMode; }
  void SetCopyMode(TCopyMode Value) { FCopyMode = Value; }
  // ETO_xxx options added to TextOut and TextRect (ETO_RTLREADING ...).
  int TextFlags() const { return FTextFlags; }
  void SetTextFlags(int Value) { FTextFlags = Value; }

  // A recursive lock for painting from more than one thread; LockCount counts nesting.
  void Lock();
  void Unlock();
  bool TryLock();
  int LockCount() const { return FLockCount; }

  // Deselects the font, brush and pen from the DC; they are selected again on the next draw.
  void Refresh();
  // The DC with none of the canvas's own objects selected, for a state to be saved on it
  // (SaveDC): restoring that state later never selects a font, pen or brush the canvas has
  // replaced and freed meanwhile.
  HDC HandleForSavedState();

  // The bounds of the DC's clipping region (GetClipBox).
  TRect ClipRect();
  TPoint PenPos();
  void SetPenPos(TPoint Value) { MoveTo(Value.X, Value.Y); }
  // The colour of a pixel (CLR_INVALID, i.e. -1, outside the clipping region or the surface).
  TColor Pixels(int X, int Y);
  void SetPixels(int X, int Y, TColor Value);

  void MoveTo(int X, int Y);
  // A line to (X, Y) with the pen; the end point itself is not drawn.
  void LineTo(int X, int Y);
  void Polyline(const TPoint* Points, int Count);
  void Polyline(const std::vector<TPoint>& Points) { Polyline(Points.data(), static_cast<int>(Points.size())); }
  void Polygon(const TPoint* Points, int Count);
  void Polygon(const std::vector<TPoint>& Points) { Polygon(Points.data(), static_cast<int>(Points.size())); }
  void Rectangle(int X1, int Y1, int X2, int Y2);
  void Rectangle(const TRect& R) { Rectangle(R.Left, R.Top, R.Right, R.Bottom); }
  void RoundRect(int X1, int Y1, int X2, int Y2, int X3, int Y3);
  void Ellipse(int X1, int Y1, int X2, int Y2);
  void Ellipse(const TRect& R) { Ellipse(R.Left, R.Top, R.Right, R.Bottom); }
  // Fills with the brush (FillRect), outlines one pixel wide with the brush (FrameRect).
  void FillRect(const TRect& R);
  void FrameRect(const TRect& R);
  // The dotted XOR focus rectangle; drawing it twice removes it.
  void DrawFocusRect(const TRect& R);

  // Text in the font at (X, Y); the background is filled with the brush colour unless the brush
  // is bsClear. The pen position moves to the end of the text.
  void TextOut(int X, int Y, const AnsiString& Text);
  void TextOut(int X, int Y, const WideString& Text);
  void TextOut(int X, int Y, const char* Text) { TextOut(X, Y, AnsiString(Text)); }
  void TextOut(int X, int Y, const wchar_t* Text) { TextOut(X, Y, WideString(Text)); }
  // Text at (X, Y) clipped to R; R is also filled with the brush unless the brush is bsClear.
  void TextRect(const TRect& R, int X, int Y, const AnsiString& Text);
  void TextRect(const TRect& R, int X, int Y, const WideString& Text);
  void TextRect(const TRect& R, int X, int Y, const char* Text) { TextRect(R, X, Y, AnsiString(Text)); }
  void TextRect(const TRect& R, int X, int Y, const wchar_t* Text) { TextRect(R, X, Y, WideString(Text)); }
  // Text formatted into R (DrawTextEx): tfCalcRect only measures and updates R, tfModifyString
  // lets an ellipsis change Text.
  void TextRect(TRect& R, AnsiString& Text, TTextFormat Format);
  void TextRect(TRect& R, WideString& Text, TTextFormat Format);
  TSize TextExtent(const AnsiString& Text);
  TSize TextExtent(const WideString& Text);
  int TextWidth(const AnsiString& Text) { return TextExtent(Text).cx; }
  int TextWidth(const WideString& Text) { return TextExtent(Text).cx; }
  int TextHeight(const AnsiString& Text) { return TextExtent(Text).cy; }
  int TextHeight(const WideString& Text) { return TextExtent(Text).cy; }
  TSize TextExtent(const char* Text) { return TextExtent(AnsiString(Text)); }
  TSize TextExtent(const wchar_t* Text) { return TextExtent(WideString(Text)); }
  int TextWidth(const char* Text) { return TextExtent(AnsiString(Text)).cx; }
  int TextWidth(const wchar_t* Text) { return TextExtent(WideString(Text)).cx; }
  int TextHeight(const char* Text) { return TextExtent(AnsiString(Text)).cy; }
  int TextHeight(const wchar_t* Text) { return TextExtent(WideString(Text)).cy; }

  // Draws a graphic at its own size with its top-left corner at (X, Y) / stretched into R.
  // Nothing happens for a null or empty graphic.
  void Draw(int X, int Y, TGraphic* Graphic);
  void StretchDraw(const TRect& R, TGraphic* Graphic);
  // Copies Source of another canvas into Dest of this one with CopyMode (stretching as needed).
  void CopyRect(const TRect& Dest, TCanvas* Canvas, const TRect& Source);

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  enum TCanvasState { csHandleValid, csFontValid, csPenValid, csBrushValid };
  using TCanvasStates = TSet<TCanvasState>;

  // Makes a DC for a canvas that provides its own (the base does nothing). An override calls
  // SetHandle with the new DC.
  virtual void CreateHandle() {}
  // Makes sure the DC exists and the listed objects are selected into it.
  void RequiredState(TCanvasStates ReqState);
  // Selects the stock pen, brush and font back into the DC so that the canvas's objects can be
  // deleted; a subclass calls this before it frees its DC.
  void DeselectHandles();
  virtual void Changing();
  virtual void Changed();

  HDC FHandle = nullptr;
  TCanvasStates FState;

 private:
  void FontChanged(TObject*);
  void PenChanged(TObject*);
  void BrushChanged(TObject*);
  void SelectFont();
  void SelectPen();
  void SelectBrush();

  std::unique_ptr<TFont> FFont;
  std::unique_ptr<TBrush> FBrush;
  std::unique_ptr<TPen> FPen;
  TCopyMode FCopyMode = cmSrcCopy;
  int FTextFlags = 0;
  std::recursive_mutex FLock;
  int FLockCount = 0;
};

// ---------------------------------------------------------------------------------------------
// Graphic classes

enum TProgressStage { psStarting, psRunning, psEnding };
using TProgressEvent = std::function<void(TObject* Sender, TProgressStage Stage, Byte PercentDone,
                                          bool RedrawNow, const TRect& R, const AnsiString& Msg)>;

// An image that can draw itself on a canvas and be read from and written to streams and files.
class TGraphic : public TPersistent {
  T_CLASS(TGraphic, TPersistent)
  friend class TCanvas;

 public:
  TGraphic() = default;

  virtual bool Empty() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetWidth(int Value) = 0;
  virtual void SetHeight(int Value) = 0;
  // Drawn with a transparent colour or mask when true.
  virtual bool Transparent() const { return FTransparent; }
  virtual void SetTransparent(bool Value);
  // Set by every change; the owner clears it.
  bool Modified() const { return FModified; }
  void SetModified(bool Value);

  // Reads one image from the stream's position; on return the stream stands after it. Raises
  // EInvalidGraphic for data that is not a valid image of the class.
  virtual void LoadFromStream(TStream& Stream) = 0;
  virtual void SaveToStream(TStream& Stream) = 0;
  void LoadFromFile(const AnsiString& FileName);
  void SaveToFile(const AnsiString& FileName);

  TNotifyEvent OnChange;
  TProgressEvent OnProgress;

 protected:
  // Draws the graphic into Rect of the canvas (stretched to it).
  virtual void Draw(TCanvas* ACanvas, const TRect& Rect) = 0;
  // Sets Modified and fires OnChange.
  virtual void Changed(TObject* Sender);
  virtual void Progress(TObject* Sender, TProgressStage Stage, Byte PercentDone, bool RedrawNow,
                        const TRect& R, const AnsiString& Msg);

  bool FTransparent = false;
  bool FModified = false;
};

// A factory of one graphic class (for the picture's file formats).
using TGraphicFactory = std::function<TGraphic*()>;

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum TBitmapHandleType { bmDIB, bmDDB };
enum TTransparentMode { tmAuto, tmFixed };

// A bitmap held as a device-independent section, so that ScanLine gives its pixels.
//
// Formats: pf1bit, pf4bit, pf8bit (with a colour table), pf15bit (5-5-5), pf16bit (5-6-5),
// pf24bit (B, G, R), pf32bit (B, G, R, A). pfDevice is the screen's format, 32 bits per pixel
// here; it is what a new bitmap has, and its handle type reads bmDDB. Changing the format
// converts the pixels; palette formats get a fixed palette (1 bit: black and white; 4 bits: the
// 16 standard colours; 8 bits: a 6x6x6 colour cube and 40 greys). Colours without alpha become
// alpha 0 in 32-bit pixels, as the platform's drawing leaves them.
//
// Rows: ScanLine(0) is the top row; the section is stored bottom-up, so ScanLine(1) -
// ScanLine(0) is minus the row stride (each row is padded to 4 bytes).
//
// New pixels (a new bitmap, or the area a resize adds) are white.
class TBitmap : public TGraphic {
  T_CLASS(TBitmap, TGraphic)

 public:
  TBitmap();
  TBitmap(int AWidth, int AHeight, TPixelFormat Format = pfDevice);
  ~TBitmap() override;

  // Deep copy of another bitmap (pixels, format, colour table, transparency); nullptr empties.
  void Assign(TPersistent* Source) override;

  bool Empty() const override { return FWidth == 0 || FHeight == 0; }
  int Width() const override { return FWidth; }
  int Height() const override { return FHeight; }
  void SetWidth(int Value) override { SetSize(Value, FHeight); }
  void SetHeight(int Value) override { SetSize(FWidth, Value); }
  // Keeps the pixels of the common top-left area; new pixels are white. A side of 0 empties the
  // bitmap (the format is kept). Negative sides or more than 32768 per side or 2^28 pixels raise
  // EInvalidGraphic.
  void SetSize(int AWidth, int AHeight);
  // The same size change for a picture that is painted over whole at once: the pixels are left
  // as the system gives them (the old ones are not kept, the new ones not whitened).
  void SetSizeDiscarding(int AWidth, int AHeight);
  // SetSizeDiscarding for a picture made again at every size of a window (a form's image while
  // its border is dragged): the image keeps its memory while the new size fits in it and does not
  // leave most of it unused, and a new one has room to grow by an eighth each way. Fresh memory
  // costs the system far more to hand out than to paint. The section then has more rows and
  // columns than Width x Height: its handle is for selecting and copying from, by coordinates.
  // A palette format takes SetSizeDiscarding.
  void SetSizeWithRoom(int AWidth, int AHeight);

  TPixelFormat PixelFormat() const { return FPixelFormat; }
  // Converts the pixels; pfCustom raises EInvalidGraphic "Invalid pixel format".
  void SetPixelFormat(TPixelFormat Value);
  // bmDDB for pfDevice, bmDIB otherwise. bmDIB makes a pfDevice bitmap pf32bit (same pixels);
  // bmDDB converts to pfDevice.
  TBitmapHandleType HandleType() const { return FPixelFormat == pfDevice ? bmDDB : bmDIB; }
  void SetHandleType(TBitmapHandleType Value);
  // A 1-bit bitmap. Setting true converts to pf1bit, false to pfDevice.
  bool Monochrome() const { return FPixelFormat == pf1bit; }
  void SetMonochrome(bool Value);

  // The first byte of row Row (0 = top). Flushes pending drawing first. ERangeError
  // "Scan line index out of range" outside 0 .. Height - 1.
  void* ScanLine(int Row);

  // A canvas drawing on the bitmap, made on first use and kept (with its DC) for the life of
  // the bitmap; changing the size or format keeps the same DC. The DC holds the section while the
  // canvas draws (see Handle).
  TCanvas* Canvas();

  // The section handle (0 while empty); the bitmap keeps owning it. Reading it takes the
  // section out of the canvas's DC, so that it can be selected into another DC or handed to
  // calls that select it; the canvas (same DC) selects it again on its next use.
  HBITMAP Handle() const;
  // Adopts a bitmap handle (the bitmap owns it from now on): a section of 1, 4, 8, 16, 24 or
  // 32 bits is kept as it is; any other bitmap is copied into a new pfDevice section and deleted.
  // 0 empties the bitmap.
  void SetHandle(HBITMAP Value);
  // Gives the handle to the caller, who must delete it; the bitmap becomes empty.
  HBITMAP ReleaseHandle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  // Copies the pixels of a bitmap handle that stays the caller's.
  void AssignHandle(HBITMAP Value);

  // A palette of the colour table (palette formats), made on first use and owned by the bitmap.
  HPALETTE Palette();
  // Adopts a palette (owned from now on); for palette formats its first entries become the
  // colour table (the pixel indexes are kept).
  void SetPalette(HPALETTE Value);

  // Transparency: the transparent colour is the bottom-left pixel's colour in tmAuto mode
  // (white for an empty bitmap), or the fixed colour set by SetTransparentColor (which sets
  // tmFixed). Setting tmAuto forgets a fixed colour.
  TColor TransparentColor();
  void SetTransparentColor(TColor Value);
  TTransparentMode TransparentMode() const { return FTransparentMode; }
  void SetTransparentMode(TTransparentMode Value);

  // BMP files: file header, then a core (12-byte), info (40), V2/V3 (52/56), V4 (108) or V5 (124)
  // header; 1, 4, 8, 16, 24 and 32 bits; BI_RGB, BI_BITFIELDS, BI_RLE8 and BI_RLE4; bottom-up
  // and top-down. Malformed or oversized data raises EInvalidGraphic and leaves the bitmap as it
  // was. A stream with no bytes left loads an empty bitmap. Saving writes an info header (with
  // bit fields for pf16bit) and the colour table of palette formats; pfDevice saves 32 bits; an
  // empty bitmap writes nothing.
  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) override;
  // A bitmap resource (RT_BITMAP) of a module; EResNotFound when it is missing.
  void LoadFromResourceName(HINSTANCE Instance, const AnsiString& ResName);
  void LoadFromResourceID(HINSTANCE Instance, int ResID);

  // The widest side and the most pixels a bitmap accepts.
  static constexpr int MaxSide = BmpMaxSide;
  static constexpr std::int64_t MaxPixels = BmpMaxPixels;

 protected:
  // Copies the bitmap into Rect (stretched with COLORONCOLOR); with Transparent the pixels of
  // the transparent colour leave the canvas as it was. Other pixels use the canvas's CopyMode.
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;

 private:
  friend class TBitmapCanvas;
  // Replaces the pixels by Img (taking its handle and colour table), keeping the canvas's DC.
  void TakeImage(detail::DibImage& Img);
  // SetSize, keeping the old pixels and whitening the new ones (Keep), or not.
  void Resize(int AWidth, int AHeight, bool Keep);
  void FreeImage();
  void DropPalette();
  void ApplyColorTable();

  // The section keeps a copy of its pixels at Width x Height, for a handle given away.
  void DropRoom();

  HBITMAP FHandle = nullptr;
  Byte* FBits = nullptr;  // the bottom row
  int FWidth = 0;
  int FHeight = 0;
  int FStride = 0;
  // The section's own bottom row and size: larger than the bitmap's after SetSizeWithRoom.
  Byte* FSectionBits = nullptr;
  int FSectionWidth = 0;
  int FSectionHeight = 0;
  TPixelFormat FPixelFormat = pfDevice;
  std::vector<RGBQUAD> FColors;  // colour table of palette formats
  HPALETTE FPalette = nullptr;
  TColor FTransparentColor = clDefault;
  TTransparentMode FTransparentMode = tmAuto;
  std::unique_ptr<TCanvas> FCanvas;
};

// An icon (HICON). Loading reads the first image of an .ico stream; saving writes one image (the
// bytes it was loaded from, or an image made from the handle: 32-bit colour and a 1-bit mask).
class TIcon : public TGraphic {
  T_CLASS(TIcon, TGraphic)

 public:
  TIcon();
  ~TIcon() override;

  void Assign(TPersistent* Source) override;

  bool Empty() const override { return FHandle == nullptr; }
  int Width() const override { return FWidth; }
  int Height() const override { return FHeight; }
  // An icon's size comes from its image: EInvalidGraphicOperation "Cannot change the size of an
  // icon".
  void SetWidth(int Value) override;
  void SetHeight(int Value) override;
  bool Transparent() const override { return true; }

  HICON Handle() const { return FHandle; }
  // Adopts an icon handle (owned from now on); 0 empties the icon.
  void SetHandle(HICON Value);
  // Gives the handle to the caller (who must destroy it); the icon becomes empty.
  HICON ReleaseHandle();
  bool HandleAllocated() const { return FHandle != nullptr; }

  // EInvalidGraphic "Icon image is not valid" for malformed data.
  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) override;

 protected:
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;

 private:
  void Reset(HICON Value, int W, int H, std::vector<Byte> Data);
  HICON FHandle = nullptr;
  int FWidth = 0;
  int FHeight = 0;
  std::vector<Byte> FData;  // the image bytes it was loaded from (empty for an adopted handle)
};

// Holds one graphic of any registered class and chooses the class by file extension.
class TPicture : public TPersistent {
  T_CLASS(TPicture, TPersistent)

 public:
  TPicture();
  ~TPicture() override;

  // A TPicture or TGraphic source is copied (a new graphic of the same class); nullptr empties.
  void Assign(TPersistent* Source) override;

  TGraphic* Graphic() const { return FGraphic.get(); }
  // Stores a copy of Value (nullptr empties).
  void SetGraphic(TGraphic* Value);
  // The graphic as a bitmap / icon; any other content is replaced by a new empty one first.
  TBitmap* Bitmap();
  TIcon* Icon();
  int Width() const { return FGraphic ? FGraphic->Width() : 0; }
  int Height() const { return FGraphic ? FGraphic->Height() : 0; }

  // Loads a file through the class registered for its extension; an unknown extension raises
  // EInvalidGraphic "Unknown picture file extension (.%s)". On failure the picture is unchanged.
  void LoadFromFile(const AnsiString& FileName);
  // Saves the graphic (nothing without one).
  void SaveToFile(const AnsiString& FileName);

  // The file-format registry (extensions without the dot, letter case ignored; "bmp" and "ico"
  // are built in). A later registration of an extension replaces the earlier one.
  static void RegisterFileFormat(const AnsiString& Extension, const AnsiString& Description,
                                 TGraphicFactory Factory);
  template <class T>
  static void RegisterFileFormat(const AnsiString& Extension, const AnsiString& Description) {
    RegisterFileFormat(Extension, Description, [] { return static_cast<TGraphic*>(new T); });
  }
  // Removes every extension registered for the class with this name.
  static void UnregisterGraphicClass(const AnsiString& ClassName);
  template <class T>
  static void UnregisterGraphicClass() { UnregisterGraphicClass(T::StaticClassName()); }
  // The class name registered for an extension ("" when none) and the description.
  static AnsiString GraphicClassNameFor(const AnsiString& Extension);
  static AnsiString FileFormatDescription(const AnsiString& Extension);
  // A new graphic of the class registered for an extension, or nullptr.
  static TGraphic* CreateGraphicFor(const AnsiString& Extension);

  TNotifyEvent OnChange;

 protected:
  virtual void Changed(TObject* Sender);

 private:
  void Replace(TGraphic* NewGraphic);
  std::unique_ptr<TGraphic> FGraphic;
};
