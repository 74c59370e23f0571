// The shared handlers of skinned controls: skin commands and the common window messages.
#include "skin/core/sCommonData.h"

#include <algorithm>
#include <cwctype>
#include <initializer_list>
#include <string>

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"
#include "framework/Strings.h"
#include "framework/TypInfo.h"
#include "skin/core/acGlow.h"
#include "skin/core/sBackground.h"
#include "skin/core/sCommonDataImpl.h"
#include "skin/core/sConst.h"
#include "skin/core/sFormList.h"
#include "skin/core/sMessages.h"
#include "skin/core/sPaintUtils.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"

using namespace CommonDataImpl;

namespace {

// Hands a popup menu to the manager's menu painter (hooked when Active), when the painter offers
// it; the painter of a program without menu skinning leaves menus as the system draws them.
template <class TMenus>
void HookPopupMenuOf(TMenus* Menus, TPopupMenu* Menu, bool Active) {
  if constexpr (requires { Menus->HookPopupMenu(Menu, Active); }) {
    if (Menus != nullptr) Menus->HookPopupMenu(Menu, Active);
  } else {
    (void)Menus;
    (void)Menu;
    (void)Active;
  }
}

// Kinds that show their glow themselves (the speed button and button kinds).
bool KindGlowsItself(int Kind) { return Kind == 92 || Kind == 93 || Kind == 94; }

// The engine-wide scratch byte of AC_PARENTMOVED: the last parent-dependence answer.
Byte LastParentDependent = 0;

// The three channels of a colour mixed by the transparency percent: the parent's share grows
// with T (T x (P - S) + S x 100) div 100 per channel, limited to a byte.
TColor MixByTransparency(TColor P, TColor S, int T) {
  TColor Result = 0;
  for (int Shift = 0; Shift <= 16; Shift += 8) {
    const int Pc = (P >> Shift) & 0xFF;
    const int Sc = (S >> Shift) & 0xFF;
    Result |= ClampByte((T * (Pc - Sc) + Sc * 100) / 100) << Shift;
  }
  return Result;
}

}  // namespace

// ================================================================================================
// Shared handlers

bool HandleSkinCommand(TMessage& Message, TsCommonData* SkinData) {
  if (SkinData == nullptr || Message.Msg != SM_ALPHACMD) return false;
  const Word Code = AlphaCmdCode(Message.WParam);
  const Word Arg = AlphaCmdArg(Message.WParam);
  if (Code > AC_LASTHANDLED) return false;
  TsSkinManager* M = SkinData->GetSkinManager();
  const bool FromOwnManager = M != nullptr && reinterpret_cast<TsSkinManager*>(Message.LParam) == M;
  TControl* Owner = SkinData->OwnerControl();

  switch (Code) {
    case AC_NEWSKIN:
      if (FromOwnManager) {
        SkinData->UpdateIndexes();
        SkinData->UpdatePlainState(false);
      }
      return false;

    case AC_SKINREMOVED:
      if (FromOwnManager) {
        if (Destroying(M) && SkinData->ManagerField() == M) SkinData->ClearManagerField();
        SkinData->BorderMaskIndex = -1;
        SkinData->SectionIndex = -1;
        SkinData->PatternIndex = -1;
        SkinData->HotPatternIndex = -1;
        SkinData->Updating = true;
        if (SkinData->CacheBmp() != nullptr) SkinData->CacheBmp()->SetSize(0, 0);
        if (IsEditLike(Owner)) {
          if (!SkinData->CustomColor()) Owner->SetColor(clWindow);
          if (!SkinData->CustomFont()) Owner->Font()->SetColor(clWindowText);
          auto* W = AsWindowed(Owner);
          if (W->HandleAllocated()) RedrawWindow(W->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
        } else if (auto* W = AsWindowed(Owner)) {
          for (int I = 0; I < W->ControlCount(); ++I)
            if (auto* L = dynamic_cast<TLabel*>(W->Controls(I))) L->Font()->SetColor(clWindowText);
        }
      }
      return false;

    case AC_REFRESHSKIN:
      if (FromOwnManager) {
        SkinData->BackgroundStale = true;
        SkinData->Updating = false;
        if (SkinData->IsSkinned() && IsEditLike(Owner)) {
          const TsGeneralData* S = SkinData->Section();
          if (!SkinData->CustomColor()) Owner->SetColor(S->Color);
          if (!SkinData->CustomFont()) Owner->Font()->SetColor(S->FontColor[0]);
          auto* W = AsWindowed(Owner);
          if (W->HandleAllocated()) RedrawWindow(W->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
        }
        SkinData->UpdatePlainState(false);
      }
      return false;

    case AC_ISSKINNED:
      Message.Result = 1;
      return true;

    case AC_SETUPDATING:
      SkinData->Updating = Arg == 1;
      return false;

    case AC_SETPARENTDEPENDENT:
      SkinData->ForceParentDependent = Arg == 1;
      return false;

    case AC_ISBUSY:
      Message.Result = SkinData->BackgroundStale || SkinData->Updating ? 1 : 0;
      return true;

    case AC_WASOUTOFVIEW:
      Message.Result = SkinData->OutOfView ? 1 : 0;
      return true;

    case AC_BGMAYHAVECHANGED:
      if (SkinData->HasTransparency() && Arg == 1) SkinData->BackgroundStale = true;
      return false;

    case AC_INVALIDATESECTION:
      if (UpperCase(SkinData->SkinSection()) == CurrentSkinSection) SkinData->Invalidate();
      return false;

    case AC_BGCHANGED:
      SkinData->BackgroundStale = true;
      return false;

    case AC_ISPARENTDEPENDENT: {
      const TsGeneralData* S = SkinData->Section();
      if (S == nullptr) return false;
      LRESULT Answer;
      if (S->Transparency == 100 && Owner != nullptr && Owner->Parent() != nullptr) {
        Answer = Owner->Parent()->HandleAllocated() ? (AskControl(Owner->Parent(), AC_ISPARENTDEPENDENT) != 0 ? 1 : 0) : 0;
      } else if (S->GradientPercent + S->ImagePercent >= 1) {
        Answer = 1;
      } else {
        Answer = SkinData->ParentDependent() ? 1 : 0;
      }
      Message.LParam = Answer;
      Message.Result = Answer;
      return true;
    }

    case AC_PARENTMOVED: {
      const bool D = SkinData->ParentDependent();
      LastParentDependent = D ? 1 : 0;
      SkinData->BackgroundStale = SkinData->BackgroundStale || D;
      if (auto* W = AsWindowed(Owner)) {
        if (Arg == 1 && W->HandleAllocated())
          RedrawWindow(W->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_NOINTERNALPAINT | RDW_NOERASE | RDW_ALLCHILDREN);
        if (D) {
          for (int I = 0; I < W->ControlCount(); ++I) {
            TControl* C = W->Controls(I);
            if (!Destroying(C)) SendSkinCommandToControl(C, AC_PARENTMOVED);
          }
        }
      }
      return false;
    }

    case AC_GETCOLOR: {
      if (Owner == nullptr) return false;
      if (!SkinData->IsSkinned()) {
        Message.Result = static_cast<LRESULT>(ColorToRGB(Owner->Color()));
        return true;
      }
      const TsGeneralData* S = SkinData->Section();
      const int T = S->Transparency;
      TWinControl* P = Owner->Parent();
      // The parent's colour: its answer, where 0 from a parent that is not skinned means no answer.
      auto ParentAnswer = [&]() -> TColor {
        const auto A = static_cast<TColor>(SendSkinCommandToControl(P, AC_GETCOLOR, 0));
        if (A == 0 && !IsSkinnedAnswer(AskControl(P, AC_ISSKINNED))) return static_cast<TColor>(ColorToRGB(P->Color()));
        return A;
      };
      if (T == 0) {
        Message.Result = S->Color;
      } else if (T == 100) {
        if (P == nullptr) {
          Message.Result = static_cast<LRESULT>(ColorToRGB(Owner->Color()));
        } else {
          const TColor A = ParentAnswer();
          Message.Result = A == clKeyColor ? P->Color() : A;
        }
      } else {
        const TColor Pc = P != nullptr ? ParentAnswer() : static_cast<TColor>(ColorToRGB(Owner->Color()));
        Message.Result = MixByTransparency(Pc, S->Color, T);
      }
      return true;
    }

    case AC_NOTPAINTED:
      SkinData->OutOfView = true;
      return false;

    case AC_GETSECTION:
      Message.Result = SkinData->SectionIndex + 1;
      return true;

    case AC_GETBACKGROUND:
      if (Message.LParam != 0) SkinData->GetBackgroundInfo(*reinterpret_cast<TacBGInfo*>(Message.LParam), false, nullptr);
      return false;

    case AC_PLAINSTATE:
      if (Message.LParam == 1) SkinData->UpdatePlainState(true);
      else Message.Result = SkinData->StateBits;
      return true;

    case AC_GETAPPLICATION:
      Message.Result = reinterpret_cast<LRESULT>(Application);
      return false;

    default:
      return false;
  }
}

namespace {

// Visual styles are in use for the application (the library answers so); false without it.
bool AppThemed() {
  static const auto Proc = [] {
    HMODULE Lib = GetModuleHandleW(L"uxtheme.dll");
    if (Lib == nullptr) Lib = LoadLibraryW(L"uxtheme.dll");
    return Lib != nullptr ? reinterpret_cast<BOOL(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(Lib, "IsAppThemed")))
                          : nullptr;
  }();
  return Proc != nullptr && Proc() != FALSE;
}

}  // namespace

bool HandleCommonMessage(TMessage& Message, TsCommonData* SkinData) {
  if (SkinData == nullptr) return false;
  TControl* Owner = SkinData->OwnerControl();
  TWinControl* W = AsWindowed(Owner);
  const int Kind = SkinData->KindCode();

  switch (Message.Msg) {
    case SM_ALPHACMD:
      return HandleSkinCommand(Message, SkinData);

    case WM_UPDATEUISTATE:
      if (SkinData->IsSkinned()) return true;
      if (W != nullptr && W->HandleAllocated() && acSetWindowTheme != nullptr && AppThemed())
        acSetWindowTheme(W->Handle(), nullptr, nullptr);
      return false;

    case WM_MOVE:
      if (SkinData->ParentDependent()) {
        SkinData->BackgroundStale = true;
        if (Owner != nullptr) Owner->Perform(SM_ALPHACMD, MakeAlphaCmd(AC_PARENTMOVED, 1), 0);
      }
      HideOwnGlow(SkinData);
      return false;

    case WM_SIZE:
      if (SkinData->IsSkinned()) {
        SkinData->BackgroundStale = true;
        if (W != nullptr && SkinData->Section()->GradientPercent > 0) {
          for (int I = 0; I < W->ControlCount(); ++I) {
            TControl* C = W->Controls(I);
            if (Destroying(C) || C->Anchors().Contains(akRight) || C->Anchors().Contains(akBottom)) continue;
            SendSkinCommandToControl(C, AC_PARENTMOVED, 0, 1);
          }
        }
      }
      HideOwnGlow(SkinData);
      return false;

    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      const bool Set = Message.Msg == WM_SETFOCUS;
      if (W != nullptr && W->CanFocus() && W->TabStop()) {
        SkinData->BackgroundStale = true;
        SkinData->FocusedFlag = Set;
        if (KindRepaintsOnHover(Kind) && (Set || W->Visible()) && W->HandleAllocated())
          RedrawWindow(W->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
      }
      return false;
    }

    case WM_CONTEXTMENU:
      if (Owner != nullptr && Owner->PopupMenu() != nullptr) {
        if (TsSkinManager* M = SkinData->GetSkinManager())
          HookPopupMenuOf(M->Menus(), Owner->PopupMenu(), M->Active());
      }
      return false;

    case WM_PARENTNOTIFY:
      if (W != nullptr && LOWORD(Message.WParam) == WM_CREATE) NotifyParentFormLoaded(W);
      return false;

    case CM_VISIBLECHANGED:
      if (SkinData->CacheBmp() != nullptr) {
        if (Message.WParam != 0) {
          SkinData->Updating = false;
          SkinData->BackgroundStale = true;
        } else {
          SkinData->CacheBmp()->SetSize(0, 0);
        }
      }
      return false;

    case CM_MOUSEENTER: {
      if (Owner == nullptr || Designing(Owner)) return false;
      if (!KindHasNoHover(Kind)) SkinData->MouseOver = true;
      TsSkinManager* DM = TsSkinManager::DefaultManager();
      if (W == nullptr || DM == nullptr) return false;
      DM->SetHoverWindow(W->HandleAllocated() ? W->Handle() : nullptr);
      if (!KindHasNoGlow(Kind) && !KindGlowsItself(Kind)) UpdateGlow(SkinData, false);
      if (KindRepaintsOnHover(Kind)) {
        SkinData->BackgroundStale = true;
        if (W->HandleAllocated()) RedrawWindow(W->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_FRAME);
      }
      return false;
    }

    case CM_MOUSELEAVE:
      if (Owner == nullptr || Designing(Owner)) return false;
      if (!KindHasNoHover(Kind)) SkinData->MouseOver = false;
      if (!KindHasNoGlow(Kind) && !KindGlowsItself(Kind)) {
        // Every glow goes; the own id must not point at a slot a later glow may take.
        ClearGlows();
        SkinData->GlowId = -1;
      }
      if (Owner->Visible() && KindRepaintsOnHover(Kind)) {
        SkinData->BackgroundStale = true;
        if (W != nullptr && W->HandleAllocated())
          RedrawWindow(W->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_FRAME);
      }
      return false;

    case CM_ENABLEDCHANGED:
    case WM_FONTCHANGE:
      SkinData->MouseOver = false;
      SkinData->FocusedFlag = false;
      if (Owner != nullptr && !Owner->Enabled()) HideOwnGlow(SkinData);
      return false;

    default:
      return false;
  }
}
