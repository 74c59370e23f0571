// Test support of the scrollable-control adapter tests: the program's own skin loaded into a
// default skin manager, a form on the screen to put real system controls on, window captures
// that include the non-client frame, and small colour helpers.
#pragma once

#include "support/SourceTree.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "framework/Forms.h"
#include "framework/Graphics.h"
#include "skin/controls/acScrollAdapters.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sSkinManager.h"
#include "support/UiTest.h"

namespace sadapt {

// The folder of the program's skin (app/res/skin) as a Windows path.
inline AnsiString SkinFolder() { return tvtest::ProgramSkinFolder(); }

// The RGB value of a skin colour as GetPixel reports it.
inline COLORREF Rgb(TColor C) { return ColorToRGB(C) & 0xFFFFFF; }

// Close colours (blended edges, rounding): every channel within Tol.
inline bool Near(COLORREF A, COLORREF B, int Tol = 6) {
  return std::abs(GetRValue(A) - GetRValue(B)) <= Tol && std::abs(GetGValue(A) - GetGValue(B)) <= Tol &&
         std::abs(GetBValue(A) - GetBValue(B)) <= Tol;
}

// What a window shows, frame included (read from its window DC).
inline uitest::TCapture WindowCapture(HWND W) { return uitest::WindowPainted(W); }

// Saves what a window shows (frame included) as Name.bmp into TV_SCREENSHOT_DIR when set.
inline void Save(HWND W, const char* Name) { WindowCapture(W).MaybeSave(Name); }

// The default skin manager with the program's own skin, a form on the screen, and child windows
// made on it; everything freed at the end of the test.
class SkinnedFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    InitCommonControls();
    Manager = std::make_unique<TsSkinManager>(nullptr);
    Manager->SetSkinDirectory(SkinFolder());
    Manager->SetSkinName("DefaultBlack");
    ASSERT_TRUE(Manager->SkinActive()) << "the program's skin did not load from " << SkinFolder();
    ASSERT_EQ(TsSkinManager::DefaultManager(), Manager.get());
    Form = new TForm(nullptr);
    Form->SetBounds(40, 40, 560, 420);
    uitest::ShowSettled(Form);
  }
  void TearDown() override {
    for (HWND W : Children)
      if (IsWindow(W)) DestroyWindow(W);
    delete Form;
    Form = nullptr;
    uitest::Pump();
    Manager.reset();
  }

  HWND Child(const wchar_t* Class, DWORD Style, DWORD ExStyle, int X, int Y, int W, int H,
             const wchar_t* Text = L"") {
    HWND Wnd = CreateWindowExW(ExStyle, Class, Text, WS_CHILD | WS_VISIBLE | Style, X, Y, W, H, Form->Handle(),
                               nullptr, GetModuleHandleW(nullptr), nullptr);
    Children.push_back(Wnd);
    return Wnd;
  }

  // The section record of a name in the loaded skin.
  const TsGeneralData& Section(const char* Name) {
    const int I = Manager->GetSectionIndex(Name);
    EXPECT_GE(I, 0) << Name;
    return Manager->GeneralData()[static_cast<std::size_t>(I < 0 ? 0 : I)];
  }

  std::unique_ptr<TsSkinManager> Manager;
  TForm* Form = nullptr;
  std::vector<HWND> Children;
};

}  // namespace sadapt
