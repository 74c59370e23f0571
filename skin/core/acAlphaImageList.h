// TsAlphaImageList: an image list whose images keep a per-pixel alpha channel.
//
// The list holds its source pictures, whole PNG or ICO files, as the items of the collection Items
// (stored with a form description as each item's binary "ImgData"), and builds the platform image
// list (32-bit colour with a mask) from them when it is created, loaded or assigned. The images are
// never stored in the image list's own stream format: they are always rebuilt from the sources.
// Once the images are built, the sources are dropped unless KeepSources (the default, and always
// at design time). Images added straight to the platform list without any alpha get alpha 255
// when the list hears of the change, except magenta 0xFF00FF pixels and pixels their mask leaves
// out, which stay transparent.
//
// A source that is not a valid picture raises its loader's error (EInvalidGraphic and its
// descendants, or the stream's EReadError), its message starting with the source's index and the
// list's name, out of the build; the images built before it stay.
// Win32.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "framework/Graphics.h"
#include "framework/ImgList.h"
#include "framework/Lists.h"
#include "framework/Streams.h"

class TsAlphaImageList;

// The file format of a source picture.
enum TsImageFormat { ifPNG, ifICO };

// One source picture: its format and the bytes of the whole file.
class TsImgListItem : public TCollectionItem {
  T_CLASS(TsImgListItem, TCollectionItem)

 public:
  explicit TsImgListItem(TCollection* Collection);
  ~TsImgListItem() override;

  // Another item: format, pixel format and a copy of the bytes. Other sources: the framework's
  // cannot-assign error.
  void Assign(TPersistent* Source) override;

  TsImageFormat ImageFormat() const { return FImageFormat; }
  void SetImageFormat(TsImageFormat Value) { FImageFormat = Value; }
  TPixelFormat PixelFormat() const { return FPixelFormat; }
  void SetPixelFormat(TPixelFormat Value) { FPixelFormat = Value; }
  // The bytes of the picture file, owned by the item.
  TMemoryStream* ImgData() const { return FImgData.get(); }

  // The binary property "ImgData" of a stored form description: reading replaces the bytes with
  // the rest of Stream; writing saves all the bytes.
  void ReadData(TStream& Stream);
  void WriteData(TStream& Stream) const;

 private:
  TsImageFormat FImageFormat = ifPNG;
  TPixelFormat FPixelFormat = pf32bit;
  std::unique_ptr<TMemoryStream> FImgData;
};

// The source pictures of an alpha image list, in image order.
class TsImgListItems : public TCollection {
  T_CLASS(TsImgListItems, TCollection)

 public:
  explicit TsImgListItems(TsAlphaImageList* AOwner);
  TsImgListItem* Items(int Index) const { return static_cast<TsImgListItem*>(TCollection::Items(Index)); }
  TsImgListItem* Add() { return static_cast<TsImgListItem*>(TCollection::Add()); }
  TPersistent* GetOwner() override;

 private:
  TsAlphaImageList* FOwner;
};

class TsAlphaImageList : public TImageList {
  T_CLASS(TsAlphaImageList, TImageList)

 public:
  // Unless the list is being loaded, the platform list is made at once (empty, or with the images
  // of the sources).
  explicit TsAlphaImageList(TComponent* AOwner);
  TsAlphaImageList(TComponent* AOwner, int AWidth, int AHeight);
  ~TsAlphaImageList() override;

  // Makes the platform list when there is none and builds the images once.
  void Loaded() override;

  // nullptr releases the platform list. Another TsAlphaImageList: its settings, image size and
  // background colour, and its images (through copies of its sources when sources are kept).
  // Other sources: the framework's Assign.
  void Assign(TPersistent* Source) override;
  // The same copy into another TsAlphaImageList.
  void AssignTo(TsAlphaImageList* Dest);

  TsImgListItems* Items() const { return FItems.get(); }
  void SetItems(TsImgListItems* Value) { FItems->Assign(Value); }

  // Sources are kept after the images are built (default true; always true at design time).
  bool KeepSources() const;
  void SetKeepSources(bool Value) { FKeepSources = Value; }
  // The images were built from Items.
  bool Generated() const { return FGenerated; }

  // Rebuilds the platform list's images from Items (nothing without a platform list).
  void GenerateImages();
  // Copies the images of Source (nothing without a platform list).
  void CopyImages(TsAlphaImageList* Source);
  // ImageList_Create (Width, Height, ILC_COLOR32 | ILC_MASK, AllocBy, AllocBy), transparent
  // background.
  void CreateImageListHandle();
  // Destroys the platform list (unless ShareImages) and forgets it; signals the change.
  void ReleaseImageListHandle();
  // The icon size of Source's platform list becomes this list's Width and Height.
  void SizeFromHandle(TsAlphaImageList* Source);

  // The framework's image stream is not used: both do nothing.
  void ReadData(TStream& Stream) override;
  void WriteData(TStream& Stream) override;

 protected:
  void Change() override;
  // Draws the image as an icon (DrawIconEx, DI_NORMAL) so that its alpha blends with the canvas;
  // the drawing style and the enabled state are not used.
  void DoDraw(int Index, TCanvas* Canvas, int X, int Y, UINT Style, bool Enabled) override;
  void CreateImageList() override;

 private:
  void Init();
  // Appends the image of one source (a PNG or ICO file; other formats add nothing).
  void AddSourceImage(TsImgListItem* Item);
  // Appends an icon to the platform list.
  void AddIconHandle(HICON Icon);
  // Gives alpha 255 to the images that have no alpha at all.
  void FixImagesWithoutAlpha();

  std::unique_ptr<TsImgListItems> FItems;
  bool FGenerated = false;
  bool FBusy = false;
  bool FKeepSources = true;
};

// The TColor of a platform image-list colour: CLR_NONE gives clNone, CLR_DEFAULT clDefault, any
// other value is returned unchanged.
TColor ConvertImageListColor(COLORREF Color);
