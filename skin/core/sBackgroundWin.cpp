// The Win32 half of sBackground: background queries and the bitmap entry points of the corner
// fills.
#include <windows.h>

#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "skin/core/acGlow.h"
#include "skin/core/sBackground.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sPaintUtils.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"

namespace {


// The erase-and-paint fallback: the answerer paints itself into DrawDC, its origin at -Offset and
// clipped to R (in the asker's coordinates).
template <class Send>
void DrawInto(const TacBGInfo& Info, Send&& SendToAnswerer) {
  const int Saved = SaveDC(Info.DrawDC);
  POINT Old;
  OffsetViewportOrgEx(Info.DrawDC, -Info.Offset.X, -Info.Offset.Y, &Old);
  IntersectClipRect(Info.DrawDC, Info.R.Left + Info.Offset.X, Info.R.Top + Info.Offset.Y,
                    Info.R.Right + Info.Offset.X, Info.R.Bottom + Info.Offset.Y);
  SendToAnswerer(WM_ERASEBKGND, reinterpret_cast<WPARAM>(Info.DrawDC));
  SendToAnswerer(WM_PAINT, reinterpret_cast<WPARAM>(Info.DrawDC));
  RestoreDC(Info.DrawDC, Saved);
}

}  // namespace

bool QueryWindowBackground(TacBGInfo& Info, HWND Wnd, bool PleaseDraw) {
  const bool OldDraw = Info.PleaseDraw;
  Info.BgType = btUnknown;
  Info.PleaseDraw = PleaseDraw;
  if (Wnd != nullptr && IsWindow(Wnd)) {
    SendMessageW(Wnd, SM_ALPHACMD, MakeAlphaCmd(AC_GETBACKGROUND), reinterpret_cast<LPARAM>(&Info));
    if (Info.BgType != btUnknown) return true;
    if (OldDraw && Info.DrawDC != nullptr) {
      DrawInto(Info, [Wnd](UINT Msg, WPARAM W) { SendMessageW(Wnd, Msg, W, 0); });
      return false;
    }
  }
  Info.BgType = btFill;
  TsSkinManager* Manager = TsSkinManager::DefaultManager();
  Info.Color = Manager != nullptr ? Manager->GetGlobalColor() : clBtnFace;
  return false;
}

bool QueryParentBackground(TacBGInfo& Info, TControl* Control, bool PleaseDraw) {
  const bool OldDraw = Info.PleaseDraw;
  Info.BgType = btUnknown;
  Info.PleaseDraw = PleaseDraw;
  if (Control == nullptr) {
    Info.BgType = btFill;
    Info.Color = ColorToRGB(clBtnFace);
    return false;
  }
  auto* Win = dynamic_cast<TWinControl*>(Control);
  const bool ToWindow = Win != nullptr && Win->HandleAllocated();
  auto Send = [&](UINT Msg, WPARAM W, LPARAM L) -> LRESULT {
    if (ToWindow) return SendMessageW(Win->Handle(), Msg, W, L);
    return Control->Perform(Msg, W, L);
  };
  Send(SM_ALPHACMD, MakeAlphaCmd(AC_GETBACKGROUND), reinterpret_cast<LPARAM>(&Info));
  if (Info.BgType != btUnknown) return true;
  if (OldDraw && Info.DrawDC != nullptr) {
    // The erase and paint messages go to the control's own message handling.
    DrawInto(Info, [Control](UINT Msg, WPARAM W) { Control->Perform(Msg, W, 0); });
    return false;
  }
  Info.BgType = btFill;
  const LRESULT Answer = Control->Perform(SM_ALPHACMD, MakeAlphaCmd(AC_GETCOLOR), 0);
  Info.Color = Answer != 0 ? static_cast<TColor>(Answer) : static_cast<TColor>(ColorToRGB(Control->Color()));
  if (Info.PleaseDraw && Info.Bmp != nullptr && Info.DrawDC != nullptr) FillRectSolid(Info.DrawDC, Info.R, Info.Color);
  return false;
}

void BGInfoToCacheInfo(const TacBGInfo& Info, TCacheInfo& CI) {
  if (Info.BgType == btCache) {
    CI = MakeCacheInfo(Info.Bmp, Info.Offset.X, Info.Offset.Y);
    return;
  }
  CI.Bmp = nullptr;
  CI.X = 0;
  CI.Y = 0;
  CI.FillColor = static_cast<TColor>(ColorToRGB(Info.Color));
  CI.Ready = false;
}

TCacheInfo BGInfoToCacheInfo(const TacBGInfo& Info) {
  TCacheInfo CI;
  BGInfoToCacheInfo(Info, CI);
  return CI;
}

void AddMaskCornerRects(std::vector<TRect>& Rects, int Width, const TsMaskData& Mask, int YOffset, bool Bottom) {
  TBitmap* Src = MaskSourceBitmap(Mask);
  if (Src == nullptr) return;
  AddMaskCornerRects(Rects, Width, Mask, BitmapPixels(Src), YOffset, Bottom);
}

void FillCornersFromParent(TsCommonData* SkinData, int State, int Corners) {
  if (SkinData == nullptr) return;
  TsSkinManager* Manager = SkinData->GetSkinManager();
  TControl* Owner = SkinData->OwnerControl();
  TBitmap* Cache = SkinData->CacheBmp();
  if (Manager == nullptr || Owner == nullptr || Cache == nullptr) return;
  if (!Manager->IsValidMaskIndex(SkinData->BorderMaskIndex)) return;
  if (Owner->Width() < 2 || Owner->Height() < 2) return;

  // What lies under the owner; an owner without a parent gets the background query's colour
  // fallback (the button face).
  TacBackground Bg;
  TacBGInfo Info;
  Info.R = TRect{0, 0, Owner->Width(), Owner->Height()};
  QueryParentBackground(Info, Owner->Parent(), false);
  if (Info.BgType == btCache && Info.Bmp != nullptr) {
    Bg.Bmp = BitmapPixels(Info.Bmp);
    Bg.X = Info.Offset.X + Owner->Left();
    Bg.Y = Info.Offset.Y + Owner->Top();
    Bg.Ready = true;
  } else {
    Bg.FillColor = static_cast<TColor>(ColorToRGB(Info.Color));
  }

  const TsMaskData& Mask = Manager->Masks()[static_cast<std::size_t>(SkinData->BorderMaskIndex)];
  TBitmap* Src = MaskSourceBitmap(Mask);
  if (Src == nullptr) return;
  TRect R = Mask.R;
  int ImageCount = Mask.ImageCount, MaskType = Mask.MaskType;
  if (Mask.Bmp && ImageCount == 0) {
    // An own picture without frame count: three frames with a mask half.
    ImageCount = 3;
    MaskType = 1;
    R = TRect{0, 0, Src->Width(), Src->Height()};
  }
  if (ImageCount < 1 || MaskType < 0) return;
  const int N = State < ImageCount ? (State < 0 ? 0 : State) : ImageCount - 1;
  TacCornerFrame Frame;
  Frame.Src = BitmapPixels(Src);
  Frame.X = R.Left + static_cast<int>(static_cast<long long>(R.Right - R.Left) * N / ImageCount);
  Frame.Y = R.Top;
  Frame.Width = (R.Right - R.Left) / ImageCount;
  Frame.Height = (R.Bottom - R.Top) / (MaskType + 1);
  Frame.MaskType = MaskType;
  Frame.WL = Mask.WL;
  Frame.WT = Mask.WT;
  Frame.WR = Mask.WR;
  Frame.WB = Mask.WB;
  FillCornersFromBackground(BitmapPixels(Cache), Owner->Width(), Owner->Height(), Frame, Bg, Corners);
}

void FillTransparentFromBG(TBitmap* Dst, TBitmap* Bg, TRect R, TPoint BgPoint, int MaskIndex, TsSkinManager* Manager,
                           int Part) {
  if (Dst == nullptr || Bg == nullptr) return;
  const TacPixels D = BitmapPixels(Dst), B = BitmapPixels(Bg);
  if (!D.Is32() || !B.Is32()) return;
  if (MaskIndex < 0) {
    FillTransparentFromBG(D, B, R, BgPoint, nullptr, TPoint{});
    return;
  }
  if (Manager == nullptr) Manager = TsSkinManager::DefaultManager();
  if (Manager == nullptr || !Manager->IsValidMaskIndex(MaskIndex)) return;
  const TsMaskData& Mask = Manager->Masks()[static_cast<std::size_t>(MaskIndex)];
  TBitmap* Src = MaskSourceBitmap(Mask);
  if (Src == nullptr) return;
  const int FW = Mask.ImageCount > 0 ? MaskFrameWidth(Mask) : Mask.R.Right - Mask.R.Left;
  const int FH = MaskFrameHeight(Mask);
  TPoint Origin{Mask.R.Left, Mask.R.Top};
  if (Part == acPartTopRight || Part == acPartBottomRight) Origin.X += FW - Mask.WR;
  if (Part == acPartBottomLeft || Part == acPartBottomRight) Origin.Y += FH - Mask.WB;
  const TacPixels K = BitmapPixels(Src);
  FillTransparentFromBG(D, B, R, BgPoint, &K, Origin);
}

void CopyMaskedWithCache(TRect DstRect, TRect SrcRect, TBitmap* Dst, const TCacheInfo& CI, const TsMaskData& Mask) {
  TBitmap* Src = MaskSourceBitmap(Mask);
  if (Dst == nullptr || Src == nullptr) return;
  CopyMaskedWithCache(DstRect, SrcRect, BitmapPixels(Dst), BitmapPixels(Src), CacheBackground(CI),
                      (Mask.R.Bottom - Mask.R.Top) / 2);
}

bool LayeredWindowsAvailable() { return acUpdateLayeredWindow != nullptr; }
