#include "framework/ImgList.h"

#include <algorithm>

#include "framework/StreamAdapter.h"
#include "framework/Streams.h"

namespace {

[[noreturn]] void InvalidImageSize() { throw EInvalidOperation("Invalid image size"); }

bool ValidSide(int V) { return V >= 1 && V <= 32768; }

TColor FromPlatformColor(COLORREF C) {
  if (C == CLR_NONE) return clNone;
  if (C == CLR_DEFAULT) return clDefault;
  return static_cast<TColor>(C);
}

}  // namespace

TChangeLink::~TChangeLink() {
  if (FSender) FSender->UnRegisterChanges(this);
}

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner) {}

TCustomImageList::TCustomImageList(TComponent* AOwner, int AWidth, int AHeight) : TComponent(AOwner) {
  if (!ValidSide(AWidth) || !ValidSide(AHeight)) InvalidImageSize();
  FWidth = AWidth;
  FHeight = AHeight;
}

TCustomImageList::~TCustomImageList() {
  for (TChangeLink* link : FClients) link->FSender = nullptr;
  FClients.clear();
  FreeHandle();
}

COLORREF TCustomImageList::PlatformColor(TColor Color) {
  if (Color == clNone) return CLR_NONE;
  if (Color == clDefault) return CLR_DEFAULT;
  return ColorToRGB(Color);
}

void TCustomImageList::CreateImageList() {
  HIMAGELIST h = ImageList_Create(FWidth, FHeight, ILC_COLOR32 | (FMasked ? ILC_MASK : 0), FAllocBy, FAllocBy);
  if (!h) throw EOutOfResources("Out of system resources");
  ImageList_SetBkColor(h, PlatformColor(FBkColor));
  FHandle = h;
}

HIMAGELIST TCustomImageList::Handle() {
  if (!FHandle) CreateImageList();
  return FHandle;
}

void TCustomImageList::FreeHandle() {
  if (FHandle && !FShareImages) ImageList_Destroy(FHandle);
  FHandle = nullptr;
}

void TCustomImageList::SetHandle(HIMAGELIST Value) {
  if (Value == FHandle) return;
  FreeHandle();
  if (Value) {
    int w = 0, h = 0;
    ImageList_GetIconSize(Value, &w, &h);
    if (ValidSide(w) && ValidSide(h)) FWidth = w, FHeight = h;
    FBkColor = FromPlatformColor(ImageList_GetBkColor(Value));
    FHandle = Value;
  }
  Change();
}

int TCustomImageList::Count() const { return FHandle ? ImageList_GetImageCount(FHandle) : 0; }

void TCustomImageList::SetSize(int AWidth, int AHeight) {
  if (!ValidSide(AWidth) || !ValidSide(AHeight)) InvalidImageSize();
  if (AWidth == FWidth && AHeight == FHeight) return;
  FWidth = AWidth;
  FHeight = AHeight;
  if (FHandle) ImageList_SetIconSize(FHandle, FWidth, FHeight);  // removes every image
  Change();
}

void TCustomImageList::SetMasked(bool Value) {
  if (Value == FMasked) return;
  FMasked = Value;
  if (FHandle) {
    HIMAGELIST old = FHandle;
    bool shared = FShareImages;
    FHandle = nullptr;
    CreateImageList();
    const int n = ImageList_GetImageCount(old);
    for (int i = 0; i < n; ++i) {
      HICON icon = ImageList_GetIcon(old, i, ILD_NORMAL);
      if (!icon) continue;
      ImageList_ReplaceIcon(FHandle, -1, icon);
      DestroyIcon(icon);
    }
    if (!shared) ImageList_Destroy(old);
  }
  Change();
}

TColor TCustomImageList::BkColor() const {
  return FHandle ? FromPlatformColor(ImageList_GetBkColor(FHandle)) : FBkColor;
}

void TCustomImageList::SetBkColor(TColor Value) {
  FBkColor = Value;
  if (FHandle) ImageList_SetBkColor(FHandle, PlatformColor(Value));
  Change();
}

void TCustomImageList::SetBlendColor(TColor Value) {
  if (Value == FBlendColor) return;
  FBlendColor = Value;
  Change();
}

void TCustomImageList::SetDrawingStyle(TDrawingStyle Value) {
  if (Value == FDrawingStyle) return;
  FDrawingStyle = Value;
  Change();
}

void TCustomImageList::SetImageType(TImageType Value) {
  if (Value == FImageType) return;
  FImageType = Value;
  Change();
}

void TCustomImageList::Assign(TPersistent* Source) {
  if (Source == this) return;
  if (!Source) {
    Clear();
    return;
  }
  auto* src = dynamic_cast<TCustomImageList*>(Source);
  if (!src) {
    TComponent::Assign(Source);
    return;
  }
  FMasked = src->FMasked;
  FImageType = src->FImageType;
  FDrawingStyle = src->FDrawingStyle;
  FAllocBy = src->FAllocBy;
  FBlendColor = src->FBlendColor;
  FWidth = src->FWidth;
  FHeight = src->FHeight;
  FreeHandle();
  FShareImages = false;
  if (src->FHandle) {
    FHandle = ImageList_Duplicate(src->FHandle);
    if (!FHandle) throw EOutOfResources("Out of system resources");
  }
  FBkColor = src->BkColor();
  if (FHandle) ImageList_SetBkColor(FHandle, PlatformColor(FBkColor));
  Change();
}

void TCustomImageList::Change() {
  for (TChangeLink* link : std::vector<TChangeLink*>(FClients))
    if (link->OnChange) link->OnChange(this);
  if (OnChange) OnChange(this);
}

void TCustomImageList::RegisterChanges(TChangeLink* Value) {
  if (!Value || Value->FSender == this) return;
  if (Value->FSender) Value->FSender->UnRegisterChanges(Value);
  Value->FSender = this;
  FClients.push_back(Value);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* Value) {
  auto it = std::find(FClients.begin(), FClients.end(), Value);
  if (it == FClients.end()) return;
  FClients.erase(it);
  Value->FSender = nullptr;
}

int TCustomImageList::Add(TBitmap* Image, TBitmap* Mask) {
  if (!Image) return -1;
  if (Image->Width() < FWidth || Image->Height() < FHeight) InvalidImageSize();
  // Copies: the platform list needs bitmaps that no device context holds.
  TBitmap image, mask;
  image.Assign(Image);
  if (Mask) {
    mask.Assign(Mask);
    mask.SetPixelFormat(pf1bit);
  }
  int r = ImageList_Add(Handle(), image.Handle(), Mask ? mask.Handle() : nullptr);
  Change();
  return r;
}

int TCustomImageList::AddMasked(TBitmap* Image, TColor MaskColor) {
  if (!Image) return -1;
  if (Image->Width() < FWidth || Image->Height() < FHeight) InvalidImageSize();
  if (MaskColor == clDefault) MaskColor = Image->TransparentColor();
  TBitmap image;  // the platform call blackens the masked pixels of the bitmap it gets
  image.Assign(Image);
  int r = ImageList_AddMasked(Handle(), image.Handle(), ColorToRGB(MaskColor));
  Change();
  return r;
}

int TCustomImageList::AddIcon(TIcon* Image) {
  if (!Image || Image->Empty()) return -1;
  int r = ImageList_ReplaceIcon(Handle(), -1, Image->Handle());
  Change();
  return r;
}

void TCustomImageList::Delete(int Index) {
  if (Index < 0 || Index >= Count()) throw EInvalidOperation("Invalid ImageList Index");
  ImageList_Remove(FHandle, Index);
  Change();
}

void TCustomImageList::Clear() {
  if (FHandle) ImageList_Remove(FHandle, -1);
  Change();
}

void TCustomImageList::Draw(TCanvas* Canvas, int X, int Y, int Index, bool Enabled) {
  Draw(Canvas, X, Y, Index, FDrawingStyle, FImageType, Enabled);
}

void TCustomImageList::Draw(TCanvas* Canvas, int X, int Y, int Index, TDrawingStyle ADrawingStyle,
                            TImageType AImageType, bool Enabled) {
  static const UINT styles[] = {ILD_FOCUS, ILD_SELECTED, ILD_NORMAL, ILD_TRANSPARENT};
  if (!Canvas || !FHandle || Index < 0 || Index >= Count()) return;
  DoDraw(Index, Canvas, X, Y, styles[ADrawingStyle] | (AImageType == itMask ? ILD_MASK : 0), Enabled);
}

void TCustomImageList::DoDraw(int Index, TCanvas* Canvas, int X, int Y, UINT Style, bool Enabled) {
  HDC dc = Canvas->Handle();
  if (Enabled) {
    ImageList_DrawEx(FHandle, Index, dc, X, Y, 0, 0, PlatformColor(BkColor()), PlatformColor(FBlendColor), Style);
    return;
  }
  // Disabled: a one-bit picture of the image's dark pixels, painted with the highlight colour
  // one pixel down and right and with the shadow colour on top.
  HDC mono = CreateCompatibleDC(nullptr);
  HBITMAP bits = CreateBitmap(FWidth, FHeight, 1, 1, nullptr);
  HGDIOBJ oldBits = SelectObject(mono, bits);
  PatBlt(mono, 0, 0, FWidth, FHeight, WHITENESS);
  ::SetBkColor(mono, RGB(255, 255, 255));
  ImageList_DrawEx(FHandle, Index, mono, 0, 0, 0, 0, CLR_NONE, CLR_NONE, ILD_TRANSPARENT);
  PatBlt(mono, 0, 0, FWidth, FHeight, DSTINVERT);  // dark pixels are now 1
  const COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
  const COLORREF oldBk = ::SetBkColor(dc, RGB(255, 255, 255));
  const DWORD ropDSPDxax = 0x00E20746;  // brush where the source is 1, destination elsewhere
  HBRUSH light = CreateSolidBrush(ColorToRGB(clBtnHighlight));
  HBRUSH dark = CreateSolidBrush(ColorToRGB(clBtnShadow));
  HGDIOBJ oldBrush = SelectObject(dc, light);
  BitBlt(dc, X + 1, Y + 1, FWidth, FHeight, mono, 0, 0, ropDSPDxax);
  SelectObject(dc, dark);
  BitBlt(dc, X, Y, FWidth, FHeight, mono, 0, 0, ropDSPDxax);
  SelectObject(dc, oldBrush);
  DeleteObject(light);
  DeleteObject(dark);
  SetTextColor(dc, oldText);
  ::SetBkColor(dc, oldBk);
  SelectObject(mono, oldBits);
  DeleteObject(bits);
  DeleteDC(mono);
}

bool TCustomImageList::GetBitmap(int Index, TBitmap* Image) {
  if (!Image || !FHandle || Index < 0 || Index >= Count()) return false;
  Image->SetSize(FWidth, FHeight);
  Draw(Image->Canvas(), 0, 0, Index);
  return true;
}

void TCustomImageList::GetIcon(int Index, TIcon* Image) {
  static const UINT styles[] = {ILD_FOCUS, ILD_SELECTED, ILD_NORMAL, ILD_TRANSPARENT};
  if (!Image || !FHandle || Index < 0 || Index >= Count()) return;
  HICON icon = ImageList_GetIcon(FHandle, Index, styles[FDrawingStyle] | (FImageType == itMask ? ILD_MASK : 0));
  if (!icon) throw EOutOfResources("Out of system resources");
  Image->SetHandle(icon);
}

void TCustomImageList::ReadData(TStream& Stream) {
  IStream* s = TStreamAdapter::Create(&Stream);
  HIMAGELIST h = ImageList_Read(s);
  s->Release();
  if (!h) throw EReadError("Failed to read ImageList data from stream");
  SetHandle(h);
}

void TCustomImageList::WriteData(TStream& Stream) {
  IStream* s = TStreamAdapter::Create(&Stream);
  BOOL ok = ImageList_Write(Handle(), s);
  s->Release();
  if (!ok) throw EWriteError("Failed to write ImageList data to stream");
}

void LinkImages(TComponent* Owner, TCustomImageList*& Field, TCustomImageList* Value, TChangeLink* Link,
                bool KeepOld) {
  if (Field != nullptr && !KeepOld) {
    Field->UnRegisterChanges(Link);
    Owner->RemoveFreeNotification(Field);
  }
  Field = Value;
  if (Field != nullptr) {
    Field->RegisterChanges(Link);
    Owner->FreeNotification(Field);
  }
}
