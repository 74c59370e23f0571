// Container and layout controls of the framework. Win32.
//
//  - TCustomPanel / TPanel: a windowed container with a caption and 3-D bevels. The bevels and
//    the border width frame the client area that its aligned children share.
//  - TSplitter: a graphic control placed between two aligned controls; dragging it sizes the
//    control on its aligned side (the neighbour). While the mouse button is down the new edge is
//    shown as an inverted line (rsLine), a patterned line (rsPattern), not at all (rsNone), or
//    the neighbour is sized at once (rsUpdate). Escape or a cancelled mouse mode gives up the
//    drag.
//  - TScrollingWinControl: a windowed container whose children can be larger than its client
//    area; its scroll bars move the children.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "framework/StdCtrls.h"

// ---------------------------------------------------------------------------------------------
// Panels

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
using TPanelBevel = TBevelCut;
using TBevelWidth = int;
using TBorderWidth = int;

class TCustomPanel : public TCustomControl {
  T_CLASS(TCustomPanel, TCustomControl)

 public:
  explicit TCustomPanel(TComponent* AOwner);

  // Where the caption stands: left, right or centred, always vertically centred.
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  // The outer and inner bevels (raised: light top-left, dark bottom-right; lowered: the
  // reverse; space: a band in the panel's colour) and their width in pixels.
  TPanelBevel BevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TPanelBevel Value);
  TPanelBevel BevelInner() const { return FBevelInner; }
  void SetBevelInner(TPanelBevel Value);
  TBevelWidth BevelWidth() const { return FBevelWidth; }
  void SetBevelWidth(TBevelWidth Value);
  // A band in the panel's colour between the outer and the inner bevel.
  TBorderWidth BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(TBorderWidth Value);
  // bsSingle: a sunken window edge around the panel.
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  // The panel does not fill its background with Color: what its parent paints there shows
  // through (the bevels and the caption are drawn over it).
  bool ParentBackground() const { return FParentBackground; }
  void SetParentBackground(bool Value);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void Paint() override;
  void AdjustClientRect(TRect& Rect) override;
  void WMEraseBkgnd(TMessage& Message) override;
  void CMTextChanged(TMessage& Message) override;
  // The width of the bevels and the border together (what AdjustClientRect takes off).
  int FrameWidth() const;

 private:
  TAlignment FAlignment = taCenter;
  TPanelBevel FBevelOuter = bvRaised;
  TPanelBevel FBevelInner = bvNone;
  TBevelWidth FBevelWidth = 1;
  TBorderWidth FBorderWidth = 0;
  TBorderStyle FBorderStyle = bsNone;
  bool FParentBackground = false;
};

class TPanel : public TCustomPanel {
  T_CLASS(TPanel, TCustomPanel)

 public:
  using TCustomPanel::TCustomPanel;
};

// Draws Width nested one-pixel frames inside Rect, each with TopColor on its top and left edge
// and BottomColor on its bottom and right edge; Rect shrinks by Width on every side.
void Frame3D(TCanvas* Canvas, TRect& Rect, TColor TopColor, TColor BottomColor, int Width);

// ---------------------------------------------------------------------------------------------
// Splitters

enum TResizeStyle { rsNone, rsLine, rsUpdate, rsPattern };

// NewSize may be changed; Accept = false refuses the size.
using TCanResizeEvent = std::function<void(TObject* Sender, int& NewSize, bool& Accept)>;

class TSplitter : public TGraphicControl {
  T_CLASS(TSplitter, TGraphicControl)

 public:
  explicit TSplitter(TComponent* AOwner);
  ~TSplitter() override;

  // The smallest size (width or height) the neighbour may be dragged to (at least 1).
  int MinSize() const { return FMinSize; }
  void SetMinSize(int Value);
  // Dragging the neighbour below MinSize closes it (size 0); without AutoSnap the size stops at
  // MinSize.
  bool AutoSnap() const { return FAutoSnap; }
  void SetAutoSnap(bool Value) { FAutoSnap = Value; }
  bool Beveled() const { return FBeveled; }
  void SetBeveled(bool Value);
  TResizeStyle ResizeStyle() const { return FResizeStyle; }
  void SetResizeStyle(TResizeStyle Value) { FResizeStyle = Value; }
  // The control that a drag started now would size: the visible control with the same
  // alignment that touches the splitter on its aligned side (nullptr when there is none).
  TControl* FindControl();
  // A drag is going on.
  bool Sizing() const { return FControl != nullptr; }

  TCanResizeEvent OnCanResize;
  TNotifyEvent OnMoved;
  TNotifyEvent OnPaint;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void RequestAlign() override;
  void Dispatch(TMessage& Message) override;
  void WMCancelMode(TMessage& Message) override;
  // OnCanResize; true when the size is accepted.
  virtual bool CanResize(int& NewSize);
  // Fires OnMoved.
  virtual void StopSizingNotify();
  // The size the neighbour gets from the pointer at (X, Y) (splitter coordinates) and the
  // distance the splitter moves for it.
  void CalcSplitSize(int X, int Y, int& NewSize, int& Split);
  // Applies the pending size to the neighbour.
  void UpdateControlSize();
  // Ends the drag; Apply sizes the neighbour to the last size shown.
  void StopSizing(bool Apply);

 private:
  void AllocateLineDC();
  void ReleaseLineDC();
  void DrawLine();
  int ExtentOf(TControl* C) const;
  void ParentWindowProc(TMessage& Message);

  int FMinSize = 30;
  int FMaxSize = 0;
  bool FAutoSnap = true;
  bool FBeveled = false;
  TResizeStyle FResizeStyle = rsPattern;
  TControl* FControl = nullptr;  // the neighbour being sized
  TPoint FDownPos;
  int FNewSize = 0;
  int FOldSize = -1;
  int FSplit = 0;
  TWinControl* FHookedParent = nullptr;  // whose WindowProc chain watches the drag
  TWndMethod FParentWindowProc;
  HDC FLineDC = nullptr;
  HBRUSH FLineBrush = nullptr;
  HBRUSH FPrevBrush = nullptr;
  bool FLineVisible = false;
};

// ---------------------------------------------------------------------------------------------
// Scrolling containers

class TScrollingWinControl;

enum TScrollBarKind { sbHorizontal, sbVertical };

// One scroll bar of a TScrollingWinControl. Range is the extent of the content (pixels);
// Position the part of it scrolled out of view, 0 .. Range - client extent. The bar shows while
// it is Visible and the range exceeds the client extent.
class TControlScrollBar : public TPersistent {
  T_CLASS(TControlScrollBar, TPersistent)

 public:
  TControlScrollBar(TScrollingWinControl* AControl, TScrollBarKind AKind);

  TScrollBarKind Kind() const { return FKind; }
  int Range() const { return FRange; }
  // A range set by the program switches the control's AutoScroll off. Negative values raise
  // ERangeError.
  void SetRange(int Value);
  int Position() const { return FPosition; }
  // Scrolls the content; the value is kept inside 0 .. Range - client extent.
  void SetPosition(int Value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  // The distance of one line step (arrow buttons).
  int Increment() const { return FIncrement; }
  void SetIncrement(int Value) { FIncrement = Value > 0 ? Value : 1; }
  // Dragging the thumb scrolls at once instead of when it is released.
  bool Tracking() const { return FTracking; }
  void SetTracking(bool Value) { FTracking = Value; }
  // The bar is shown now.
  bool IsScrollBarVisible();
  // The client extent the bar scrolls over (width or height of the client area).
  int ControlExtent();

 private:
  friend class TScrollingWinControl;
  void SetRangeInternal(int Value);
  void Update();
  void ScrollMessage(WORD Code, int TrackPos);

  TScrollingWinControl* FControl;
  TScrollBarKind FKind;
  int FRange = 0;
  int FPosition = 0;
  bool FVisible = true;
  int FIncrement = 8;
  bool FTracking = false;
};

class TScrollingWinControl : public TWinControl {
  T_CLASS(TScrollingWinControl, TWinControl)

 public:
  explicit TScrollingWinControl(TComponent* AOwner);
  ~TScrollingWinControl() override;

  TControlScrollBar* HorzScrollBar() const { return FHorzScrollBar.get(); }
  TControlScrollBar* VertScrollBar() const { return FVertScrollBar.get(); }
  // The ranges follow the children: the right and bottom edges of the visible children that
  // are not aligned to the right, bottom or client area.
  bool AutoScroll() const { return FAutoScroll; }
  void SetAutoScroll(bool Value);
  // Moves every child by (DeltaX, DeltaY) and repaints.
  void ScrollBy(int DeltaX, int DeltaY);
  // Scrolls so that a child (at any depth) lies inside the client area, as far as possible.
  void ScrollInView(TControl* AControl);

 protected:
  void CreateWnd() override;
  void Dispatch(TMessage& Message) override;
  void WMSize(TMessage& Message) override;
  void AlignControls(TControl* AControl, TRect& Rect) override;
  void AdjustClientRect(TRect& Rect) override;
  // Works out the ranges from the children (AutoScroll).
  virtual void CalcAutoRange();
  void UpdateScrollBars();
  // Tells the control's WindowProc chain (CM_SCROLLDATASET) that the scroll data of its window
  // was set; once for a whole UpdateScrollBars or position change.
  void ScrollDataSet();

 private:
  friend class TControlScrollBar;
  std::unique_ptr<TControlScrollBar> FHorzScrollBar;
  std::unique_ptr<TControlScrollBar> FVertScrollBar;
  bool FAutoScroll = true;
  int FUpdatingScrollBars = 0;
  int FScrollNoticeHeld = 0;
};
