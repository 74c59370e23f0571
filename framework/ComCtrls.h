// Common controls of the framework: thin controls over the system's common control classes.
// Win32.
//
//  - TStatusBar: a status bar ("msctls_statusbar32" superclassed as "TStatusBar") that shows its
//    panels (Panels: text, width, alignment; the last panel reaches the right end) or, with
//    SimplePanel, one panel with SimpleText. BorderWidth puts a frame of that width, in the
//    bar's colour, around the client area.
//  - TCustomTabControl: a tab control ("SysTabControl32"): tab position, style, several rows,
//    the tabs' images (Images), the selected tab (TabIndex), OnChanging and OnChange. Its client
//    area for children is the display area inside the tabs.
//  - TTabControl: a tab control whose tabs are the lines of a string list.
//  - TPageControl / TTabSheet: a tab control whose tabs are its pages (TTabSheet children, one
//    tab per page with TabVisible); the active page shows and fills the display area, the others
//    are hidden. Clicking a tab makes its page active.
//  - The custom-draw stages, item states and the custom-draw events shared by the tool bar and
//    the tree view.
//
// The controls keep their data (panels, tabs, pages) themselves and give it to their windows
// whenever a window is made, so recreating a window keeps everything.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <vector>

#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "framework/ImgList.h"
#include "framework/Lists.h"

// Registers the common control classes of ICC_xxx Classes with the system (once per class set).
void InitCommonControlClasses(DWORD Classes);

// ---------------------------------------------------------------------------------------------
// Custom drawing

enum TCustomDrawStage { cdPrePaint, cdPostPaint, cdPreErase, cdPostErase };
enum TCustomDrawStateItem {
  cdsSelected, cdsGrayed, cdsDisabled, cdsChecked, cdsFocused, cdsDefault, cdsHot, cdsMarked, cdsIndeterminate
};
using TCustomDrawState = TSet<TCustomDrawStateItem>;
// The item states of a custom-draw notification (CDIS_xxx) as a state set.
TCustomDrawState CustomDrawStateOf(UINT ItemState);

// ---------------------------------------------------------------------------------------------
// Status bar

class TStatusBar;

class TStatusPanel : public TCollectionItem {
  T_CLASS(TStatusPanel, TCollectionItem)

 public:
  // Joins the collection, then tells it (once the panel is whole).
  explicit TStatusPanel(TCollection* Collection);
  void Assign(TPersistent* Source) override;

  const WideString& Text() const { return FText; }
  void SetText(const WideString& Value);
  // Pixels; the last panel takes the rest of the bar whatever its width.
  int Width() const { return FWidth; }
  void SetWidth(int Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);

 private:
  WideString FText;
  int FWidth = 50;
  TAlignment FAlignment = taLeftJustify;
};

class TStatusPanels : public TCollection {
  T_CLASS(TStatusPanels, TCollection)

 public:
  explicit TStatusPanels(TStatusBar* AStatusBar);
  TStatusPanel* Add() { return static_cast<TStatusPanel*>(TCollection::Add()); }
  TStatusPanel* Items(int Index) const { return static_cast<TStatusPanel*>(TCollection::Items(Index)); }
  TPersistent* GetOwner() override;

 protected:
  void Update(TCollectionItem* Item) override;

 private:
  TStatusBar* FStatusBar;
};

class TStatusBar : public TWinControl {
  T_CLASS(TStatusBar, TWinControl)

 public:
  explicit TStatusBar(TComponent* AOwner);
  ~TStatusBar() override;

  TStatusPanels* Panels() const { return FPanels.get(); }
  // One panel across the bar showing SimpleText instead of the panels.
  bool SimplePanel() const { return FSimplePanel; }
  void SetSimplePanel(bool Value);
  const WideString& SimpleText() const { return FSimpleText; }
  void SetSimpleText(const WideString& Value);
  // A frame of this many pixels around the client area (0 .. 100).
  int BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(int Value);

  // Gives the panels (or the simple text) to the window.
  void UpdatePanels();

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void Dispatch(TMessage& Message) override;
  void WMSize(TMessage& Message) override;

 private:
  void WMNCCalcSize(TMessage& Message);
  void WMNCPaint(TMessage& Message);
  std::unique_ptr<TStatusPanels> FPanels;
  bool FSimplePanel = false;
  WideString FSimpleText;
  int FBorderWidth = 0;
};

// ---------------------------------------------------------------------------------------------
// Tab controls

enum TTabPosition { tpTop, tpBottom, tpLeft, tpRight };
enum TTabStyle { tsTabs, tsButtons, tsFlatButtons };

using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

class TCustomTabControl : public TWinControl {
  T_CLASS(TCustomTabControl, TWinControl)

 public:
  explicit TCustomTabControl(TComponent* AOwner);
  ~TCustomTabControl() override;

  // Changing one of these three remakes the window. Left and right tabs stand in several rows.
  TTabPosition TabPosition() const { return FTabPosition; }
  void SetTabPosition(TTabPosition Value);
  TTabStyle Style() const { return FStyle; }
  void SetStyle(TTabStyle Value);
  bool MultiLine() const { return FMultiLine; }
  void SetMultiLine(bool Value);
  // The images of the tabs (not owned; the control hears when the list goes).
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* Value);
  // The selected tab, -1 none.
  int TabIndex() const;
  void SetTabIndex(int Value);
  int TabCount() const { return static_cast<int>(FTabs.size()); }
  // The area inside the tabs and the frame (client coordinates).
  TRect DisplayRect();

  void Notification(TComponent* AComponent, TOperation Operation) override;

  TTabChangingEvent OnChanging;
  TNotifyEvent OnChange;

 protected:
  struct TTabItem {
    WideString Caption;
    int ImageIndex = -1;
  };
  // The tabs: the window is told of every change.
  void SetTabs(const std::vector<TTabItem>& Tabs);
  // Asks OnChanging whether the selection may move; true when it may.
  virtual bool CanChange();
  // Fires OnChange after the user selected another tab.
  virtual void Change();

  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Dispatch(TMessage& Message) override;
  void AdjustClientRect(TRect& Rect) override;
  void WMSize(TMessage& Message) override;
  virtual void CNNotify(TMessage& Message);

 private:
  void ImageListChange(TObject* Sender);
  void SendTabs();
  TTabPosition FTabPosition = tpTop;
  TTabStyle FStyle = tsTabs;
  bool FMultiLine = false;
  TCustomImageList* FImages = nullptr;
  std::unique_ptr<TChangeLink> FImageLink;
  std::vector<TTabItem> FTabs;
  int FTabIndex = -1;  // kept while there is no window
};

class TTabControl : public TCustomTabControl {
  T_CLASS(TTabControl, TCustomTabControl)

 public:
  explicit TTabControl(TComponent* AOwner);
  ~TTabControl() override;
  // One tab per line (text in the system's ANSI code page).
  TStringList* Tabs() const { return FTabList.get(); }

 private:
  void TabsChanged(TObject* Sender);
  std::unique_ptr<TStringList> FTabList;
};

class TPageControl;

class TTabSheet : public TWinControl {
  T_CLASS(TTabSheet, TWinControl)

 public:
  explicit TTabSheet(TComponent* AOwner);
  ~TTabSheet() override;

  // The page control the sheet is a page of (its parent); nullptr takes it off.
  TPageControl* PageControl() const { return FPageControl; }
  void SetPageControl(TPageControl* Value);
  // Position among the page control's pages, -1 outside one.
  int PageIndex() const;
  void SetPageIndex(int Value);
  // The index of its tab, -1 when it has none (no page control, or not TabVisible).
  int TabIndex() const;
  bool TabVisible() const { return FTabVisible; }
  void SetTabVisible(bool Value);
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int Value);

 protected:
  void CMTextChanged(TMessage& Message) override;

 private:
  friend class TPageControl;
  TPageControl* FPageControl = nullptr;
  bool FTabVisible = true;
  int FImageIndex = -1;
};

class TPageControl : public TCustomTabControl {
  T_CLASS(TPageControl, TCustomTabControl)

 public:
  explicit TPageControl(TComponent* AOwner);
  ~TPageControl() override;

  int PageCount() const { return static_cast<int>(FPages.size()); }
  // EListError for a bad index.
  TTabSheet* Pages(int Index) const;
  // The page that shows (nullptr when none); setting a page of another control is ignored.
  TTabSheet* ActivePage() const { return FActivePage; }
  void SetActivePage(TTabSheet* Page);
  int ActivePageIndex() const;
  void SetActivePageIndex(int Value);
  // The page with tab Index, nullptr when none.
  TTabSheet* PageOfTab(int TabIndex) const;

 protected:
  bool CanChange() override;
  void Change() override;
  void AlignControls(TControl* AControl, TRect& Rect) override;
  void CreateWnd() override;
  void CMControlListChange(TMessage& Message) override;

 private:
  friend class TTabSheet;
  void InsertPage(TTabSheet* Page);
  void RemovePage(TTabSheet* Page);
  void MovePage(TTabSheet* Page, int NewIndex);
  // The tabs again from the pages (captions, images, which pages have one).
  void UpdateTabs();
  void ShowActivePage();
  std::vector<TTabSheet*> FPages;
  TTabSheet* FActivePage = nullptr;
};
