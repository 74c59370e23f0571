// Channel selection: the id taken from the row's text, the player page joined byte for byte,
// the special id 666, conversion failures (an id megabytes long too), and the right press that
// switches loading off.
#include <gtest/gtest.h>

#include <algorithm>

#include "framework/Convert.h"
#include "framework/Dialogs.h"
#include "framework/Exceptions.h"
#include "support/AppTestHelpers.h"
#include "support/Boxes.h"

using namespace apptest;

namespace {

// The program's forms over a list of channel lines.
struct TChannels : TProgramRun {
  explicit TChannels(const std::vector<std::string>& Lines) : TProgramRun("192.0.2.7\r\n", ListText(Lines)) {}
  // Selects a row as the grid does on a click or key (OnSelectCell fires).
  void Select(int Row) { Form1->NxGrid1->SelectCell(0, Row); }
};

}  // namespace

TEST(ChannelId, TakesTheTextBetweenTheFirstBarAndTheNextComma) {
  EXPECT_EQ(ExtractChannelId("News|12,x"), "12");
  EXPECT_EQ(ExtractChannelId("12,x"), "12");           // no '|': the whole text is searched
  EXPECT_EQ(ExtractChannelId("News|12"), "");          // no ',' after the '|'
  EXPECT_EQ(ExtractChannelId("a|b|3,4"), "b|3");       // only the first '|' counts
  EXPECT_EQ(ExtractChannelId("Name|,x"), "");          // ',' right after the '|'
  EXPECT_EQ(ExtractChannelId("A,b|7,x"), "7");         // a ',' before the '|' is skipped
  EXPECT_EQ(ExtractChannelId(""), "");
}

TEST(ChannelId, DelimitersLongerThanOneCharacter) {
  EXPECT_EQ(ExtractBetween("<<", ">>", "x<<id>>y"), "id");
  // An absent start delimiter of two characters skips the first character of the text.
  EXPECT_EQ(ExtractBetween("||", ",", "12,x"), "2");
  EXPECT_EQ(ExtractBetween("|", ";;", "a|1;;2;;"), "1");
}

TEST(PlayerPage, IsJoinedFromThePiecesByteForByte) {
  EXPECT_EQ(BuildPlayerPage(12), ExpectedPage("12"));
  EXPECT_EQ(BuildPlayerPage(0), ExpectedPage("0"));
  EXPECT_EQ(BuildPlayerPage(-3), ExpectedPage("-3"));
  EXPECT_EQ(BuildPlayerPage(2147483647), ExpectedPage("2147483647"));
  // No terminating zero, no signature bytes.
  EXPECT_EQ(BuildPlayerPage(1).find('\0'), std::string::npos);
  EXPECT_EQ(BuildPlayerPage(1).substr(0, 6), "<html>");
}

TEST(Selection, LoadsThePageOfTheSelectedChannel) {
  TChannels C({"News|12,x", "Zero|007,x", "Hex|$1F,y", "Sign| -5,x"});
  C.Select(0);
  EXPECT_EQ(LoadedPage(C.Browser()), ExpectedPage("12"));
  EXPECT_EQ(C.Browser()->LocationURL(), L"about:blank");
  C.Select(1);
  EXPECT_EQ(LoadedPage(C.Browser()), ExpectedPage("7"));
  C.Select(2);
  EXPECT_EQ(LoadedPage(C.Browser()), ExpectedPage("31"));
  EXPECT_EQ(C.Browser()->ShownAddress(), L"http://198.51.100.20:5021/live/31|c03");
  C.Select(3);
  EXPECT_EQ(LoadedPage(C.Browser()), ExpectedPage("-5"));
}

// Tab in the list before any row was chosen, or a selection cleared: the grid reports a cell of
// no row, which chooses no channel (no error, the page stays).
TEST(Selection, TabOrAClearedSelectionWithNoRowChoosesNoChannel) {
  TChannels C({"News|12,x", "Zero|007,x"});
  ASSERT_EQ(Form1->NxGrid1->SelectedRow(), -1);
  EXPECT_NO_THROW(Form1->NxGrid1->Perform(WM_KEYDOWN, VK_TAB, 0));
  EXPECT_EQ(C.Browser()->LocationURL(), L"");
  C.Select(1);
  EXPECT_NO_THROW(Form1->NxGrid1->SelectRow(-1));
  EXPECT_EQ(LoadedPage(C.Browser()), ExpectedPage("7"));
}

TEST(Selection, IdWithoutAnIdAfterTheBarStillUsesTheWholeText) {
  TChannels C({"12,x"});
  C.Select(0);
  EXPECT_EQ(LoadedPage(C.Browser()), ExpectedPage("12"));
}

TEST(Selection, SpecialIdNavigatesToTheSpecialPageAndBuildsNoPage) {
  TChannels C({"Special|666,x", "News|12,x", "Hex|$29A,x"});
  C.Select(0);
  EXPECT_EQ(C.Browser()->LocationURL(), L"http://special.tavisko.invalid/page1.html");
  EXPECT_EQ(SpecialPageAddress(), "http://special.tavisko.invalid/page1.html");
  ASSERT_TRUE(WaitFor([&] { return C.Browser()->ReadyState() == READYSTATE_COMPLETE; }));
  ASSERT_NE(C.Browser()->DocumentObject(), nullptr);
  EXPECT_EQ(C.Browser()->DocumentObject()->LoadCount(), 0);
  EXPECT_EQ(C.Browser()->DocumentObject()->URL(), L"http://special.tavisko.invalid/page1.html");
  EXPECT_EQ(C.Browser()->ShownAddress(), L"http://special.tavisko.invalid/page1.html");
  // After a page, '$29A' (666 too) navigates away from it.
  C.Select(1);
  EXPECT_EQ(LoadedPage(C.Browser()), ExpectedPage("12"));
  C.Select(2);
  EXPECT_EQ(C.Browser()->LocationURL(), L"http://special.tavisko.invalid/page1.html");
  ASSERT_TRUE(WaitFor([&] { return C.Browser()->ReadyState() == READYSTATE_COMPLETE; }));
  EXPECT_EQ(LoadedPage(C.Browser()), "");
}

TEST(Selection, IdsThatAreNoIntegersRaiseTheConversionError) {
  // Blanks lead an id, but a tab or another control byte does not.
  TChannels C({"News|12", "a|b|3,4", "Blank|12 ,x", "Tab|\t8,x"});
  const char* const Expected[] = {"'' is not a valid integer value", "'b|3' is not a valid integer value",
                                  "'12 ' is not a valid integer value", "'\t8' is not a valid integer value"};
  for (int Row = 0; Row < 4; ++Row) {
    SCOPED_TRACE(Row);
    try {
      C.Select(Row);
      FAIL() << "no exception";
    } catch (const EConvertError& E) {
      EXPECT_EQ(E.Message, Expected[Row]);
    }
    EXPECT_EQ(Form1->NxGrid1->SelectedRow(), Row);
    EXPECT_EQ(C.Browser()->ReadyState(), READYSTATE_UNINITIALIZED);
  }
}

TEST(Selection, AConversionErrorOfAClickGoesToTheErrorBox) {
  TChannels C({"News|12", "Ok|5,x"});
  ShowMainForm();
  const TPoint P = RowPoint(Form1->NxGrid1, 0);
  realinput::Click(Form1->NxGrid1->Handle(), P.X, P.Y);
  ASSERT_TRUE(WaitFor([&] { return !C.Boxes.Texts.empty(); }));
  EXPECT_EQ(C.Boxes.Texts[0], L"'' is not a valid integer value.");
  EXPECT_EQ(Form1->NxGrid1->SelectedRow(), 0);
  EXPECT_EQ(C.Browser()->DocumentObject(), nullptr);
}

TEST(Selection, AnIdMegabytesLongShowsAShortErrorInABoxThatFitsTheScreen) {
  TChannels C({"Huge|" + std::string(2000000, '7') + "x,hd", "Ok|5,x"});
  Application->MessageBoxProc = ShowSystemMessageBox;  // a real box this time
  ShowMainForm();
  boxtest::TBoxPresser Presser("program_long_id_box");
  const TPoint P = RowPoint(Form1->NxGrid1, 0);
  realinput::Click(Form1->NxGrid1->Handle(), P.X, P.Y);
  ASSERT_TRUE(WaitFor([] { return boxtest::TBoxPresser::Clicked && boxtest::ThreadBoxes().empty(); }));
  EXPECT_FALSE(boxtest::TBoxPresser::Backstop) << "the real click did not reach the OK button";
  EXPECT_TRUE(boxtest::TBoxPresser::Fitted()) << boxtest::TBoxPresser::Where();
  // The box quotes the start of the id (broken over lines as the box needs).
  WideString Shown = boxtest::TBoxPresser::Text;
  Shown.erase(std::remove(Shown.begin(), Shown.end(), L'\n'), Shown.end());
  EXPECT_EQ(Shown, L"'" + WideString(200, L'7') + L"...' is not a valid integer value.");
  EXPECT_EQ(Form1->NxGrid1->SelectedRow(), 0);
}

TEST(RightPress, SwitchesChannelLoadingOffForTheRestOfTheRun) {
  TChannels C({"One|1,x", "Two|2,x", "Three|3,x", "Four|4,x"});
  ShowMainForm();
  HWND GridWindow = Form1->NxGrid1->Handle();
  // A left click loads.
  TPoint P = RowPoint(Form1->NxGrid1, 0);
  realinput::Click(GridWindow, P.X, P.Y);
  ASSERT_TRUE(WaitFor([&] { return LoadedPage(C.Browser()) == ExpectedPage("1"); }));
  TWebDocument* Loaded = C.Browser()->DocumentObject();

  // The right press selects its row but loads nothing: the flag is set before the selection.
  P = RowPoint(Form1->NxGrid1, 2);
  realinput::Click(GridWindow, P.X, P.Y, true);
  ASSERT_TRUE(WaitFor([&] { return Form1->NxGrid1->SelectedRow() == 2; }));
  EXPECT_TRUE(GridRightClicked);

  // Later left clicks and keys change the selection only.
  P = RowPoint(Form1->NxGrid1, 1);
  realinput::Click(GridWindow, P.X, P.Y);
  ASSERT_TRUE(WaitFor([&] { return Form1->NxGrid1->SelectedRow() == 1; }));
  C.Select(3);
  EXPECT_EQ(Form1->NxGrid1->SelectedRow(), 3);
  Pump();
  EXPECT_EQ(C.Browser()->DocumentObject(), Loaded);
  EXPECT_EQ(LoadedPage(C.Browser()), ExpectedPage("1"));
  EXPECT_EQ(C.Browser()->LocationURL(), L"about:blank");
  EXPECT_TRUE(C.Boxes.Texts.empty());
}

// Only the right button switches loading off: after a press of the middle or the left button on
// a row, a selection still loads its channel.
TEST(RightPress, OtherButtonsLeaveChannelLoadingOn) {
  struct TPress {
    const char* Name;
    UINT Down, Up;
    WPARAM Keys;
  };
  const TPress Presses[] = {{"middle", WM_MBUTTONDOWN, WM_MBUTTONUP, MK_MBUTTON},
                            {"left", WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON}};
  for (const TPress& Press : Presses) {
    SCOPED_TRACE(Press.Name);
    TChannels C({"One|1,x", "Two|2,x"});
    ShowMainForm();
    HWND GridWindow = Form1->NxGrid1->Handle();
    const TPoint P = RowPoint(Form1->NxGrid1, 0);
    PostMessageW(GridWindow, Press.Down, Press.Keys, MAKELPARAM(P.X, P.Y));
    PostMessageW(GridWindow, Press.Up, 0, MAKELPARAM(P.X, P.Y));
    Pump();
    C.Select(1);
    EXPECT_EQ(LoadedPage(C.Browser()), ExpectedPage("2"));
  }
}
