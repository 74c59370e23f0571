// The program from start to a playing channel: the forms created as the program creates them in
// a folder with its two files, a real click on a row of the shown main window, the page that
// reaches the browser's document, and the stream address the browser then paints.
#include <gtest/gtest.h>

#include "support/AppTestHelpers.h"

using namespace apptest;

TEST(EndToEnd, ClickingARowLoadsThatChannelsPage) {
  const TProgramRun Run("198.51.100.20\r\n",
                        ListText({"\xCF\xE5\xF0\xE2\xFB\xE9 \xE3\xEE\xF0\xEE\xE4\xF1\xEA\xEE\xE9|101,hd",
                                  "\xCD\xEE\xE2\xEE\xF1\xF2\xE8 24|102,hd", "Riverside News|201,hd",
                                  "Harbor Sports|202,hd", "Jazz Lounge|204,hd"}));
  ShowMainForm();
  ASSERT_TRUE(Form1->Showing());
  EXPECT_TRUE(Run.Boxes.Texts.empty());
  ASSERT_EQ(Form1->NxGrid1->RowCount(), 5);
  EXPECT_EQ(Form1->NxGrid1->Cells(0, 1), L"Новости 24|102,hd");
  TCapture Start(Form1->Handle());
  Start.MaybeSave("main_start");

  // A real click in the middle of the fourth row.
  const TPoint P = RowPoint(Form1->NxGrid1, 3);
  realinput::Click(Form1->NxGrid1->Handle(), P.X, P.Y);
  TWebBrowser* Browser = Run.Browser();
  ASSERT_TRUE(WaitFor([&] { return LoadedPage(Browser) == ExpectedPage("202"); }))
      << "loaded: " << LoadedPage(Browser);
  EXPECT_EQ(Form1->NxGrid1->SelectedRow(), 3);
  EXPECT_EQ(Browser->ShownAddress(), L"http://198.51.100.20:5021/live/202|c03");

  // The browser paints that address, exactly, on black.
  Settle(Form1->Handle());
  TCapture Main(Form1->Handle());
  Main.MaybeSave("main_playing");
  uitest::SaveScreenshot(Form1->Handle(), "main_window");
  TCapture Shown(Browser->Handle());
  const TRect Text = Shown.Extent(0x000000);
  ASSERT_FALSE(Text.IsEmpty());
  const TCapture Expected = RenderText(L"http://198.51.100.20:5021/live/202|c03", Browser->Font(), 600, 60);
  EXPECT_TRUE(TCapture::SamePixels(Shown, Text, Expected, Expected.Extent(0x000000)));

  // Another row: another page.
  const TPoint Q = RowPoint(Form1->NxGrid1, 1);
  realinput::Click(Form1->NxGrid1->Handle(), Q.X, Q.Y);
  ASSERT_TRUE(WaitFor([&] { return LoadedPage(Browser) == ExpectedPage("102"); }));
  EXPECT_TRUE(Run.Boxes.Texts.empty());
}
