// TsFrameAdapter: skins a frame, an embedded container of controls.
//
// The framework's frame is its scrolling container (TScrollingWinControl): a non-visual
// TsFrameAdapter owned by such a container (dropped on it, or made for it by the form's control
// adapter list with section "GROUPBOX") owns a TsCommonData for it, puts its NewWndProc on top of
// the container's WindowProc chain, paints the container's background and border from the skin,
// gives it skinned scroll bars (a TacScrollWnd), skins its popup menus through the manager's menu
// painter and passes skin commands on to its children. Owned by anything else, it shows an error
// box and stays inert.
// Win32.
#pragma once

#include <windows.h>

#include <memory>

#include "framework/Components.h"
#include "framework/Controls.h"
#include "framework/Messages.h"

class TsCommonData;
class TacScrollWnd;
class TScrollingWinControl;

// The message shown when the adapter's owner is no frame.
inline constexpr const char* sFrameAdapterMisplaced = "TsFrameAdapter adapter must be placed on the handled frame";

// A frame in the framework's sense: a scrolling container control.
bool acIsFrame(const TComponent* Component);

class TsFrameAdapter : public TComponent {
  T_CLASS(TsFrameAdapter, TComponent)

 public:
  explicit TsFrameAdapter(TComponent* AOwner);
  ~TsFrameAdapter() override;
  void AfterConstruction();
  void Loaded() override;

  TsCommonData* SkinData() const { return FSkinData.get(); }
  // The frame (nullptr when the owner is none).
  TWinControl* Frame = nullptr;

  void NewWndProc(TMessage& Message);
  // Paints background and border into DC (nothing without a DC).
  void PaintFrame(HDC DC);
  // Rebuilds the cache in skin-paint mode; always clears the background-changed flag.
  void UpdateCache();
  void WMPaint(TMessage& Message);
  // The scroll-bar adapter (owned), nullptr while unskinned.
  TacScrollWnd* ScrollAdapter() const { return FScrollAdapter; }

 private:
  void CallOld(TMessage& Message);
  void HookMenus();
  void NotifyForm();
  bool SecondPassUnskinned();
  std::unique_ptr<TsCommonData> FSkinData;
  TWndMethod FSavedProc;
  bool FHooked = false;
  TacScrollWnd* FScrollAdapter = nullptr;
  // Set while WMPaint begins its paint, and when the erase it brings painted the frame.
  bool FBeginningPaint = false;
  bool FErasedInPaint = false;
};
