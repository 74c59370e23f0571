// The tool bar of the framework: a thin control over the system's tool bar ("ToolbarWindow32"
// superclassed as "TToolBar") and its buttons. Win32.
//
//  - TToolButton: one button of a tool bar, a graphic control placed (by the tool bar) over the
//    rectangle of its item. The tool bar window draws and clicks its items itself: the mouse
//    messages a button receives go on to the tool bar window. Styles: push button, check button
//    (Down follows the clicks), drop-down button (DropdownMenu opens below the arrow), separator
//    and divider. Caption, ImageIndex, Down, Indeterminate, Marked and Enabled are the item's.
//  - TToolBar: the bar. Its children of class TToolButton are its buttons, in the order they
//    were put on it. Images (and HotImages for the hot button) give the images; Flat and List
//    pick the look; ShowCaptions shows the captions (below the image, or right of it with
//    List). EdgeBorders, EdgeInner, EdgeOuter and BorderWidth put a frame around the buttons.
//    OnAdvancedCustomDraw (the whole bar) and OnAdvancedCustomDrawButton (each button) let the
//    program draw over or instead of the system's painting, on Canvas.
//
// When a drop-down menu of a button has closed, the tool bar gets CN_DROPDOWNCLOSED through its
// WindowProc chain.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <vector>

#include "framework/ComCtrls.h"
#include "framework/Controls.h"
#include "framework/ImgList.h"

class TPopupMenu;
class TToolBar;
class TToolButton;

// The message a tool bar receives after a button's drop-down menu closed (WM_USER + 0x1000).
constexpr UINT CN_DROPDOWNCLOSED = WM_USER + 0x1000;

enum TToolButtonStyle { tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider };
enum TEdgeBorder { ebLeft, ebTop, ebRight, ebBottom };
using TEdgeBorders = TSet<TEdgeBorder>;
enum TEdgeStyle { esNone, esRaised, esLowered };
// What the system leaves out when it draws a button after the custom-draw handler.
enum TTBCustomDrawFlag { tbNoEdges, tbHiliteHotTrack, tbNoOffset, tbNoMark, tbNoEtchedEffect };
using TTBCustomDrawFlags = TSet<TTBCustomDrawFlag>;

// ARect: the area being painted (client coordinates). DefaultDraw = false: the system draws
// nothing more of this stage.
using TTBAdvancedCustomDrawEvent =
    std::function<void(TToolBar* Sender, const TRect& ARect, TCustomDrawStage Stage, bool& DefaultDraw)>;
using TTBAdvancedCustomDrawBtnEvent =
    std::function<void(TToolBar* Sender, TToolButton* Button, TCustomDrawState State, TCustomDrawStage Stage,
                       TTBCustomDrawFlags& Flags, bool& DefaultDraw)>;

class TToolButton : public TGraphicControl {
  T_CLASS(TToolButton, TGraphicControl)

 public:
  explicit TToolButton(TComponent* AOwner);
  ~TToolButton() override;

  // The tool bar the button is on (its parent), nullptr when none.
  TToolBar* ToolBar() const { return FToolBar; }
  // Position among the tool bar's buttons, -1 off a tool bar.
  int Index() const;
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int Value);
  TToolButtonStyle Style() const { return FStyle; }
  void SetStyle(TToolButtonStyle Value);
  // Pressed in (a check button that is checked).
  bool Down() const { return FDown; }
  void SetDown(bool Value);
  bool Indeterminate() const { return FIndeterminate; }
  void SetIndeterminate(bool Value);
  // Highlighted (the item's marked state).
  bool Marked() const { return FMarked; }
  void SetMarked(bool Value);
  // The menu a drop-down button opens (not owned; the button hears when it goes).
  TPopupMenu* DropdownMenu() const { return FDropdownMenu; }
  void SetDropdownMenu(TPopupMenu* Value);

  // A check button changes Down; then OnClick.
  void Click() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  // Mouse messages go on to the tool bar window, which presses and releases its items.
  void WndProc(TMessage& Message) override;
  void CMEnabledChanged(TMessage& Message) override;
  void CMTextChanged(TMessage& Message) override;
  void CMVisibleChanged(TMessage& Message) override;

 private:
  friend class TToolBar;
  void Changed();
  TToolBar* FToolBar = nullptr;
  int FCommand = 0;  // the item's command id (unique on its tool bar)
  int FImageIndex = -1;
  TToolButtonStyle FStyle = tbsButton;
  bool FDown = false;
  bool FIndeterminate = false;
  bool FMarked = false;
  TPopupMenu* FDropdownMenu = nullptr;
};

class TToolBar : public TCustomControl {
  T_CLASS(TToolBar, TCustomControl)

 public:
  explicit TToolBar(TComponent* AOwner);
  ~TToolBar() override;

  int ButtonCount() const { return static_cast<int>(FButtons.size()); }
  // EListError for a bad index.
  TToolButton* Buttons(int Index) const;
  // The button of an item's command id, nullptr when none.
  TToolButton* ButtonOfCommand(int Command) const;

  bool Flat() const { return FFlat; }
  void SetFlat(bool Value);
  bool List() const { return FList; }
  void SetList(bool Value);
  bool ShowCaptions() const { return FShowCaptions; }
  void SetShowCaptions(bool Value);
  int ButtonWidth() const { return FButtonWidth; }
  void SetButtonWidth(int Value);
  int ButtonHeight() const { return FButtonHeight; }
  void SetButtonHeight(int Value);
  // Image lists (not owned; the bar hears when they go).
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* Value);
  TCustomImageList* HotImages() const { return FHotImages; }
  void SetHotImages(TCustomImageList* Value);
  // The frame around the buttons: sides with an edge, the edge's inner and outer line, and a
  // band of BorderWidth pixels inside the edges.
  TEdgeBorders EdgeBorders() const { return FEdgeBorders; }
  void SetEdgeBorders(TEdgeBorders Value);
  TEdgeStyle EdgeInner() const { return FEdgeInner; }
  void SetEdgeInner(TEdgeStyle Value);
  TEdgeStyle EdgeOuter() const { return FEdgeOuter; }
  void SetEdgeOuter(TEdgeStyle Value);
  int BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(int Value);

  void Notification(TComponent* AComponent, TOperation Operation) override;

  TTBAdvancedCustomDrawEvent OnAdvancedCustomDraw;
  TTBAdvancedCustomDrawBtnEvent OnAdvancedCustomDrawButton;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void Dispatch(TMessage& Message) override;
  // The system control paints the bar (also when graphic children are present).
  void PaintWindow(HDC DC) override;
  void WMEraseBkgnd(TMessage& Message) override;
  void WMSize(TMessage& Message) override;
  void CMControlListChange(TMessage& Message) override;
  void CMFontChanged(TMessage& Message) override;

 private:
  friend class TToolButton;
  void InsertButton(TToolButton* Button);
  void RemoveButton(TToolButton* Button);
  // All items from the buttons again; then the buttons' bounds.
  void RecreateButtons();
  // The item of one button from its properties.
  void UpdateButton(TToolButton* Button);
  // The buttons take the rectangles of their items.
  void UpdateButtonBounds();
  void UpdateImages();
  int EdgeWidth(TEdgeBorder Side) const;
  void FrameChanged();
  void CNNotify(TMessage& Message);
  void CNCommand(TMessage& Message);
  LRESULT CustomDraw(NMTBCUSTOMDRAW& Info);
  void DropDown(TToolButton* Button);
  void WMNCCalcSize(TMessage& Message);
  void WMNCPaint(TMessage& Message);
  void ImageListChange(TObject* Sender);

  std::vector<TToolButton*> FButtons;
  int FNextCommand = 1;
  bool FFlat = false;
  bool FList = false;
  bool FShowCaptions = false;
  int FButtonWidth = 23;
  int FButtonHeight = 22;
  TCustomImageList* FImages = nullptr;
  TCustomImageList* FHotImages = nullptr;
  std::unique_ptr<TChangeLink> FImageLink;
  TEdgeBorders FEdgeBorders;
  TEdgeStyle FEdgeInner = esRaised;
  TEdgeStyle FEdgeOuter = esLowered;
  int FBorderWidth = 0;
  bool FUpdatingBounds = false;
};
