#include "skin/core/acAlphaImageList.h"

#include <vector>

#include "framework/Exceptions.h"
#include "skin/core/acPNG.h"
#include "skin/core/sVclUtils.h"

namespace {

// The transparent colour of images without alpha, as a 32-bit pixel value.
constexpr DWORD TransparentPixel = 0xFF00FF;

bool BeingLoaded(const TComponent* C) {
  if (C->IsLoading()) return true;
  const TComponent* Owner = C->Owner();
  return Owner != nullptr && Owner->IsLoading();
}

// The pixels of a bitmap handle as 32-bit top-down values; empty when they cannot be read.
std::vector<DWORD> ReadPixels32(HBITMAP Bmp, int& W, int& H) {
  BITMAP Info{};
  if (Bmp == nullptr || GetObjectW(Bmp, sizeof(Info), &Info) == 0 || Info.bmWidth <= 0 || Info.bmHeight <= 0)
    return {};
  W = Info.bmWidth;
  H = Info.bmHeight;
  std::vector<DWORD> Pixels(static_cast<std::size_t>(W) * static_cast<std::size_t>(H));
  BITMAPINFO BI = TopDownDibInfo(W, H, 32);
  HDC DC = GetDC(nullptr);
  const int Rows = GetDIBits(DC, Bmp, 0, static_cast<UINT>(H), Pixels.data(), &BI, DIB_RGB_COLORS);
  ReleaseDC(nullptr, DC);
  if (Rows != H) return {};
  return Pixels;
}

// A 32-bit device-independent bitmap holding the pixels (top-down).
HBITMAP MakeBitmap32(const std::vector<DWORD>& Pixels, int W, int H) {
  BITMAPINFO BI = TopDownDibInfo(W, H, 32);
  void* Bits = nullptr;
  HBITMAP Bmp = CreateDIBSection(nullptr, &BI, DIB_RGB_COLORS, &Bits, nullptr, 0);
  if (Bmp != nullptr && Bits != nullptr) {
    std::copy(Pixels.begin(), Pixels.end(), static_cast<DWORD*>(Bits));
    GdiFlush();
  }
  return Bmp;
}

}  // namespace

TColor ConvertImageListColor(COLORREF Color) {
  if (Color == CLR_NONE) return clNone;
  if (Color == CLR_DEFAULT) return clDefault;
  return static_cast<TColor>(Color);
}

// ---------------------------------------------------------------------------------------------
// TsImgListItem

TsImgListItem::TsImgListItem(TCollection* Collection)
    : TCollectionItem(Collection), FImgData(std::make_unique<TMemoryStream>()) {}

TsImgListItem::~TsImgListItem() = default;

void TsImgListItem::Assign(TPersistent* Source) {
  auto* Src = dynamic_cast<TsImgListItem*>(Source);
  if (Src == nullptr) {
    TCollectionItem::Assign(Source);
    return;
  }
  if (Src == this) return;
  FImageFormat = Src->FImageFormat;
  FPixelFormat = Src->FPixelFormat;
  Src->FImgData->SetPosition(0);
  FImgData->LoadFromStream(*Src->FImgData);
  Src->FImgData->SetPosition(0);
}

void TsImgListItem::ReadData(TStream& Stream) {
  FImgData->Clear();
  const int64_t Left = Stream.Size() - Stream.Position();
  if (Left > 0) FImgData->CopyFrom(Stream, Left);
  FImgData->SetPosition(0);
}

void TsImgListItem::WriteData(TStream& Stream) const {
  if (FImgData->Size() > 0) Stream.WriteBuffer(FImgData->Memory(), FImgData->Size());
}

// ---------------------------------------------------------------------------------------------
// TsImgListItems

TsImgListItems::TsImgListItems(TsAlphaImageList* AOwner)
    : TCollection(TCollection::ItemClassOf<TsImgListItem>()), FOwner(AOwner) {}

TPersistent* TsImgListItems::GetOwner() { return FOwner; }

// ---------------------------------------------------------------------------------------------
// TsAlphaImageList

TsAlphaImageList::TsAlphaImageList(TComponent* AOwner) : TImageList(AOwner) { Init(); }

TsAlphaImageList::TsAlphaImageList(TComponent* AOwner, int AWidth, int AHeight)
    : TImageList(AOwner, AWidth, AHeight) {
  Init();
}

TsAlphaImageList::~TsAlphaImageList() { FBusy = true; }

void TsAlphaImageList::Init() {
  FItems = std::make_unique<TsImgListItems>(this);
  FKeepSources = true;
  if (BeingLoaded(this)) return;
  if (FHandle == nullptr) CreateImageListHandle();
  if (!FGenerated) GenerateImages();
}

void TsAlphaImageList::Loaded() {
  TImageList::Loaded();
  if (FHandle == nullptr) CreateImageListHandle();
  if (!FGenerated) GenerateImages();
  FGenerated = true;
}

bool TsAlphaImageList::KeepSources() const {
  return FKeepSources || IsDesigning();
}

void TsAlphaImageList::CreateImageList() { CreateImageListHandle(); }

void TsAlphaImageList::CreateImageListHandle() {
  HIMAGELIST H = ImageList_Create(Width(), Height(), ILC_COLOR32 | ILC_MASK, AllocBy(), AllocBy());
  if (H == nullptr) throw EOutOfResources("Out of system resources");
  ImageList_SetBkColor(H, CLR_NONE);
  FHandle = H;
}

void TsAlphaImageList::ReleaseImageListHandle() {
  if (FHandle != nullptr && !ShareImages()) ImageList_Destroy(FHandle);
  FHandle = nullptr;
  Change();
}

void TsAlphaImageList::SizeFromHandle(TsAlphaImageList* Source) {
  int W = Source->Width(), H = Source->Height();
  if (Source->HandleAllocated()) ImageList_GetIconSize(Source->Handle(), &W, &H);
  SetSize(W, H);
}

void TsAlphaImageList::ReadData(TStream&) {}
void TsAlphaImageList::WriteData(TStream&) {}

void TsAlphaImageList::AddIconHandle(HICON Icon) {
  if (Icon == nullptr) return;
  ImageList_ReplaceIcon(FHandle, -1, Icon);
}

void TsAlphaImageList::GenerateImages() {
  if (FHandle == nullptr) return;
  TFlagScope Busy(FBusy, true);
  ImageList_Remove(FHandle, -1);
  for (int I = 0; I < FItems->Count(); ++I) {
    TsImgListItem* Item = FItems->Items(I);
    TMemoryStream* Data = Item->ImgData();
    Data->SetPosition(0);
    try {
      AddSourceImage(Item);
    } catch (Exception& E) {
      // The loader's error, with the source that raised it.
      const AnsiString ListName = Name().empty() ? AnsiString(ClassName()) : Name();
      E.Message = Format("Image %d of %s: ", I, ListName.c_str()) + E.Message;
      throw;
    }
    Data->SetPosition(0);
  }
  if (FItems->Count() > 0) {
    FGenerated = true;
    if (!KeepSources()) FItems->Clear();
  }
}

void TsAlphaImageList::AddSourceImage(TsImgListItem* Item) {
  TMemoryStream* Data = Item->ImgData();
  switch (Item->ImageFormat()) {
    case ifPNG: {
      TPNGGraphic Png;
      Png.LoadFromStream(*Data);
      HICON Icon = MakeIconFromPNG(&Png, false);
      if (Icon == nullptr) throw EInvalidGraphic("The image cannot be made into an icon");
      AddIconHandle(Icon);
      DestroyIcon(Icon);
      break;
    }
    case ifICO: {
      TIcon Ico;
      Ico.LoadFromStream(*Data);
      AddIconHandle(Ico.Handle());
      break;
    }
    default:
      break;
  }
}

void TsAlphaImageList::CopyImages(TsAlphaImageList* Source) {
  if (FHandle == nullptr || Source == nullptr) return;
  if (Source->HandleAllocated()) ImageList_SetBkColor(Source->Handle(), CLR_NONE);
  // A source that has dropped its sources can only give its images.
  if (KeepSources() && Source->Items()->Count() > 0) {
    FItems->Clear();
    for (int I = 0; I < Source->Items()->Count(); ++I) FItems->Add()->Assign(Source->Items()->Items(I));
    GenerateImages();
    return;
  }
  TFlagScope Busy(FBusy, true);
  ImageList_Remove(FHandle, -1);
  ImageList_SetBkColor(FHandle, CLR_NONE);
  if (!Source->HandleAllocated()) return;
  const int N = ImageList_GetImageCount(Source->Handle());
  for (int I = 0; I < N; ++I) {
    HICON Icon = ImageList_GetIcon(Source->Handle(), I, ILD_TRANSPARENT);
    AddIconHandle(Icon);
    if (Icon != nullptr) DestroyIcon(Icon);
  }
}

void TsAlphaImageList::Assign(TPersistent* Source) {
  if (Source == this) return;
  if (Source == nullptr) {
    ReleaseImageListHandle();
    return;
  }
  auto* Src = dynamic_cast<TsAlphaImageList*>(Source);
  if (Src == nullptr) {
    TImageList::Assign(Source);
    return;
  }
  {
    TFlagScope Busy(FBusy, true);
    if (FHandle != nullptr) ImageList_Remove(FHandle, -1);
    // The own list goes under the own ShareImages, before the source's is taken.
    ReleaseImageListHandle();
    SetMasked(Src->Masked());
    SetImageType(Src->ImageType());
    SetDrawingStyle(Src->DrawingStyle());
    SetShareImages(Src->ShareImages());
    SetBlendColor(Src->BlendColor());
    SizeFromHandle(Src);
    if (FHandle != nullptr)
      ImageList_SetIconSize(FHandle, Width(), Height());
    else
      CreateImageListHandle();
    SetBkColor(Src->HandleAllocated() ? ConvertImageListColor(ImageList_GetBkColor(Src->Handle())) : Src->BkColor());
    CopyImages(Src);
  }
}

void TsAlphaImageList::AssignTo(TsAlphaImageList* Dest) {
  if (Dest != nullptr) Dest->Assign(this);
}

void TsAlphaImageList::Change() {
  if (FBusy) return;
  TImageList::Change();
  if (FHandle == nullptr || BeingLoaded(this) || !FGenerated || IsDesigning()) return;
  const int Images = ImageList_GetImageCount(FHandle);
  if (KeepSources() && Images <= FItems->Count()) {
    if (Images < FItems->Count()) GenerateImages();
    return;
  }
  FixImagesWithoutAlpha();
}

void TsAlphaImageList::FixImagesWithoutAlpha() {
  TFlagScope Busy(FBusy, true);
  const int Images = ImageList_GetImageCount(FHandle);
  for (int I = 0; I < Images; ++I) {
    HICON Icon = ImageList_GetIcon(FHandle, I, 0);
    if (Icon == nullptr) continue;
    ICONINFO Info{};
    const bool HaveInfo = GetIconInfo(Icon, &Info) != 0;
    DestroyIcon(Icon);
    if (!HaveInfo) continue;
    int W = 0, H = 0;
    std::vector<DWORD> Pixels = ReadPixels32(Info.hbmColor, W, H);
    bool HasAlpha = false;
    for (DWORD P : Pixels)
      if ((P >> 24) != 0) {
        HasAlpha = true;
        break;
      }
    if (!Pixels.empty() && !HasAlpha) {
      // Pixels that the mask leaves out stay transparent as well as the magenta ones.
      int MW = 0, MH = 0;
      const std::vector<DWORD> Mask = ReadPixels32(Info.hbmMask, MW, MH);
      const bool UseMask = MW == W && MH >= H;
      for (std::size_t K = 0; K < Pixels.size(); ++K) {
        if (Pixels[K] == TransparentPixel) continue;
        if (UseMask && (Mask[K] & 0xFFFFFF) != 0) continue;
        Pixels[K] |= 0xFF000000u;
      }
      HBITMAP Color = MakeBitmap32(Pixels, W, H);
      if (Color != nullptr) {
        ICONINFO New{};
        New.fIcon = TRUE;
        New.hbmMask = Info.hbmMask;
        New.hbmColor = Color;
        HICON Fixed = CreateIconIndirect(&New);
        if (Fixed != nullptr) {
          ImageList_ReplaceIcon(FHandle, I, Fixed);
          DestroyIcon(Fixed);
        }
        DeleteObject(Color);
      }
    }
    if (Info.hbmColor != nullptr) DeleteObject(Info.hbmColor);
    if (Info.hbmMask != nullptr) DeleteObject(Info.hbmMask);
  }
}

void TsAlphaImageList::DoDraw(int Index, TCanvas* Canvas, int X, int Y, UINT, bool) {
  if (FHandle == nullptr || Canvas == nullptr) return;
  ImageList_SetBkColor(FHandle, CLR_NONE);
  HICON Icon = ImageList_GetIcon(FHandle, Index, ILD_TRANSPARENT);
  if (Icon == nullptr) return;
  DrawIconEx(Canvas->Handle(), X, Y, Icon, Width(), Height(), 0, nullptr, DI_NORMAL);
  DestroyIcon(Icon);
}
