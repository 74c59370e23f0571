// The list view and the tree view on real windows: columns with header images, items, nodes
// kept across a new window, and the tree's custom-draw event painting the tree.
#include <gtest/gtest.h>

#include <memory>

#include "framework/Forms.h"
#include "framework/ImgList.h"
#include "framework/ListViews.h"
#include "support/UiTest.h"

namespace {

std::unique_ptr<TForm> ShownForm() {
  auto F = std::make_unique<TForm>(nullptr);
  F->SetBounds(60, 60, 420, 300);
  F->SetColor(clWhite);
  uitest::ShowSettled(F.get());
  return F;
}

}  // namespace

TEST(ListView, ColumnsWithHeaderImagesAndItems) {
  auto F = ShownForm();
  auto* Images = new TImageList(F.get());
  TBitmap Pic(16, 16, pf24bit);
  Pic.Canvas()->Brush()->SetColor(clRed);
  Pic.Canvas()->FillRect(Rect(0, 0, 16, 16));
  Images->Add(&Pic, nullptr);
  auto* LV = new TListView(F.get());
  LV->SetParent(F.get());
  LV->SetBounds(10, 10, 300, 200);
  LV->SetViewStyle(vsReport);
  LV->SetSmallImages(Images);
  TListColumn* C0 = LV->Columns()->Add();
  C0->SetCaption(L"Name");
  C0->SetWidth(120);
  C0->SetImageIndex(0);
  TListColumn* C1 = LV->Columns()->Add();
  C1->SetCaption(L"Value");
  C1->SetAlignment(taRightJustify);
  LV->AddItem(L"first", {L"1"});
  LV->AddItem(L"second", {L"2"});
  uitest::Settle(F->Handle());
  HWND W = LV->Handle();
  EXPECT_EQ(SendMessageW(W, LVM_GETITEMCOUNT, 0, 0), 2);
  HWND Header = reinterpret_cast<HWND>(SendMessageW(W, LVM_GETHEADER, 0, 0));
  ASSERT_NE(Header, nullptr);
  EXPECT_EQ(SendMessageW(Header, HDM_GETITEMCOUNT, 0, 0), 2);
  HDITEMW H{};
  H.mask = HDI_FORMAT | HDI_IMAGE;
  SendMessageW(Header, HDM_GETITEMW, 0, reinterpret_cast<LPARAM>(&H));
  EXPECT_NE(H.fmt & HDF_IMAGE, 0) << "the column's image reaches its header item";
  EXPECT_EQ(H.iImage, 0);
  SendMessageW(Header, HDM_GETITEMW, 1, reinterpret_cast<LPARAM>(&H));
  EXPECT_EQ(H.fmt & HDF_IMAGE, 0);
  wchar_t Buf[32] = {};
  LVITEMW Sub{};
  Sub.iSubItem = 1;
  Sub.pszText = Buf;
  Sub.cchTextMax = 31;
  SendMessageW(W, LVM_GETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&Sub));
  EXPECT_STREQ(Buf, L"2");
  // The image list freed first: the view hears of it.
  delete Images;
  EXPECT_EQ(LV->SmallImages(), nullptr);
  EXPECT_EQ(SendMessageW(W, LVM_GETIMAGELIST, LVSIL_SMALL, 0), 0);
}

TEST(TreeView, NodesSurviveANewWindowAndCustomDrawPaintsTheTree) {
  auto F = ShownForm();
  auto* TV = new TTreeView(F.get());
  TV->SetParent(F.get());
  TV->SetBounds(10, 10, 200, 200);
  TTreeNode* Root = TV->AddChild(nullptr, L"Root");
  TV->AddChild(Root, L"Child");
  TV->AddChild(nullptr, L"Second");
  Root->SetExpanded(true);
  uitest::Settle(F->Handle());
  EXPECT_EQ(SendMessageW(TV->Handle(), TVM_GETCOUNT, 0, 0), 3);
  TV->Perform(CM_RECREATEWND, 0, 0);
  EXPECT_EQ(SendMessageW(TV->Handle(), TVM_GETCOUNT, 0, 0), 3);
  EXPECT_NE(SendMessageW(TV->Handle(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(Root->ItemId()), TVIS_EXPANDED) &
                TVIS_EXPANDED,
            0)
      << "the expanded node is expanded in the new window";

  int Calls = 0;
  TV->OnCustomDraw = [&](TCustomTreeView* Sender, const TRect& R, bool& DefaultDraw) {
    ++Calls;
    Sender->Canvas()->Brush()->SetColor(clLime);
    Sender->Canvas()->FillRect(R);
    DefaultDraw = false;
  };
  InvalidateRect(TV->Handle(), nullptr, TRUE);
  uitest::Settle(F->Handle());
  EXPECT_GE(Calls, 1);
  HDC DC = GetDC(TV->Handle());
  EXPECT_EQ(GetPixel(DC, 20, 8), RGB(0, 255, 0)) << "the tree is what the handler painted";
  ReleaseDC(TV->Handle(), DC);
}
