#include "skin/core/sCommonData.h"

#include <initializer_list>

#include "framework/Strings.h"
#include "framework/TypInfo.h"

TsCommonData::TsCommonData(TPersistent* AOwner, int KindCode)
    : FOwnerObject(AOwner), FOwnerControl(dynamic_cast<TControl*>(AOwner)), FKindCode(KindCode) {}

TsCommonData::~TsCommonData() {
  FOwnerControl = nullptr;
  FOwnerObject = nullptr;
}

void TsCommonData::SetSkinSection(const AnsiString& Value) {
  const AnsiString NewValue = Value.empty() ? AnsiString("UNKNOWN") : UpperCase(Value);
  if (NewValue == FSkinSection) return;
  FSkinSection = NewValue;
}

void TsCommonData::Loaded() {
  if (FSkinSection.empty()) SetSkinSection(DefaultSection(FKindCode, FOwnerObject));
}

namespace {

struct TKindSection {
  std::initializer_list<int> Kinds;
  const char* Section;
};

const TKindSection KindSections[] = {
    {{2, 3, 4, 5, 6, 7, 8, 10, 41, 76, 78, 83, 84, 96, 97, 131, 140, 227}, "EDIT"},
    {{11, 12, 13, 14, 15, 16, 17, 18, 81, 82}, "COMBOBOX"},
    {{19}, "BAR"},
    {{20}, "BARTITLE"},
    {{32, 152}, "CHECKBOX"},
    {{33}, "RADIOBUTTON"},
    {{51, 59, 68, 73}, "PANEL"},
    {{52, 58}, "PANEL_LOW"},
    {{53, 54, 60}, "TOOLBAR"},
    {{56}, "DRAGBAR"},
    {{57}, "TABSHEET"},
    {{74, 226}, "GROUPBOX"},
    {{75}, "SPLITTER"},
    {{92, 95}, "SPEEDBUTTON"},
    {{93, 94}, "BUTTON"},
    {{98}, "TOOLBUTTON"},
    {{141, 143}, "PAGECONTROL"},
    {{151}, "STATUSBAR"},
    {{161}, "GAUGE"},
    {{165}, "TRACKBAR"},
};

}  // namespace

AnsiString TsCommonData::DefaultSection(int KindCode, const TPersistent* Owner) {
  for (const TKindSection& E : KindSections)
    for (int K : E.Kinds)
      if (K == KindCode) return E.Section;
  return Owner != nullptr ? UpperCase(Owner->ClassName()) : AnsiString("UNKNOWN");
}

T_PUBLISH(TsCommonData) {
  P.String("SkinSection", &TsCommonData::SkinSection, &TsCommonData::SetSkinSection);
}
