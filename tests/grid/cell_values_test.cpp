// The cell value classes: their conversions on read and write, their failures and Clear.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "framework/Convert.h"
#include "framework/Exceptions.h"
#include "grid/NxCells.h"

namespace {

// Runs F and returns the message of the EConvertError it raises ("" when it raises none).
template <class F>
std::string ConvertErrorOf(F&& Fn) {
  try {
    Fn();
  } catch (const EConvertError& E) {
    return E.Message;
  }
  return "";
}

// A store without grid or column list (one column of text cells), whose changes are counted.
struct Store {
  TCells Cells{nullptr, nullptr};
  int Changes = 0;
  Store() {
    Cells.AddColumn();
    Cells.OnChange = [this](TObject*, int, int) { ++Changes; };
  }
};

}  // namespace

TEST(StringCell, ConvertsItsTextOnRead) {
  TStringCell C(nullptr);
  C.SetAsString(L"abc");
  EXPECT_EQ(C.AsString(), L"abc");
  EXPECT_EQ(ConvertErrorOf([&] { C.AsInteger(); }), "'abc' is not a valid integer value");
  EXPECT_EQ(ConvertErrorOf([&] { C.AsFloat(); }), "'abc' is not a valid floating point value");
  EXPECT_EQ(ConvertErrorOf([&] { C.AsBoolean(); }), "'abc' is not a valid boolean value");
  EXPECT_EQ(ConvertErrorOf([&] { C.AsDateTime(); }), "'abc' is not a valid date and time");

  C.SetAsString(L"42");
  EXPECT_EQ(C.AsInteger(), 42);
  EXPECT_DOUBLE_EQ(C.AsFloat(), 42.0);
  EXPECT_TRUE(C.AsBoolean());  // a number: non-zero is True
  C.SetAsString(L"fAlSe");
  EXPECT_FALSE(C.AsBoolean());
  C.SetAsString(L"2.5");
  EXPECT_DOUBLE_EQ(C.AsFloat(), 2.5);
  C.SetAsString(L"31.12.2020");
  EXPECT_DOUBLE_EQ(C.AsDateTime(), EncodeDate(2020, 12, 31));
}

TEST(StringCell, EmptyTextIsADateOfZeroButNoNumber) {
  TStringCell C(nullptr);
  EXPECT_EQ(C.AsDateTime(), 0.0);
  EXPECT_EQ(ConvertErrorOf([&] { C.AsFloat(); }), "'' is not a valid floating point value");
  EXPECT_EQ(ConvertErrorOf([&] { C.AsInteger(); }), "'' is not a valid integer value");
}

TEST(StringCell, WritesTextForms) {
  TStringCell C(nullptr);
  C.SetAsBoolean(true);
  EXPECT_EQ(C.AsString(), L"True");
  C.SetAsBoolean(false);
  EXPECT_EQ(C.AsString(), L"False");
  C.SetAsInteger(-7);
  EXPECT_EQ(C.AsString(), L"-7");
  C.SetAsFloat(0.5);
  EXPECT_EQ(C.AsString(), L"0.5");
  C.SetAsDateTime(EncodeDate(2021, 3, 4));
  EXPECT_EQ(C.AsString(), L"04.03.2021");  // midnight: the time is left out
  C.SetAsDateTime(EncodeDate(2021, 3, 4) + EncodeTime(5, 6, 7, 0));
  EXPECT_EQ(C.AsString(), L"04.03.2021 05:06:07");
  C.Clear();
  EXPECT_EQ(C.AsString(), L"");
}

TEST(BooleanCell, ReadsAndWrites) {
  TBooleanCell C(nullptr);
  EXPECT_FALSE(C.AsBoolean());
  EXPECT_EQ(C.AsString(), L"False");
  C.SetAsString(L"TRUE");
  EXPECT_TRUE(C.AsBoolean());
  EXPECT_EQ(C.AsString(), L"True");
  EXPECT_EQ(C.AsInteger(), 1);
  EXPECT_DOUBLE_EQ(C.AsFloat(), 1.0);
  EXPECT_EQ(C.AsDateTime(), 0.0);
  C.SetAsString(L"yes");
  EXPECT_FALSE(C.AsBoolean());
  C.SetAsString(L"1");
  EXPECT_TRUE(C.AsBoolean());
  C.SetAsString(L"2");  // only "1" and "true" count
  EXPECT_FALSE(C.AsBoolean());
  C.SetAsFloat(0.25);
  EXPECT_TRUE(C.AsBoolean());
  C.SetAsInteger(0);
  EXPECT_FALSE(C.AsBoolean());
  C.SetAsInteger(-3);
  EXPECT_TRUE(C.AsBoolean());
  C.SetAsDateTime(45000);
  EXPECT_FALSE(C.AsBoolean());
  C.SetAsBoolean(true);
  C.Clear();
  EXPECT_FALSE(C.AsBoolean());
}

TEST(FloatCell, RoundsTiesToEven) {
  TFloatCell C(nullptr);
  C.SetAsFloat(2.5);
  EXPECT_EQ(C.AsInteger(), 2);
  C.SetAsFloat(3.5);
  EXPECT_EQ(C.AsInteger(), 4);
  C.SetAsFloat(-2.5);
  EXPECT_EQ(C.AsInteger(), -2);
  EXPECT_FALSE(C.AsBoolean());
  EXPECT_EQ(C.AsString(), L"-2.5");
  EXPECT_DOUBLE_EQ(C.AsDateTime(), -2.5);
}

TEST(FloatCell, RejectsWhatIsNoNumberAndKeepsItsValue) {
  TFloatCell C(nullptr);
  C.SetAsFloat(1.25);
  EXPECT_EQ(ConvertErrorOf([&] { C.SetAsString(L""); }), "'' is not a valid floating point value");
  EXPECT_EQ(ConvertErrorOf([&] { C.SetAsString(L"x1"); }), "'x1' is not a valid floating point value");
  EXPECT_DOUBLE_EQ(C.AsFloat(), 1.25);
  C.SetAsString(L"1E3");
  EXPECT_DOUBLE_EQ(C.AsFloat(), 1000.0);
  C.SetAsBoolean(true);  // stores 0
  EXPECT_EQ(C.AsFloat(), 0.0);
  C.SetAsInteger(9);
  EXPECT_EQ(C.AsFloat(), 9.0);
}

TEST(FloatCell, IntegerReadOutsideTheRangeIsARangeError) {
  TFloatCell C(nullptr);
  C.SetAsFloat(3e9);
  EXPECT_THROW(C.AsInteger(), ERangeError);
  C.SetAsFloat(std::numeric_limits<double>::quiet_NaN());
  EXPECT_THROW(C.AsInteger(), ERangeError);
  EXPECT_EQ(C.AsString(), L"NAN");
}

TEST(IntegerCell, ReadsAndWrites) {
  TIntegerCell C(nullptr);
  C.SetAsString(L"");
  EXPECT_EQ(C.AsInteger(), 0);
  C.SetAsString(L"-12");
  EXPECT_EQ(C.AsInteger(), -12);
  EXPECT_FALSE(C.AsBoolean());  // only values above 0 are True
  EXPECT_EQ(C.AsString(), L"-12");
  EXPECT_EQ(C.AsDateTime(), 0.0);
  EXPECT_EQ(ConvertErrorOf([&] { C.SetAsString(L"1.5"); }), "'1.5' is not a valid integer value");
  EXPECT_EQ(C.AsInteger(), -12);
  C.SetAsFloat(2.5);
  EXPECT_EQ(C.AsInteger(), 2);
  C.SetAsFloat(7.5);
  EXPECT_EQ(C.AsInteger(), 8);
  EXPECT_THROW(C.SetAsFloat(1e12), ERangeError);
  EXPECT_EQ(C.AsInteger(), 8);
  C.SetAsBoolean(true);
  EXPECT_EQ(C.AsInteger(), 1);
  EXPECT_TRUE(C.AsBoolean());
  C.SetAsDateTime(100);
  EXPECT_EQ(C.AsInteger(), 0);
  C.SetAsInteger(5);
  C.Clear();
  EXPECT_EQ(C.AsInteger(), 0);
}

TEST(DateTimeCell, TextThatIsNoDateStoresZeroWithoutError) {
  TDateTimeCell C(nullptr);
  C.SetAsFloat(100.75);
  C.SetAsString(L"not a date");
  EXPECT_EQ(C.AsDateTime(), 0.0);
  C.SetAsString(L"02.01.2000 12:00:00");
  EXPECT_DOUBLE_EQ(C.AsDateTime(), EncodeDate(2000, 1, 2) + 0.5);
  EXPECT_EQ(C.AsInteger(), static_cast<int>(EncodeDate(2000, 1, 2)));
  EXPECT_EQ(C.AsString(), L"02.01.2000 12:00:00");
  EXPECT_FALSE(C.AsBoolean());
  C.SetAsString(L"");
  EXPECT_EQ(C.AsDateTime(), 0.0);
}

TEST(DateTimeCell, BooleanWriteStoresToday) {
  TDateTimeCell C(nullptr);
  C.SetAsBoolean(false);
  EXPECT_EQ(C.AsDateTime(), Date());
  C.SetAsInteger(3);
  EXPECT_EQ(C.AsDateTime(), 3.0);
  C.Clear();
  EXPECT_EQ(C.AsDateTime(), 0.0);
}

TEST(GuidCell, EachNewCellHasItsOwnGuidAndClearKeepsIt) {
  TGuidCell A(nullptr), B(nullptr);
  EXPECT_NE(A.AsString(), B.AsString());
  const WideString Before = A.AsString();
  ASSERT_EQ(Before.size(), 38u);
  EXPECT_EQ(Before.front(), L'{');
  EXPECT_EQ(Before.back(), L'}');
  A.Clear();
  EXPECT_EQ(A.AsString(), Before);
}

TEST(GuidCell, WritesGoThroughTheText) {
  TGuidCell C(nullptr);
  C.SetAsString(L"{0123abcd-4567-89AB-cdef-0123456789ab}");
  EXPECT_EQ(C.AsString(), L"{0123ABCD-4567-89AB-CDEF-0123456789AB}");
  const WideString Kept = C.AsString();
  EXPECT_EQ(ConvertErrorOf([&] { C.SetAsString(L"zz"); }), "'zz' is not a valid GUID value");
  EXPECT_EQ(ConvertErrorOf([&] { C.SetAsInteger(5); }), "'5' is not a valid GUID value");
  EXPECT_EQ(ConvertErrorOf([&] { C.SetAsBoolean(true); }), "'True' is not a valid GUID value");
  EXPECT_EQ(C.AsString(), Kept);
  EXPECT_EQ(ConvertErrorOf([&] { C.AsBoolean(); }),
            "'{0123ABCD-4567-89AB-CDEF-0123456789AB}' is not a valid boolean value");
  EXPECT_THROW(C.AsInteger(), EConvertError);
  EXPECT_THROW(C.AsFloat(), EConvertError);
  EXPECT_THROW(C.AsDateTime(), EConvertError);
}

TEST(IncrementCell, ShowsTheRowOfTheLastFetchPlusOne) {
  Store S;
  S.Cells.AddRows(3);
  // The store's own cells are text; an increment cell is made directly.
  TIncrementCell C(&S.Cells);
  S.Cells.GetCell(0, 2);
  EXPECT_EQ(C.AsInteger(), 3);
  EXPECT_EQ(C.AsString(), L"3");
  EXPECT_DOUBLE_EQ(C.AsFloat(), 3.0);
  EXPECT_FALSE(C.AsBoolean());
  S.Changes = 0;
  C.SetAsInteger(99);
  C.SetAsString(L"x");
  C.Clear();
  EXPECT_EQ(S.Changes, 0);  // nothing is stored, nothing is reported
  S.Cells.GetCell(0, 0);
  EXPECT_EQ(C.AsInteger(), 1);
}

namespace {
struct Supplier : TVirtualCellValues {
  WideString Value = L"12";
  int Col = -1, Row = -1;
  WideString GetVirtualValue(int ACol, int ARow) override {
    Col = ACol;
    Row = ARow;
    return Value;
  }
  void SetVirtualValue(int ACol, int ARow, const WideString& V) override {
    Col = ACol;
    Row = ARow;
    Value = V;
  }
};
}  // namespace

TEST(VirtualCell, ReadsAndWritesThroughItsColumn) {
  Store S;
  S.Cells.AddRows(5);
  Supplier Col;
  TVirtualCell C(&S.Cells);
  C.Bind(&Col);
  S.Cells.GetCell(0, 4);
  EXPECT_EQ(C.AsInteger(), 12);
  EXPECT_EQ(Col.Row, 4);
  C.SetAsInteger(30);
  EXPECT_EQ(Col.Value, L"30");
  C.SetAsBoolean(true);
  EXPECT_EQ(Col.Value, L"True");
  EXPECT_TRUE(C.AsBoolean());
  Col.Value = L"";
  EXPECT_THROW(C.AsDateTime(), EConvertError);  // empty text is no date either
  C.Clear();
  EXPECT_EQ(Col.Value, L"");
}

TEST(VirtualCell, WithoutASupplierAccessIsAClearError) {
  TVirtualCell C(nullptr);
  EXPECT_THROW(C.AsString(), EInvalidOperation);
  EXPECT_THROW(C.SetAsString(L"a"), EInvalidOperation);
}

TEST(Cell, StyleSettersReportOnlyWhenNotificationsAreOn) {
  Store S;
  TStringCell C(&S.Cells);
  EXPECT_EQ(C.State(), TCell::StateNoNotify);  // every cell starts with notifications off
  C.SetColor(0x123456);
  C.SetFontColor(0x654321);
  C.SetFontStyle(TFontStyles{fsBold});
  EXPECT_EQ(S.Changes, 0);
  C.SetState(0);
  C.SetColor(0x111111);
  C.SetFontStyle(TFontStyles{fsItalic});
  EXPECT_EQ(S.Changes, 2);
  EXPECT_EQ(C.Color(), 0x111111);
  EXPECT_EQ(C.FontColor(), 0x654321);
  EXPECT_TRUE(C.FontStyle().Contains(fsItalic));
  // A value write reports whatever the state is.
  C.SetState(TCell::StateNoNotify);
  C.SetAsString(L"v");
  EXPECT_EQ(S.Changes, 3);
}

TEST(Cell, HiddenFlagIsBitOne) {
  TStringCell C(nullptr);
  C.SetHidden(true);
  EXPECT_TRUE(C.Hidden());
  EXPECT_EQ(C.State(), TCell::StateHidden | TCell::StateNoNotify);
  C.SetHidden(false);
  EXPECT_FALSE(C.Hidden());
  EXPECT_EQ(C.State(), TCell::StateNoNotify);
}

TEST(CreateCellOfKind, PicksTheClassByKind) {
  struct Case {
    TColumnKind Kind;
    const char* Class;
  } Cases[] = {{ckIncrement, "TIncrementCell"}, {ckBoolean, "TBooleanCell"}, {ckDateTime, "TDateTimeCell"},
               {ckFloat, "TFloatCell"},         {ckObject, "TStringCell"},   {ckGuid, "TGuidCell"},
               {ckInteger, "TIntegerCell"},     {ckString, "TStringCell"},   {ckVirtual, "TVirtualCell"},
               {2, "TStringCell"},              {200, "TStringCell"}};
  for (const Case& K : Cases) {
    std::unique_ptr<TCell> C(CreateCellOfKind(K.Kind, nullptr));
    EXPECT_STREQ(C->ClassName(), K.Class) << int(K.Kind);
    EXPECT_TRUE(C->InheritsFromName("TCell"));
  }
}
