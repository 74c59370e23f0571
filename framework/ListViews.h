// The list view and the tree view of the framework: thin controls over the system's list view
// ("SysListView32" superclassed as "TListView") and tree view ("SysTreeView32" superclassed as
// "TTreeView"). Win32.
//
//  - TListView: items (caption, sub-items, image) shown as icons, small icons, a list or a report
//    with columns (Columns: caption, width, alignment, and an image in the column header from
//    SmallImages). Only what is needed to show data: no editing, sorting or owner data. The list
//    window paints its own background, in the list's background colour (the one its rows use).
//  - TTreeView: nodes (text) under nodes, expanded or not, in the control's Color and font
//    colour. OnCustomDraw lets the program draw the tree (or over it) on Canvas before the system
//    paints it.
//
// The controls keep their items and give them to their windows whenever a window is made.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <vector>

#include "framework/ComCtrls.h"
#include "framework/Controls.h"
#include "framework/ImgList.h"
#include "framework/Lists.h"

// ---------------------------------------------------------------------------------------------
// List view

class TListView;

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

class TListColumn : public TCollectionItem {
  T_CLASS(TListColumn, TCollectionItem)

 public:
  // Joins the collection, then tells it (once the column is whole).
  explicit TListColumn(TCollection* Collection);

  const WideString& Caption() const { return FCaption; }
  void SetCaption(const WideString& Value);
  int Width() const { return FWidth; }
  void SetWidth(int Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  // The image of the column's header (an index of the list view's SmallImages), -1 none.
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int Value);

 private:
  WideString FCaption;
  int FWidth = 50;
  TAlignment FAlignment = taLeftJustify;
  int FImageIndex = -1;
};

class TListColumns : public TCollection {
  T_CLASS(TListColumns, TCollection)

 public:
  explicit TListColumns(TListView* AOwner);
  TListColumn* Add() { return static_cast<TListColumn*>(TCollection::Add()); }
  TListColumn* Items(int Index) const { return static_cast<TListColumn*>(TCollection::Items(Index)); }
  TPersistent* GetOwner() override;

 protected:
  void Update(TCollectionItem* Item) override;

 private:
  TListView* FOwner;
};

struct TListItem {
  WideString Caption;
  std::vector<WideString> SubItems;
  int ImageIndex = -1;
};

class TListView : public TWinControl {
  T_CLASS(TListView, TWinControl)

 public:
  explicit TListView(TComponent* AOwner);
  ~TListView() override;

  TListColumns* Columns() const { return FColumns.get(); }
  TViewStyle ViewStyle() const { return FViewStyle; }
  void SetViewStyle(TViewStyle Value);
  // The small images (also those of the column headers); not owned.
  TCustomImageList* SmallImages() const { return FSmallImages; }
  void SetSmallImages(TCustomImageList* Value);

  int ItemCount() const { return static_cast<int>(FItems.size()); }
  // Adds an item; returns its index.
  int AddItem(const WideString& Caption, const std::vector<WideString>& SubItems = {}, int ImageIndex = -1);
  // EListError for a bad index.
  const TListItem& Items(int Index) const;
  void ClearItems();

  void Notification(TComponent* AComponent, TOperation Operation) override;
  // The columns again (after a change of Columns).
  void UpdateColumns();

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  // The system list view erases its background itself (also for an opaque control).
  void WMEraseBkgnd(TMessage& Message) override;

 private:
  void SendItem(int Index);
  void ImageListChange(TObject* Sender);
  std::unique_ptr<TListColumns> FColumns;
  std::vector<TListItem> FItems;
  TViewStyle FViewStyle = vsIcon;
  TCustomImageList* FSmallImages = nullptr;
  std::unique_ptr<TChangeLink> FImageLink;
};

// ---------------------------------------------------------------------------------------------
// Tree view

class TCustomTreeView;

class TTreeNode {
 public:
  TTreeNode(TCustomTreeView* ATree, TTreeNode* AParent, const WideString& AText)
      : FTree(ATree), FParent(AParent), FText(AText) {}

  const WideString& Text() const { return FText; }
  void SetText(const WideString& Value);
  TTreeNode* Parent() const { return FParent; }
  int Count() const { return static_cast<int>(FChildren.size()); }
  TTreeNode* Item(int Index) const;
  bool Expanded() const { return FExpanded; }
  void SetExpanded(bool Value);
  // The node's item in the tree window (nullptr without a window).
  HTREEITEM ItemId() const { return FItem; }

 private:
  friend class TCustomTreeView;
  TCustomTreeView* FTree;
  TTreeNode* FParent;
  WideString FText;
  bool FExpanded = false;
  HTREEITEM FItem = nullptr;
  std::vector<std::unique_ptr<TTreeNode>> FChildren;
};

// ARect: the area being painted. DefaultDraw = false: the system draws nothing of the tree.
using TTVCustomDrawEvent = std::function<void(TCustomTreeView* Sender, const TRect& ARect, bool& DefaultDraw)>;

class TCustomTreeView : public TWinControl {
  T_CLASS(TCustomTreeView, TWinControl)

 public:
  explicit TCustomTreeView(TComponent* AOwner);
  ~TCustomTreeView() override;

  // Adds a node at the end of Parent's children (nullptr: a top node).
  TTreeNode* AddChild(TTreeNode* Parent, const WideString& Text);
  int TopCount() const { return static_cast<int>(FRoots.size()); }
  TTreeNode* TopItem(int Index) const;
  void ClearNodes();
  void FullExpand();

  // A canvas on the window's custom-draw device context while OnCustomDraw runs.
  TCanvas* Canvas() const { return FCanvas.get(); }

  TTVCustomDrawEvent OnCustomDraw;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Dispatch(TMessage& Message) override;
  void CMColorChanged(TMessage& Message) override;
  void CMFontChanged(TMessage& Message) override;

 private:
  friend class TTreeNode;
  // The control's colour and font colour to the window.
  void SendColors();
  void SendNode(TTreeNode* Node);
  void ForgetItems(TTreeNode* Node);
  void CNNotify(TMessage& Message);
  std::vector<std::unique_ptr<TTreeNode>> FRoots;
  std::unique_ptr<TControlCanvas> FCanvas;
};

class TTreeView : public TCustomTreeView {
  T_CLASS(TTreeView, TCustomTreeView)

 public:
  using TCustomTreeView::TCustomTreeView;
};
