// Test support for the adapters that keep the picture of their window: after each change, what
// the window shows under the adapter that painted before is what a new adapter, which has no
// picture yet, paints.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "support/UiTest.h"

namespace kept {

struct TChange {
  const char* Name;
  std::function<void()> Make;
};

// Shot repaints the window and captures it; Renew puts a new adapter in the old one's place.
inline void ExpectEachChangeShownAsByANewAdapter(const std::vector<TChange>& Changes,
                                                 const std::function<uitest::TCapture()>& Shot,
                                                 const std::function<void()>& Renew) {
  Shot();
  for (const TChange& C : Changes) {
    SCOPED_TRACE(C.Name);
    C.Make();
    const uitest::TCapture Kept = Shot();
    Renew();
    const uitest::TCapture Fresh = Shot();
    const TRect All(0, 0, Fresh.Width(), Fresh.Height());
    EXPECT_TRUE(uitest::TCapture::SamePixels(Kept, All, Fresh, All));
  }
}

}  // namespace kept
