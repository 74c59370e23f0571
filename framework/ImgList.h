// Image lists: a component over a platform image list (comctl32) of equally sized images, each
// with an optional mask, drawn onto canvases by index. Win32.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "framework/Components.h"
#include "framework/Graphics.h"

class TCustomImageList;

enum TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };
enum TImageType { itImage, itMask };

// Tells a client (a control showing images of a list) that the list changed. The link registers
// itself with RegisterChanges and leaves the list when either is destroyed.
class TChangeLink : public TObject {
  T_CLASS(TChangeLink, TObject)

 public:
  TChangeLink() = default;
  ~TChangeLink() override;

  TCustomImageList* Sender() const { return FSender; }
  TNotifyEvent OnChange;

 private:
  friend class TCustomImageList;
  TCustomImageList* FSender = nullptr;
};

// An image list. The platform list is made on first use of Handle (ILC_COLOR32, plus ILC_MASK
// when Masked) and destroyed with the component unless ShareImages. Changing Width or Height
// removes every image. Every change of the images or settings calls Change, which tells the
// change links and fires OnChange.
class TCustomImageList : public TComponent {
  T_CLASS(TCustomImageList, TComponent)

 public:
  explicit TCustomImageList(TComponent* AOwner);
  // A list of images of the given size; EInvalidOperation "Invalid image size" unless both sides
  // are 1 .. 32768.
  TCustomImageList(TComponent* AOwner, int AWidth, int AHeight);
  ~TCustomImageList() override;

  // Another image list: its settings and a copy of its images. nullptr removes every image.
  void Assign(TPersistent* Source) override;

  HIMAGELIST Handle();
  // Adopts a platform list (destroyed later unless ShareImages); its icon size becomes Width and
  // Height. 0 releases the current list.
  void SetHandle(HIMAGELIST Value);
  bool HandleAllocated() const { return FHandle != nullptr; }

  // The number of images (0 without a platform list).
  int Count() const;

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetWidth(int Value) { SetSize(Value, FHeight); }
  void SetHeight(int Value) { SetSize(FWidth, Value); }
  void SetSize(int AWidth, int AHeight);
  int AllocBy() const { return FAllocBy; }
  void SetAllocBy(int Value) { FAllocBy = Value > 0 ? Value : 1; }
  // Changing Masked remakes the platform list (the images are kept).
  bool Masked() const { return FMasked; }
  void SetMasked(bool Value);
  bool ShareImages() const { return FShareImages; }
  void SetShareImages(bool Value) { FShareImages = Value; }
  // The background drawn behind images (clNone: transparent).
  TColor BkColor() const;
  void SetBkColor(TColor Value);
  // The colour that dsFocus and dsSelected blend in (clNone: none; clDefault: the highlight).
  TColor BlendColor() const { return FBlendColor; }
  void SetBlendColor(TColor Value);
  TDrawingStyle DrawingStyle() const { return FDrawingStyle; }
  void SetDrawingStyle(TDrawingStyle Value);
  TImageType ImageType() const { return FImageType; }
  void SetImageType(TImageType Value);

  // Adds the image (its width may hold several images side by side) with an optional mask
  // (white = transparent); returns the index of the first new image, -1 for a null image.
  // EInvalidOperation "Invalid image size" for an image smaller than the list's images.
  int Add(TBitmap* Image, TBitmap* Mask);
  // Adds the image with every pixel of MaskColor transparent (clDefault: the image's transparent
  // colour). The caller's bitmap is not changed.
  int AddMasked(TBitmap* Image, TColor MaskColor);
  int AddIcon(TIcon* Image);
  // EInvalidOperation "Invalid ImageList Index" for a bad index.
  void Delete(int Index);
  void Clear();

  // Draws image Index at (X, Y) in DrawingStyle and ImageType; a disabled image is drawn
  // embossed in the button shadow and highlight colours. Nothing for a bad index.
  void Draw(TCanvas* Canvas, int X, int Y, int Index, bool Enabled = true);
  void Draw(TCanvas* Canvas, int X, int Y, int Index, TDrawingStyle ADrawingStyle, TImageType AImageType,
            bool Enabled = true);
  // Sizes Image to the list's images and draws image Index onto what it holds; false (and
  // nothing changed) for a null image or a bad index.
  bool GetBitmap(int Index, TBitmap* Image);
  // Gives Image a new icon of image Index (in DrawingStyle and ImageType).
  void GetIcon(int Index, TIcon* Image);

  void RegisterChanges(TChangeLink* Value);
  void UnRegisterChanges(TChangeLink* Value);

  // The images as stored with a form description (the platform list's own stream format).
  virtual void ReadData(TStream& Stream);
  virtual void WriteData(TStream& Stream);

  TNotifyEvent OnChange;

  // The colour the platform list takes for a TColor: CLR_NONE for clNone, CLR_DEFAULT for
  // clDefault, the RGB value otherwise.
  static COLORREF PlatformColor(TColor Color);

 protected:
  virtual void Change();
  // Draws one image with ILD_xxx Style; the base uses ImageList_DrawEx with BkColor and
  // BlendColor, and draws disabled images embossed.
  virtual void DoDraw(int Index, TCanvas* Canvas, int X, int Y, UINT Style, bool Enabled);
  // Makes the platform list (ImageList_Create with Width, Height, the flags and AllocBy).
  virtual void CreateImageList();
  // Releases the platform list (destroying it unless ShareImages).
  void FreeHandle();

  HIMAGELIST FHandle = nullptr;

 private:
  int FWidth = 16;
  int FHeight = 16;
  int FAllocBy = 4;
  bool FMasked = true;
  bool FShareImages = false;
  TColor FBkColor = clNone;
  TColor FBlendColor = clNone;
  TDrawingStyle FDrawingStyle = dsNormal;
  TImageType FImageType = itImage;
  std::vector<TChangeLink*> FClients;
};

// Points Field of Owner at Value: the list it held leaves Link and Owner's free notification
// (unless KeepOld: another field of Owner still holds that list), and Value joins both.
void LinkImages(TComponent* Owner, TCustomImageList*& Field, TCustomImageList* Value, TChangeLink* Link,
                bool KeepOld = false);

class TImageList : public TCustomImageList {
  T_CLASS(TImageList, TCustomImageList)

 public:
  using TCustomImageList::TCustomImageList;
};
