// What a skinned control answers about its background and colour (to its children's background
// queries and to the painting code), the copies of its cache bitmap that leave its child controls
// and child windows alone (checked in the pixels), and the glow around it.
#include <gtest/gtest.h>

#include "commondata_support.h"
#include "skin/core/acGlow.h"
#include "skin/core/sBackground.h"
#include "skin/core/sMessages.h"
#include "skin/core/sVclUtils.h"

using namespace cdtest;

namespace {

// The engine's splitter as the cache copy sees it: a graphic control of that class name.
class TsSplitter : public TGraphicControl {
  T_CLASS(TsSplitter, TGraphicControl)
 public:
  using TGraphicControl::TGraphicControl;
};

}  // namespace

TEST(CommonDataBackground, BackgroundColourMixesTheParentByTransparency) {
  auto Mgr = NewSkinnedManager();
  TTestForm F;
  auto* White = F.Add<TPanel>(F.Form);
  White->SetColor(clWhite);
  auto* Quarter = F.Add<TSkinnedControl>(White, "QUARTER");  // black, 25 % transparent
  EXPECT_EQ(Quarter->SkinData()->GetBackgroundColor(), 0x404040);
  auto* Flat = F.Add<TSkinnedControl>(White, "FLAT");
  EXPECT_EQ(Flat->SkinData()->GetBackgroundColor(), 0x102030);
  Flat->SetColor(clRed);
  Flat->SkinData()->SetCustomColor(true);
  EXPECT_EQ(Flat->SkinData()->GetBackgroundColor(), 0x0000FF);
  auto* Clear = F.Add<TSkinnedControl>(White, "CLEAR");
  EXPECT_EQ(Clear->SkinData()->GetBackgroundColor(), 0xFFFFFF);
  // Unskinned: the owner's colour in RGB.
  Clear->SkinData()->SetSkinSection("NOSUCH");
  Clear->SetColor(clBtnFace);
  EXPECT_EQ(static_cast<COLORREF>(Clear->SkinData()->GetBackgroundColor()), ColorToRGB(clBtnFace));
  // Without an owner control.
  TsCommonData D(nullptr);
  D.SetSkinSection("HALF");
  EXPECT_EQ(D.GetBackgroundColor(), clKeyColor);
  D.SetSkinSection("CLEAR");
  EXPECT_EQ(static_cast<COLORREF>(D.GetBackgroundColor()), ColorToRGB(clBtnFace));
  EXPECT_EQ(OwnerColor(&D), clBtnFace);
  EXPECT_EQ(OwnerColor(Flat->SkinData()), clRed);
}

TEST(CommonDataBackground, FlatSectionsAnswerTheirColourAndPaintIt) {
  auto Mgr = NewSkinnedManager();
  TTestForm F;
  auto* P = F.Add<TSkinnedPanel>(F.Form, "FLAT");
  TMemDC Mem(20, 20, clWhite);
  TacBGInfo Info;
  Info.PleaseDraw = true;
  Info.DrawDC = Mem.DC();
  Info.R = Rect(2, 2, 10, 10);
  P->SkinData()->GetBackgroundInfo(Info);
  EXPECT_EQ(Info.BgType, btFill);
  EXPECT_EQ(Info.Color, 0x102030);
  EXPECT_EQ(Mem.At(2, 2), 0x102030);
  EXPECT_EQ(Mem.At(9, 9), 0x102030);
  EXPECT_EQ(Mem.At(10, 10), clWhite);
  // Unskinned or with its own colour: the owner's colour, nothing painted.
  P->SetColor(clLime);
  P->SkinData()->SetCustomColor(true);
  TacBGInfo Own;
  P->SkinData()->GetBackgroundInfo(Own);
  EXPECT_EQ(Own.BgType, btFill);
  EXPECT_EQ(Own.Color, clLime);
}

TEST(CommonDataBackground, TransparentSectionsAnswerTheirCache) {
  auto Mgr = NewSkinnedManager();
  TTestForm F;
  auto* P = F.Add<TSkinnedPanel>(F.Form, "HALF");
  TacBGInfo NoCache;
  P->SkinData()->GetBackgroundInfo(NoCache);
  EXPECT_EQ(NoCache.BgType, btFill);
  EXPECT_EQ(NoCache.Color, clKeyColor);

  Fill(P->SkinData()->CacheBmp(), 40, 30, clBlue);
  P->SkinData()->CacheBmp()->Canvas()->SetPixels(5, 6, clRed);
  TacBGInfo Info;
  Info.Offset = TPoint{7, 7};
  P->SkinData()->GetBackgroundInfo(Info);
  EXPECT_EQ(Info.BgType, btCache);
  EXPECT_EQ(Info.Bmp, P->SkinData()->CacheBmp());
  EXPECT_EQ(Info.Offset.X, 0);
  EXPECT_EQ(Info.Offset.Y, 0);

  // Asked to draw: the cache area at the offset goes to R.
  TMemDC Mem(20, 20, clWhite);
  TacBGInfo Draw;
  Draw.PleaseDraw = true;
  Draw.DrawDC = Mem.DC();
  Draw.Offset = TPoint{5, 6};
  Draw.R = Rect(1, 1, 4, 4);
  P->SkinData()->GetBackgroundInfo(Draw);
  EXPECT_EQ(Draw.BgType, btCache);
  EXPECT_EQ(Mem.At(1, 1), clRed);
  EXPECT_EQ(Mem.At(2, 2), clBlue);
  EXPECT_EQ(Mem.At(4, 4), clWhite);
}

TEST(CommonDataBackground, FullyTransparentSectionsPassTheQuestionOnUnlessTheirBorderIsWide) {
  auto Mgr = NewSkinnedManager();
  TTestForm F;
  auto* Parent = F.Add<TSkinnedPanel>(F.Form, "HALF");
  Parent->SetBounds(0, 0, 200, 150);
  Fill(Parent->SkinData()->CacheBmp(), 200, 150, clAqua);
  auto* Thin = F.Add<TSkinnedPanel>(Parent, "THIN");
  Thin->SetBounds(30, 20, 100, 80);
  TacBGInfo Info;
  Thin->SkinData()->GetBackgroundInfo(Info);
  EXPECT_EQ(Info.BgType, btCache);
  EXPECT_EQ(Info.Bmp, Parent->SkinData()->CacheBmp());
  EXPECT_EQ(Info.Offset.X, 30);
  EXPECT_EQ(Info.Offset.Y, 20);

  // 30 + 30 pixels of border: its own picture, not the parent's.
  auto* Thick = F.Add<TSkinnedPanel>(Parent, "THICK");
  Thick->SetBounds(10, 10, 60, 40);
  TacBGInfo NoCache;
  Thick->SkinData()->GetBackgroundInfo(NoCache);
  EXPECT_EQ(NoCache.BgType, btFill);
  EXPECT_EQ(NoCache.Color, GetControlColor(Parent));
  Fill(Thick->SkinData()->CacheBmp(), 60, 40, clYellow);
  TacBGInfo Own;
  Thick->SkinData()->GetBackgroundInfo(Own);
  EXPECT_EQ(Own.BgType, btCache);
  EXPECT_EQ(Own.Bmp, Thick->SkinData()->CacheBmp());
}

TEST(CommonDataBackground, ChildrenGetTheAnswerThroughTheSkinCommand) {
  auto Mgr = NewSkinnedManager();
  TTestForm F;
  auto* Parent = F.Add<TSkinnedPanel>(F.Form, "GRAD");
  Parent->SetBounds(0, 0, 200, 150);
  Fill(Parent->SkinData()->CacheBmp(), 200, 150, clAqua);
  auto* Child = F.Add<TSkinnedControl>(Parent, "HALF");
  Child->SetBounds(12, 14, 50, 40);
  Parent->HandleNeeded();
  TacBGInfo Info;
  EXPECT_TRUE(QueryParentBackground(Info, Parent, false));
  EXPECT_EQ(Info.BgType, btCache);
  EXPECT_EQ(Info.Bmp, Parent->SkinData()->CacheBmp());

  TCacheInfo CI;
  Child->SkinData()->GetParentCacheInfo(CI);
  EXPECT_TRUE(CI.Ready);
  EXPECT_EQ(CI.Bmp, Parent->SkinData()->CacheBmp());
  EXPECT_EQ(CI.FillColor, clKeyColor);

  // Not skinned: the own colour, not ready.
  Child->SkinData()->SetSkinSection("NOSUCH");
  Child->SetColor(clRed);
  TCacheInfo Plain;
  Child->SkinData()->GetParentCacheInfo(Plain);
  EXPECT_FALSE(Plain.Ready);
  EXPECT_EQ(Plain.Bmp, nullptr);
  EXPECT_EQ(Plain.FillColor, 0x0000FF);
}

TEST(CommonDataBackground, ParentCacheOfAWindow) {
  TCacheInfo CI;
  CI.Ready = true;
  GetParentCacheOfWindow(nullptr, CI);
  EXPECT_FALSE(CI.Ready);
  EXPECT_EQ(CI.X, -99);
  EXPECT_EQ(CI.Y, -99);
  EXPECT_EQ(CI.Bmp, nullptr);

  auto Mgr = NewSkinnedManager();
  TTestForm F;
  auto* Parent = F.Add<TSkinnedPanel>(F.Form, "HALF");
  Parent->SetBounds(0, 0, 100, 80);
  Fill(Parent->SkinData()->CacheBmp(), 100, 80, clAqua);
  auto* Child = F.Add<TPanel>(Parent);
  TCacheInfo Under;
  GetParentCacheOfWindow(Child->Handle(), Under);
  EXPECT_TRUE(Under.Ready);
  EXPECT_EQ(Under.Bmp, Parent->SkinData()->CacheBmp());
}

TEST(CommonDataBackground, CacheCopyLeavesOutControlsThatPaintThemselves) {
  auto Mgr = NewSkinnedManager();
  TTestForm F;
  auto* P = F.Add<TSkinnedPanel>(F.Form, "FLAT");
  P->SetBounds(0, 0, 100, 60);
  Fill(P->SkinData()->CacheBmp(), 100, 60, clRed);
  auto* Graphic = F.Add<TSkinnedGraphic>(P, "FLAT");
  Graphic->SetBounds(10, 10, 10, 10);
  auto* Windowed = F.Add<TSkinnedControl>(P, "FLAT");
  Windowed->SetBounds(30, 10, 10, 10);
  auto* Opaque = F.Add<TSkinnedControl>(P, "FLAT");
  Opaque->SetBounds(50, 10, 10, 10);
  Opaque->SetControlStyle(Opaque->ControlStyle() + csOpaque);
  auto* Hidden = F.Add<TSkinnedGraphic>(P, "FLAT");
  Hidden->SetBounds(70, 10, 10, 10);
  Hidden->SetVisible(false);
  auto* Split = F.Add<TsSplitter>(P);
  Split->SetBounds(85, 10, 10, 10);

  TMemDC Mem(120, 80, clWhite);
  // The cache moved by (5, 3) in the target; the children too.
  CopyCacheExceptControls(P, P->SkinData(), TPoint{0, 0}, 3, 5, false, Mem.DC(), Rect(5, 3, 105, 63));
  EXPECT_EQ(Mem.At(6, 4), clRed);
  EXPECT_EQ(Mem.At(4, 2), clWhite);  // outside R
  EXPECT_EQ(Mem.At(15 + 1, 13 + 1), clWhite);  // the graphic child
  EXPECT_EQ(Mem.At(35 + 1, 13 + 1), clRed);    // a windowed child clips itself
  EXPECT_EQ(Mem.At(55 + 1, 13 + 1), clWhite);  // an opaque one is left out
  EXPECT_EQ(Mem.At(75 + 1, 13 + 1), clRed);    // hidden
  EXPECT_EQ(Mem.At(90 + 1, 13 + 1), clRed);    // the splitter is painted over
  // The DC's clipping is given back.
  HRGN Rgn = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetClipRgn(Mem.DC(), Rgn), 0);
  DeleteObject(Rgn);

  // Without a cache bitmap nothing is copied.
  TsCommonData NoCache(nullptr);
  TMemDC Untouched(10, 10, clWhite);
  CopyCacheExceptControls(P, &NoCache, TPoint{0, 0}, 0, 0, false, Untouched.DC(), Rect(0, 0, 10, 10));
  EXPECT_EQ(Untouched.At(1, 1), clWhite);
}

namespace {

// A plain child window of the given class and style.
HWND ChildWindow(HWND Parent, const wchar_t* Class, DWORD Style, int X, int Y, int W, int H) {
  return CreateWindowExW(0, Class, L"", WS_CHILD | WS_VISIBLE | Style, X, Y, W, H, Parent, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

TEST(CommonDataBackground, CacheCopyOverWindowsLeavesGroupBoxFramesOnlyWithAManager) {
  TTestForm F;
  auto* Host = F.Add<TPanel>(F.Form);
  Host->SetBounds(0, 0, 120, 80);
  F.Show();
  HWND H = Host->Handle();
  HWND Plain = ChildWindow(H, L"STATIC", 0, 5, 5, 10, 10);
  HWND Group = ChildWindow(H, L"BUTTON", BS_GROUPBOX, 30, 5, 60, 50);
  HWND Hidden = ChildWindow(H, L"STATIC", 0, 100, 5, 10, 10);
  ShowWindow(Hidden, SW_HIDE);
  TsCommonData D(nullptr, 0, true);
  Fill(D.CacheBmp(), 120, 80, clRed);

  // No default manager: group boxes are painted over entirely.
  ASSERT_EQ(TsSkinManager::DefaultManager(), nullptr);
  TMemDC Before(120, 80, clWhite);
  CopyCacheExceptWindows(H, &D, TPoint{0, 0}, 0, 0, false, Before.DC(), Rect(0, 0, 120, 80));
  EXPECT_EQ(Before.At(6, 6), clWhite);   // the plain child
  EXPECT_EQ(Before.At(30, 30), clRed);   // the group box's frame
  EXPECT_EQ(Before.At(60, 30), clRed);
  EXPECT_EQ(Before.At(101, 6), clRed);   // hidden

  // With one: only the frame strips of the GROUPBOX border margins (3 left, 4 right, 5 bottom).
  auto Mgr = NewSkinnedManager();
  TMemDC After(120, 80, clWhite);
  CopyCacheExceptWindows(H, &D, TPoint{0, 0}, 0, 0, false, After.DC(), Rect(0, 0, 120, 80));
  EXPECT_EQ(After.At(30, 30), clWhite);
  EXPECT_EQ(After.At(32, 30), clWhite);
  EXPECT_EQ(After.At(33, 30), clRed);
  EXPECT_EQ(After.At(86, 30), clWhite);
  EXPECT_EQ(After.At(85, 30), clRed);
  EXPECT_EQ(After.At(60, 50), clWhite);
  EXPECT_EQ(After.At(60, 49), clRed);
  EXPECT_EQ(After.At(60, 30), clRed);
  EXPECT_EQ(After.At(6, 6), clWhite);
  DestroyWindow(Plain);
  DestroyWindow(Group);
  DestroyWindow(Hidden);
}

TEST(CommonDataBackground, GlowFollowsTheMouseOver) {
  auto Mgr = NewSkinnedManager();
  ClearGlows();
  TTestForm F;
  auto* C = F.Add<TSkinnedControl>(F.Form, "GLOWING", 2);
  C->SetBounds(40, 40, 80, 30);
  F.Show();
  TsCommonData* D = C->SkinData();
  UpdateGlow(D, false);
  EXPECT_EQ(D->GlowId, -1);  // the mouse is not over it
  C->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(C));
  ASSERT_TRUE(D->MouseOver);
  if (!LayeredWindowsAvailable()) GTEST_SKIP() << "no layered windows";
  ASSERT_GE(D->GlowId, 0);
  TacGlowEffect* G = GlowAt(D->GlowId);
  ASSERT_NE(G, nullptr);
  ASSERT_NE(G->Form(), nullptr);
  EXPECT_TRUE(IsWindowVisible(G->Form()->Handle()));
  // Showing again replaces the glow; the old one does not stay on the screen.
  const int First = D->GlowId;
  UpdateGlow(D, false);
  EXPECT_NE(D->GlowId, First);
  EXPECT_EQ(GlowAt(First), nullptr);
  // HideIfShown hides a shown glow.
  UpdateGlow(D, true);
  EXPECT_EQ(D->GlowId, -1);
  UpdateGlow(D, true);
  EXPECT_GE(D->GlowId, 0);
  // Moving hides it.
  C->SetBounds(50, 40, 80, 30);
  EXPECT_EQ(D->GlowId, -1);
  UpdateGlow(D, false);
  ASSERT_GE(D->GlowId, 0);
  C->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(C));
  EXPECT_EQ(D->GlowId, -1);
  EXPECT_EQ(GlowListLength(), 0);
  // Not allowed by the manager: nothing.
  D->MouseOver = true;
  Mgr->SetAllowGlowing(false);
  UpdateGlow(D, false);
  EXPECT_EQ(D->GlowId, -1);
  Mgr->SetAllowGlowing(true);
  // A skin data going away takes its glow with it.
  UpdateGlow(D, false);
  const int Id = D->GlowId;
  ASSERT_GE(Id, 0);
  delete C;
  EXPECT_EQ(GlowAt(Id), nullptr);
  ClearGlows();
}

TEST(CommonDataBackground, DisablingHidesTheGlow) {
  auto Mgr = NewSkinnedManager();
  if (!LayeredWindowsAvailable()) GTEST_SKIP() << "no layered windows";
  ClearGlows();
  TTestForm F;
  auto* C = F.Add<TSkinnedControl>(F.Form, "GLOWING", 2);
  C->SetBounds(40, 40, 80, 30);
  F.Show();
  C->SkinData()->MouseOver = true;
  UpdateGlow(C->SkinData(), false);
  ASSERT_GE(C->SkinData()->GlowId, 0);
  C->SetEnabled(false);
  EXPECT_EQ(C->SkinData()->GlowId, -1);
  EXPECT_EQ(GlowAt(0), nullptr);
  ClearGlows();
}

namespace {

// A skinned control that shows its cache bitmap (as the skinned controls do once painted).
class TCacheShown : public TCustomControl {
  T_CLASS(TCacheShown, TCustomControl)
 public:
  TCacheShown(TComponent* AOwner, const AnsiString& Section)
      : TCustomControl(AOwner), FSkinData(std::make_unique<TsCommonData>(this, 51, true)) {
    FSkinData->SetSkinSection(Section);
  }
  ~TCacheShown() override { FSkinData.reset(); }

 protected:
  void Paint() override {
    CopyCacheExceptControls(this, FSkinData.get(), TPoint{0, 0}, 0, 0, false, Canvas()->Handle(), ClientRect());
  }
  CDTEST_ROUTE(TCustomControl)
};

// A control that paints what lies under it: its parent's answer, drawn into its own DC.
class TSeeThrough : public TCustomControl {
  T_CLASS(TSeeThrough, TCustomControl)
 public:
  using TCustomControl::TCustomControl;

 protected:
  void Paint() override {
    TacBGInfo Info;
    Info.PleaseDraw = true;
    Info.DrawDC = Canvas()->Handle();
    Info.Offset = TPoint{Left(), Top()};
    Info.R = ClientRect();
    QueryParentBackground(Info, Parent(), true);
  }
};

}  // namespace

TEST(CommonDataBackground, AChildShowsTheCacheOfItsParentOnTheScreen) {
  auto Mgr = NewSkinnedManager();
  TTestForm F;
  auto* Parent = F.Add<TCacheShown>(F.Form, "HALF");
  Parent->SetBounds(10, 10, 200, 100);
  TBitmap* Cache = Parent->SkinData()->CacheBmp();
  Fill(Cache, 200, 100, clBlue);
  Cache->Canvas()->Brush()->SetColor(clRed);
  Cache->Canvas()->FillRect(Rect(0, 0, 100, 100));
  // A fully transparent child with a thin border passes the question on to the parent.
  auto* Middle = F.Add<TCacheShown>(Parent, "THIN");
  Middle->SetBounds(60, 40, 80, 50);
  auto* Child = F.Add<TSeeThrough>(Middle);
  Child->SetBounds(30, 5, 20, 20);  // straddles x = 100 of the parent
  Fill(Middle->SkinData()->CacheBmp(), 80, 50, clLime);
  Middle->SkinData()->SetSkinSection("HALF");  // its own picture, lime
  F.Show();
  uitest::Settle(F.Form->Handle());
  uitest::SaveScreenshot(F.Form->Handle(), "commondata_see_through");
  EXPECT_EQ(uitest::WindowPixel(Parent->Handle(), 20, 20), clRed);
  EXPECT_EQ(uitest::WindowPixel(Parent->Handle(), 150, 20), clBlue);
  EXPECT_EQ(uitest::WindowPixel(Middle->Handle(), 5, 30), clLime);
  EXPECT_EQ(uitest::WindowPixel(Child->Handle(), 5, 5), clLime);

  // Through a fully transparent middle control: the parent's picture at the child's place.
  Middle->SkinData()->SetSkinSection("THIN");
  Child->Invalidate();
  uitest::Settle(Child->Handle());
  uitest::SaveScreenshot(F.Form->Handle(), "commondata_see_through_clear");
  EXPECT_EQ(uitest::WindowPixel(Child->Handle(), 5, 5), clRed);
  EXPECT_EQ(uitest::WindowPixel(Child->Handle(), 15, 5), clBlue);
}
