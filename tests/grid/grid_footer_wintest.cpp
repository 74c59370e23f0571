// Footer formulas: RecalculateFooters computes each column's value over the counting rows and the
// footer shows it once, through the column's format mask and between its TextBefore and
// TextAfter, as painted on a real window.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "framework/Convert.h"
#include "framework/Strings.h"
#include "support/EngineTestHelpers.h"

using namespace enginetest;

namespace {

// A grid with a footer and one column holding Values; the column's footer is set up by Setup.
struct TFooterForm : TEngineForm {
  explicit TFooterForm(const std::vector<std::wstring>& Values) : TEngineForm(1, {goHeader, goFooter, goGrid}) {
    for (const std::wstring& V : Values) Grid->SetCells(0, Grid->AddRow(1), V);
    Settle(Window());
  }
  TColumnFooter* Footer() { return Columns[0]->Footer(); }
  // The pixels of the column's footer cell as painted now.
  TCapture FooterPixels() {
    Grid->Invalidate();
    Settle(Window());
    return TCapture(Window(), Grid->GetFooterCellRect(Columns[0]));
  }
};

// The footer cell of a grid whose footer shows Caption as it is, with no formula, mask or texts.
TCapture PlainFooter(const std::wstring& Caption) {
  TFooterForm F({L"0"});
  F.Footer()->SetCaption(Caption);
  return F.FooterPixels();
}

bool SameFooter(const TCapture& A, const TCapture& B) {
  const TRect R{0, 0, A.Width(), A.Height()};
  return TCapture::SamePixels(A, R, B, TRect{0, 0, B.Width(), B.Height()});
}

WideString Decimal(const char* Int, const char* Frac) {
  return AnsiToWide(AnsiString(Int) + FormatSettings.DecimalSeparator + Frac);
}

}  // namespace

TEST(GridFooter, TheSumShowsOnceThroughTheMaskBetweenItsTexts) {
  std::optional<TCapture> Shown;
  {
    TFooterForm F({Decimal("1", "5"), L"2", Decimal("0", "25")});
    F.Footer()->SetFormulaKind(fkSum);
    F.Footer()->SetFormatMask("0.000");
    F.Footer()->SetFormatMaskKind(mkFloat);
    F.Footer()->SetTextBefore(L"S=");
    F.Footer()->SetTextAfter(L"!");
    F.Grid->RecalculateFooters(false);
    EXPECT_DOUBLE_EQ(F.Footer()->FormulaValue(), 3.75);
    // The caption holds the value; the mask and the texts are the painting's.
    EXPECT_EQ(F.Footer()->Caption(), Decimal("3", "75"));
    Shown = F.FooterPixels();
    Shown->MaybeSave("footer_sum");
  }
  const TCapture Expected = PlainFooter(L"S=" + Decimal("3", "750") + L"!");
  Expected.MaybeSave("footer_sum_expected");
  EXPECT_TRUE(SameFooter(*Shown, Expected));
}

TEST(GridFooter, ValuesWithoutAMaskAndEmptyCountingRows) {
  std::optional<TCapture> Shown;
  {
    TFooterForm F({L"a", L"b", L"a", L"c"});
    F.Footer()->SetFormulaKind(fkDistinct);
    F.Footer()->SetTextBefore(L"[");
    F.Footer()->SetTextAfter(L"]");
    F.Grid->RecalculateFooters(false);
    EXPECT_EQ(F.Footer()->Caption(), L"3");
    Shown = F.FooterPixels();
    // Only the counting rows count: with every row hidden there is nothing to show.
    for (int R = 0; R < 4; ++R) F.Grid->SetRowVisible(R, false);
    F.Grid->RecalculateFooters(true);
    EXPECT_EQ(F.Footer()->Caption(), L"");
    EXPECT_EQ(F.Footer()->FormulaValue(), 0);
  }
  EXPECT_TRUE(SameFooter(*Shown, PlainFooter(L"[3]")));
}
