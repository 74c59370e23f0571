// Image lists: adding bitmaps, masks and icons, drawing them by index (checked by pixels),
// settings, copies and change notices.
#include <gtest/gtest.h>

#include <memory>

#include "framework/ImgList.h"
#include "framework/Streams.h"
#include "support/UiTest.h"

namespace {

TColor Px(TBitmap& B, int X, int Y) { return B.Canvas()->Pixels(X, Y); }

std::unique_ptr<TBitmap> Filled(int W, int H, TColor C) {
  auto b = std::make_unique<TBitmap>(W, H, pf24bit);
  b->Canvas()->Brush()->SetColor(C);
  b->Canvas()->FillRect(Rect(0, 0, W, H));
  return b;
}

// Two 16 x 16 images side by side: a red one and a green one, each with a fuchsia border.
std::unique_ptr<TBitmap> Strip() {
  auto b = Filled(32, 16, clFuchsia);
  b->Canvas()->Brush()->SetColor(clRed);
  b->Canvas()->FillRect(Rect(2, 2, 14, 14));
  b->Canvas()->Brush()->SetColor(clLime);
  b->Canvas()->FillRect(Rect(18, 2, 30, 14));
  return b;
}

}  // namespace

TEST(ImageList, DefaultsAndPlatformList) {
  TImageList list(nullptr);
  EXPECT_EQ(list.Width(), 16);
  EXPECT_EQ(list.Height(), 16);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_FALSE(list.HandleAllocated());
  EXPECT_EQ(list.BkColor(), clNone);
  EXPECT_EQ(list.DrawingStyle(), dsNormal);
  EXPECT_TRUE(list.Masked());
  HIMAGELIST h = list.Handle();
  ASSERT_NE(h, nullptr);
  int w = 0, hh = 0;
  ImageList_GetIconSize(h, &w, &hh);
  EXPECT_EQ(w, 16);
  EXPECT_EQ(hh, 16);
  EXPECT_EQ(ImageList_GetBkColor(h), CLR_NONE);

  TImageList sized(nullptr, 24, 20);
  EXPECT_EQ(sized.Width(), 24);
  EXPECT_THROW(TImageList(nullptr, 0, 16), EInvalidOperation);
  EXPECT_THROW(sized.SetSize(16, 40000), EInvalidOperation);
}

TEST(ImageList, AddMaskedAndDraw) {
  TImageList list(nullptr);
  auto strip = Strip();
  EXPECT_EQ(list.AddMasked(strip.get(), clFuchsia), 0);
  EXPECT_EQ(list.Count(), 2) << "a strip of two images";
  EXPECT_EQ(Px(*strip, 0, 0), clFuchsia) << "the caller's bitmap is untouched";

  auto target = Filled(40, 20, clBlue);
  list.Draw(target->Canvas(), 2, 2, 0);
  list.Draw(target->Canvas(), 20, 2, 1);
  EXPECT_EQ(Px(*target, 2, 2), clBlue) << "the masked border is transparent";
  EXPECT_EQ(Px(*target, 8, 8), clRed);
  EXPECT_EQ(Px(*target, 26, 8), clLime);
  EXPECT_EQ(Px(*target, 20, 2), clBlue);

  // Bad indexes draw nothing.
  list.Draw(target->Canvas(), 0, 0, 5);
  list.Draw(target->Canvas(), 0, 0, -1);
  EXPECT_EQ(Px(*target, 0, 0), clBlue);

  // With a background colour the transparent parts take it.
  list.SetBkColor(clYellow);
  EXPECT_EQ(list.BkColor(), clYellow);
  list.Draw(target->Canvas(), 2, 2, 0);
  EXPECT_EQ(Px(*target, 2, 2), clYellow);
  EXPECT_EQ(Px(*target, 8, 8), clRed);
}

TEST(ImageList, AddWithMaskBitmapAndIcons) {
  TImageList list(nullptr);
  auto image = Filled(16, 16, clRed);
  TBitmap mask(16, 16, pf1bit);  // white = transparent: the left half
  mask.Canvas()->Brush()->SetColor(clBlack);
  mask.Canvas()->FillRect(Rect(8, 0, 16, 16));
  image->Canvas()->Brush()->SetColor(clBlack);
  image->Canvas()->FillRect(Rect(0, 0, 8, 16));
  EXPECT_EQ(list.Add(image.get(), &mask), 0);
  EXPECT_EQ(list.Add(nullptr, nullptr), -1);
  auto small = Filled(8, 8, clRed);
  EXPECT_THROW(list.Add(small.get(), nullptr), EInvalidOperation);

  auto target = Filled(16, 16, clBlue);
  list.Draw(target->Canvas(), 0, 0, 0);
  EXPECT_EQ(Px(*target, 3, 8), clBlue);
  EXPECT_EQ(Px(*target, 12, 8), clRed);

  // An icon taken from the list and added back draws the same.
  TIcon icon;
  list.GetIcon(0, &icon);
  ASSERT_FALSE(icon.Empty());
  EXPECT_EQ(icon.Width(), 16);
  EXPECT_EQ(list.AddIcon(&icon), 1);
  auto again = Filled(16, 16, clBlue);
  list.Draw(again->Canvas(), 0, 0, 1);
  EXPECT_EQ(Px(*again, 3, 8), clBlue);
  EXPECT_EQ(Px(*again, 12, 8), clRed);
  TIcon empty;
  EXPECT_EQ(list.AddIcon(&empty), -1);
}

TEST(ImageList, GetBitmapDrawsOntoWhatTheBitmapHolds) {
  TImageList list(nullptr);
  auto strip = Strip();
  list.AddMasked(strip.get(), clFuchsia);
  auto out = Filled(1, 1, clAqua);  // resized to the list's images, the new area white
  out->Canvas()->Brush()->SetColor(clGray);
  ASSERT_TRUE(list.GetBitmap(1, out.get()));
  EXPECT_EQ(out->Width(), 16);
  EXPECT_EQ(out->Height(), 16);
  EXPECT_EQ(Px(*out, 8, 8), clLime);
  EXPECT_EQ(Px(*out, 15, 15), clWhite);
  EXPECT_FALSE(list.GetBitmap(2, out.get()));
  EXPECT_FALSE(list.GetBitmap(0, nullptr));
}

TEST(ImageList, DisabledImagesAreEmbossed) {
  TImageList list(nullptr);
  auto strip = Strip();
  list.AddMasked(strip.get(), clFuchsia);
  auto target = Filled(20, 20, clWhite);
  list.Draw(target->Canvas(), 0, 0, 0, false);
  EXPECT_EQ(static_cast<COLORREF>(Px(*target, 8, 8)), ColorToRGB(clBtnShadow));
  EXPECT_EQ(Px(*target, 0, 0), clWhite) << "transparent parts stay";
  EXPECT_NE(Px(*target, 8, 8), clRed);
}

TEST(ImageList, DeleteClearAndResize) {
  TImageList list(nullptr);
  auto strip = Strip();
  list.AddMasked(strip.get(), clFuchsia);
  list.AddMasked(strip.get(), clFuchsia);
  EXPECT_EQ(list.Count(), 4);
  list.Delete(0);
  EXPECT_EQ(list.Count(), 3);
  auto target = Filled(16, 16, clBlue);
  list.Draw(target->Canvas(), 0, 0, 0);
  EXPECT_EQ(Px(*target, 8, 8), clLime) << "the images after the deleted one move up";
  EXPECT_THROW(list.Delete(3), EInvalidOperation);
  EXPECT_THROW(list.Delete(-1), EInvalidOperation);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  list.AddMasked(strip.get(), clFuchsia);
  list.SetSize(24, 24);
  EXPECT_EQ(list.Count(), 0) << "a new size removes the images";
}

TEST(ImageList, ChangeNoticesAndLinks) {
  TImageList list(nullptr);
  int changes = 0, linked = 0;
  list.OnChange = [&](TObject* s) {
    EXPECT_EQ(s, &list);
    ++changes;
  };
  auto link = std::make_unique<TChangeLink>();
  link->OnChange = [&](TObject*) { ++linked; };
  list.RegisterChanges(link.get());
  EXPECT_EQ(link->Sender(), &list);
  auto strip = Strip();
  list.AddMasked(strip.get(), clFuchsia);
  list.Delete(0);
  list.SetDrawingStyle(dsTransparent);
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(linked, 3);
  link.reset();  // a destroyed link leaves the list
  list.Clear();
  EXPECT_EQ(changes, 4);

  TChangeLink survivor;
  {
    TImageList shortLived(nullptr);
    shortLived.RegisterChanges(&survivor);
  }
  EXPECT_EQ(survivor.Sender(), nullptr) << "a destroyed list lets its links go";
}

TEST(ImageList, AssignCopiesImagesAndSettings) {
  TImageList a(nullptr, 16, 16);
  auto strip = Strip();
  a.AddMasked(strip.get(), clFuchsia);
  a.SetDrawingStyle(dsFocus);
  a.SetBkColor(clYellow);
  TImageList b(nullptr);
  b.Assign(&a);
  EXPECT_EQ(b.Count(), 2);
  EXPECT_NE(b.Handle(), a.Handle());
  EXPECT_EQ(b.DrawingStyle(), dsFocus);
  EXPECT_EQ(b.BkColor(), clYellow);
  a.Clear();
  EXPECT_EQ(b.Count(), 2) << "an independent copy";

  b.SetMasked(false);
  EXPECT_EQ(b.Count(), 2) << "remaking the platform list keeps the images";
  b.Assign(nullptr);
  EXPECT_EQ(b.Count(), 0);
}

TEST(ImageList, StoredDataRoundTrip) {
  TImageList a(nullptr);
  auto strip = Strip();
  a.AddMasked(strip.get(), clFuchsia);
  TMemoryStream s;
  a.WriteData(s);
  ASSERT_GT(s.Size(), 0);
  s.SetPosition(0);
  TImageList b(nullptr);
  b.ReadData(s);
  EXPECT_EQ(b.Count(), 2);
  auto target = Filled(16, 16, clBlue);
  b.Draw(target->Canvas(), 0, 0, 1);
  EXPECT_EQ(Px(*target, 8, 8), clLime);
  EXPECT_EQ(Px(*target, 0, 0), clBlue);

  TMemoryStream junk;
  junk.WriteAnsiString("not an image list");
  junk.SetPosition(0);
  EXPECT_THROW(b.ReadData(junk), EReadError);
}

TEST(ImageList, NoGdiObjectsLeak) {
  auto cycle = [] {
    TImageList list(nullptr);
    auto strip = Strip();
    list.AddMasked(strip.get(), clFuchsia);
    TBitmap mask(32, 16, pf1bit);
    list.Add(strip.get(), &mask);
    auto target = Filled(20, 20, clWhite);
    list.Draw(target->Canvas(), 0, 0, 0);
    list.Draw(target->Canvas(), 0, 0, 1, false);
    TIcon icon;
    list.GetIcon(0, &icon);
    list.AddIcon(&icon);
    TImageList copy(nullptr);
    copy.Assign(&list);
    copy.SetMasked(false);
  };
  cycle();
  const int before = uitest::GdiObjectCount();
  if (before < 0) GTEST_SKIP() << "GDI objects cannot be counted here";
  for (int i = 0; i < 200; ++i) cycle();
  EXPECT_EQ(uitest::GdiObjectCount(), before);
}
