// Published properties: registration, look-up along the class ancestry, values by name.
#include <gtest/gtest.h>

#include "framework/Persistent.h"
#include "framework/TypInfo.h"
#include "support/MessageOf.h"

namespace {

enum TPubAlign { paNone, paLeft, paRight };
enum TPubAnchor { pkLeftA, pkTopA, pkRightA, pkBottomA };

class TPubBase : public TPersistent {
  T_CLASS(TPubBase, TPersistent)
 public:
  int Width() const { return FWidth; }
  void SetWidth(int V) { FWidth = V; }
  TPubAlign Align() const { return FAlign; }
  void SetAlign(TPubAlign V) { FAlign = V; }
  TSet<TPubAnchor> Anchors() const { return FAnchors; }
  void SetAnchors(TSet<TPubAnchor> V) { FAnchors = V; }
  bool Visible() const { return FVisible; }
  void SetVisible(bool V) { FVisible = V; }
  TPubBase* Buddy() const { return FBuddy; }
  void SetBuddy(TPubBase* V) { FBuddy = V; }
  const AnsiString& Caption() const { return FCaption; }
  void SetCaption(const AnsiString& V) { FCaption = V; }
  WideString Hint() const { return FHint; }
  void SetHint(const WideString& V) { FHint = V; }
  int FWidth = 10;
  TPubAlign FAlign = paNone;
  TSet<TPubAnchor> FAnchors{pkLeftA, pkTopA};
  bool FVisible = true;
  TPubBase* FBuddy = nullptr;
  AnsiString FCaption;
  WideString FHint;
};

// Publishes nothing itself.
class TPubMiddle : public TPubBase {
  T_CLASS(TPubMiddle, TPubBase)
};

// Publishes Width again (doubled) and a property of its own.
class TPubLeaf : public TPubMiddle {
  T_CLASS(TPubLeaf, TPubMiddle)
 public:
  int Extra() const { return 7; }
};

// Not registered, two levels below a registered class.
class TPubUnregistered : public TPubLeaf {
  T_CLASS(TPubUnregistered, TPubLeaf)
};

// Gets a property registered while the program runs.
class TPubLate : public TPubBase {
  T_CLASS(TPubLate, TPubBase)
};

class TPubOther : public TPersistent {
  T_CLASS(TPubOther, TPersistent)
};

// A floating-point property beside an integer one.
class TPubScaled : public TPersistent {
  T_CLASS(TPubScaled, TPersistent)
 public:
  double Ratio() const { return FRatio; }
  void SetRatio(double V) { FRatio = V; }
  float Small() const { return 0.5f; }
  double FRatio = 1.5;
};

}  // namespace

T_PUBLISH(TPubBase) {
  P.Ordinal("Width", &TPubBase::Width, &TPubBase::SetWidth);
  P.Enumeration("Align", &TPubBase::Align, &TPubBase::SetAlign, {"paNone", "paLeft", "paRight"});
  P.Set("Anchors", &TPubBase::Anchors, &TPubBase::SetAnchors, {"akLeft", "akTop", "akRight", "akBottom"});
  P.Boolean("Visible", &TPubBase::Visible, &TPubBase::SetVisible);
  P.Object("Buddy", &TPubBase::Buddy, &TPubBase::SetBuddy);
  P.String("Caption", &TPubBase::Caption, &TPubBase::SetCaption);
  P.String("Hint", &TPubBase::Hint, &TPubBase::SetHint);
}

T_PUBLISH(TPubScaled) {
  P.Float("Ratio", &TPubScaled::Ratio, &TPubScaled::SetRatio);
  P.Float("Small", &TPubScaled::Small);
}

T_PUBLISH(TPubLeaf) {
  P.Ordinal("Width", [](TPubLeaf* L) { return L->FWidth * 2; }, [](TPubLeaf* L, int V) { L->FWidth = V / 2; });
  P.Ordinal("Extra", &TPubLeaf::Extra);
}

// The message of the exception of type E that Fn raises, "" when it raises none.
template <class E, class F>
std::string ErrorOf(F&& Fn) {
  return exctest::MessageOf<E>(std::forward<F>(Fn), "");
}

TEST(PublishedLookup, FindsPropertiesIgnoringCaseAlongTheAncestry) {
  TPubMiddle M;
  ASSERT_NE(GetPropInfo(&M, "width"), nullptr);
  EXPECT_EQ(GetPropInfo(&M, "WIDTH")->Kind, pkOrdinal);
  EXPECT_STREQ(GetPropInfo(&M, "Width")->PublishedBy, "TPubBase");
  EXPECT_EQ(GetPropInfo(&M, "Extra"), nullptr);  // published by a descendant only
  EXPECT_EQ(GetPropInfo(&M, "Nothing"), nullptr);
  EXPECT_EQ(GetPropInfo(static_cast<TObject*>(nullptr), "Width"), nullptr);
  TPubOther O;
  EXPECT_EQ(GetPropInfo(&O, "Width"), nullptr);
  EXPECT_NE(GetPropInfo("tpubleaf", "Extra"), nullptr);
  EXPECT_EQ(GetPropInfo("TPubMiddle", "Width"), nullptr);  // not registered by name
}

TEST(PublishedLookup, ADescendantReplacesAnAncestorsProperty) {
  TPubLeaf L;
  L.FWidth = 10;
  EXPECT_EQ(GetOrdProp(&L, "Width"), 20);
  SetOrdProp(&L, "Width", 50);
  EXPECT_EQ(L.FWidth, 25);
  TPubBase B;
  EXPECT_EQ(GetOrdProp(&B, "Width"), 10);
  auto List = GetPropList(&L);
  int Widths = 0;
  for (const TPropInfo* P : List) Widths += P->Name == "Width";
  EXPECT_EQ(Widths, 1);
  EXPECT_EQ(List.size(), 8u);
  EXPECT_EQ(List.front()->Name, "Width");  // the ancestor's order is kept
  EXPECT_EQ(List.back()->Name, "Extra");
}

TEST(PublishedLookup, AnUnregisteredClassSeesItsNearestRegisteredAncestor) {
  TPubUnregistered U;
  U.FWidth = 4;
  EXPECT_EQ(GetOrdProp(&U, "Width"), 8);
  EXPECT_EQ(GetOrdProp(&U, "Extra"), 7);
}

TEST(PublishedLookup, RegisteringLaterIsSeenByLaterLookups) {
  TPubLate M;
  EXPECT_EQ(GetPropInfo(&M, "Late"), nullptr);
  TPublisher<TPubLate>().Ordinal("Late", [](TPubLate*) { return 99; });
  EXPECT_EQ(GetOrdProp(&M, "Late"), 99);
  EXPECT_EQ(GetOrdProp(&M, "Width"), 10);  // the ancestor's properties stay visible
}

TEST(PublishedValues, EnumerationsAndBooleans) {
  TPubBase B;
  EXPECT_EQ(GetEnumProp(&B, "Align"), "paNone");
  SetEnumProp(&B, "Align", "PALEFT");
  EXPECT_EQ(B.Align(), paLeft);
  EXPECT_EQ(GetOrdProp(&B, "Align"), 1);
  EXPECT_EQ(GetEnumProp(&B, "Visible"), "True");
  SetEnumProp(&B, "Visible", "false");
  EXPECT_FALSE(B.Visible());
  EXPECT_EQ(ErrorOf<EPropertyConvertError>([&] { SetEnumProp(&B, "Align", "paMiddle"); }),
            "Invalid property element: paMiddle");
  EXPECT_EQ(B.Align(), paLeft);
}

TEST(PublishedValues, SetsAsTextAndBits) {
  TPubBase B;
  EXPECT_EQ(GetSetProp(&B, "Anchors"), "akLeft,akTop");
  EXPECT_EQ(GetSetProp(&B, "Anchors", true), "[akLeft,akTop]");
  EXPECT_EQ(GetOrdProp(&B, "Anchors"), 3);
  SetSetProp(&B, "Anchors", " [ akBottom , , AKRIGHT ] ");
  EXPECT_EQ(B.Anchors(), (TSet<TPubAnchor>{pkRightA, pkBottomA}));
  SetSetProp(&B, "Anchors", "");
  EXPECT_TRUE(B.Anchors().Empty());
  EXPECT_NE(ErrorOf<EPropertyConvertError>([&] { SetSetProp(&B, "Anchors", "akLeft,akMiddle"); }), "");
  EXPECT_NE(ErrorOf<EPropertyConvertError>([&] { SetSetProp(&B, "Anchors", "[akLeft"); }), "");
  EXPECT_TRUE(B.Anchors().Empty());
  SetOrdProp(&B, "Anchors", 0x5);
  EXPECT_EQ(GetSetProp(&B, "Anchors"), "akLeft,akRight");
}

TEST(PublishedValues, ObjectsAndStrings) {
  TPubBase A, B;
  TPubOther O;
  SetObjectProp(&A, "Buddy", &B);
  EXPECT_EQ(GetObjectProp(&A, "Buddy"), &B);
  SetObjectProp(&A, "Buddy", nullptr);
  EXPECT_EQ(A.Buddy(), nullptr);
  EXPECT_NE(ErrorOf<EPropertyError>([&] { SetObjectProp(&A, "Buddy", &O); }), "");
  SetStrProp(&A, "Caption", "Hello");
  EXPECT_EQ(A.Caption(), "Hello");
  EXPECT_EQ(GetStrProp(&A, "caption"), "Hello");
  SetStrProp(&A, "Hint", "abc");
  EXPECT_EQ(A.Hint(), L"abc");
  EXPECT_EQ(GetStrProp(&A, "Hint"), "abc");
}

TEST(PublishedValues, MissingWrongKindAndReadOnlyRaise) {
  TPubLeaf L;
  EXPECT_EQ(ErrorOf<EPropertyError>([&] { GetOrdProp(&L, "Nothing"); }), "Property Nothing does not exist");
  EXPECT_EQ(ErrorOf<EPropertyError>([&] { GetOrdProp(&L, "Caption"); }), "Property Caption is not of the right kind");
  EXPECT_EQ(ErrorOf<EPropertyError>([&] { GetStrProp(&L, "Width"); }), "Property Width is not of the right kind");
  EXPECT_EQ(ErrorOf<EPropertyError>([&] { GetSetProp(&L, "Align"); }), "Property Align is not of the right kind");
  EXPECT_EQ(ErrorOf<EPropertyError>([&] { SetOrdProp(&L, "Extra", 1); }), "Property Extra is read-only");
  EXPECT_EQ(ErrorOf<EPropertyError>([&] { GetOrdProp(nullptr, "Width"); }), "Property Width does not exist");
}

TEST(PublishedValues, SetTextHelpers) {
  TPubBase B;
  const TPropInfo* P = GetPropInfo(&B, "Anchors");
  ASSERT_NE(P, nullptr);
  EXPECT_EQ(SetToString(*P, 0xF), "akLeft,akTop,akRight,akBottom");
  EXPECT_EQ(SetToString(*P, 0x100), "");  // bits without a name are not shown
  EXPECT_EQ(StringToSet(*P, "akTop,akTop"), 2);
  EXPECT_EQ(GetEnumValue(*P, "akBottom"), 3);
  EXPECT_EQ(GetEnumName(*P, 9), "");
}

TEST(PublishedValues, FloatingPointNumbers) {
  TPubScaled S;
  ASSERT_NE(GetPropInfo(&S, "ratio"), nullptr);
  EXPECT_EQ(GetPropInfo(&S, "Ratio")->Kind, pkFloat);
  EXPECT_TRUE(GetPropInfo(&S, "Ratio")->Writable());
  EXPECT_FALSE(GetPropInfo(&S, "Small")->Writable());
  EXPECT_EQ(GetFloatProp(&S, "Ratio"), 1.5);
  SetFloatProp(&S, "RATIO", 6.48);
  EXPECT_EQ(S.Ratio(), 6.48);
  EXPECT_EQ(GetFloatProp(&S, "Small"), 0.5);
  EXPECT_EQ(ErrorOf<EPropertyError>([&] { SetFloatProp(&S, "Small", 1); }), "Property Small is read-only");
  EXPECT_EQ(ErrorOf<EPropertyError>([&] { GetOrdProp(&S, "Ratio"); }), "Property Ratio is not of the right kind");
  TPubBase B;
  EXPECT_EQ(ErrorOf<EPropertyError>([&] { GetFloatProp(&B, "Width"); }), "Property Width is not of the right kind");
}
