// The window region of a skinned form follows the size and state the window really has as soon as
// they change: also when the system refuses a size below its minimum and gives the window another,
// and when a size set while the form was minimized or maximized shows on its restore.
#include <string>

#include <gtest/gtest.h>

#include "skin_forms/extform_support.h"
#include "support/FreedMemoryGuard.h"

namespace {

// The region's box spans the normal window (less the system frame with a border window, which
// draws the frame and the title around the window's inner part).
void ExpectRegionOfNormalWindow(extform::TExtForm& F) {
  HWND H = F.Form->Handle();
  RECT W, Box{};
  GetWindowRect(H, &W);
  ASSERT_NE(GetWindowRgnBox(H, &Box), ERROR);
  const int Width = W.right - W.left, Height = W.bottom - W.top;
  EXPECT_EQ(F.Form->Width(), Width);
  EXPECT_EQ(F.Form->Height(), Height);
  const int Inset = F.Provider->BorderForm != nullptr ? FormBorderWidth(H, nullptr, false) : 0;
  EXPECT_EQ(Box.left, Inset);
  EXPECT_EQ(Box.right, Width - Inset);
  EXPECT_EQ(Box.bottom, Height - Inset);
}

}  // namespace

TEST(formregion_Size, TheRegionFollowsEverySizeAndStateAtOnce) {
  extform::OnEachFrame([](extform::TExtForm& F, bool) {
    // 40 x 30 is below the system's smallest window, which the system widens; sizes above it
    // follow, then below again.
    for (const auto& S : {std::pair<int, int>{40, 30}, {300, 200}, {40, 30}, {60, 90}, {260, 40}}) {
      SCOPED_TRACE(std::to_string(S.first) + " x " + std::to_string(S.second));
      F.Form->SetBounds(F.Form->Left(), F.Form->Top(), S.first, S.second);
      ExpectRegionOfNormalWindow(F);
    }
    // Sized while minimized, and below the minimum while maximized, then restored.
    for (const auto& [State, Size] : {std::pair<TWindowState, TSize>{wsMinimized, TSize{300, 200}},
                                      {wsMaximized, TSize{40, 30}}}) {
      SCOPED_TRACE(State == wsMinimized ? "restored from minimized" : "restored from maximized");
      F.Form->SetWindowState(State);
      uitest::Settle(F.Form->Handle());
      F.Form->SetBounds(F.Form->Left(), F.Form->Top(), Size.cx, Size.cy);
      F.Form->SetWindowState(wsNormal);
      ExpectRegionOfNormalWindow(F);
    }
  });
}
