#include "grid/NxDisplays.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "framework/Convert.h"
#include "framework/ExtCtrls.h"
#include "framework/Strings.h"
#include "grid/NxClasses.h"
#include "grid/NxPaintHelpers.h"
#include "grid/NxSharedDraw.h"
#include "grid/NxThemeSupport.h"

namespace {

TNxCustomColumn* CheckColumn(TNxCustomColumn* Column, const char* Operation) {
  if (Column == nullptr) throw EInvalidOperation(Format("%s: no column to paint", Operation));
  return Column;
}

void CheckKind(int Kind) {
  if (Kind != 0 && Kind != 1) throw ERangeError(Format("Unknown indicator corner kind (%d)", Kind));
}

bool HasGlyph(TColumnPart* Part) {
  return Part->Glyph() != nullptr && !Part->Glyph()->Empty() && Part->DisplayMode() != dmTextOnly;
}

// The caption's extent along its reading direction: the width of one line or of the widest
// line, or for a rotated caption the height of the text.
int CaptionExtent(TCanvas* Canvas, TColumnHeader* Header) {
  if (Header->Orientation() == hoVertical) return TextHeightW(Canvas, Header->Caption());
  return Header->MultiLine() ? CalcTextWidthW(Canvas, Header->Caption()) : TextWidthW(Canvas, Header->Caption());
}

// A chrome caption from the left edge of Rect: end ellipsis, no prefix, external leading,
// vertically centred, one line or wrapped at word breaks; with a clear brush.
void DrawCaption(TCanvas* Canvas, const TRect& Rect, const WideString& Text, bool MultiLine, bool RightToLeft) {
  if (!MultiLine) {
    TGraphicsProvider::DrawTextRect(Canvas, Rect, RightToLeft, Text, taLeftJustify);
    return;
  }
  TTextFormat Flags{tfEndEllipsis, tfNoPrefix, tfExternalLeading, tfVerticalCenter, tfWordBreak};
  if (RightToLeft) Flags.Include(tfRtlReading);
  DrawFormattedText(Canvas, Rect, Text, Flags);
}

// The left edge of a glyph of width GlyphWidth that goes before a text of width TextWidth in the
// content rectangle R: 3 pixels in when left-aligned, the glyph and the text (2 pixels apart)
// centred together, or RightAligned when right-aligned.
int GlyphLeft(TAlignment Alignment, const TRect& R, int GlyphWidth, int TextWidth, int RightAligned) {
  switch (Alignment) {
    case taRightJustify: return RightAligned;
    case taCenter: return R.Left + (R.Width() - (GlyphWidth + 2 + TextWidth)) / 2;
    default: return R.Left + 3;
  }
}

}  // namespace

TColumnEdge GetColumnEdge(TNxCustomColumn* Column) {
  if (Column == nullptr || Column->Columns() == nullptr) return ceOnly;
  TNxColumns* List = Column->Columns();
  // The first and the last column shown in display order (the column itself counts as shown).
  auto Shown = [Column](TNxCustomColumn* C) { return C == Column || C->Visible(); };
  TNxCustomColumn* First = nullptr;
  for (int P = 0; P < List->Count() && First == nullptr; ++P)
    if (Shown(List->ItemByPosition(P))) First = List->ItemByPosition(P);
  TNxCustomColumn* Last = nullptr;
  for (int P = List->Count() - 1; P >= 0 && Last == nullptr; --P)
    if (Shown(List->ItemByPosition(P))) Last = List->ItemByPosition(P);
  if (First == Last) return ceOnly;
  if (Column == First) return ceFirst;
  if (Column == Last) return ceLast;
  return ceMiddle;
}

// ---------------------------------------------------------------------------------------------
// TStyleDisplay

TStyleDisplay::TStyleDisplay(TControl* AOwner) : FOwner(AOwner) {}

TCanvas* TStyleDisplay::Cv() const {
  if (Canvas == nullptr) throw EInvalidOperation(Format("%s has no canvas to paint on", ClassName()));
  return Canvas;
}

TColor TStyleDisplay::GridColor() const { return FOwner != nullptr ? FOwner->Color() : clWindow; }

void TStyleDisplay::FillColor(const TRect& Rect, TColor Color) {
  TCanvas* C = Cv();
  C->Brush()->SetStyle(bsSolid);
  C->Brush()->SetColor(Color);
  C->FillRect(Rect);
}

void TStyleDisplay::Line(int X1, int Y1, int X2, int Y2) {
  TCanvas* C = Cv();
  C->MoveTo(X1, Y1);
  C->LineTo(X2, Y2);
}

void TStyleDisplay::Line(int X1, int Y1, int X2, int Y2, TColor Color) {
  Cv()->Pen()->SetColor(Color);
  Line(X1, Y1, X2, Y2);
}

void TStyleDisplay::Pixel(int X, int Y, TColor Color) { Cv()->SetPixels(X, Y, Color); }

void TStyleDisplay::Triangle(TPoint A, TPoint B, TPoint C, TColor Color) {
  TCanvas* Cnv = Cv();
  Cnv->Pen()->SetColor(Color);
  Cnv->Brush()->SetStyle(bsSolid);
  Cnv->Brush()->SetColor(Color);
  Cnv->Polygon({A, B, C});
}

void TStyleDisplay::InvertRect(const TRect& Rect) {
  TCanvas* C = Cv();
  C->SetCopyMode(cmDstInvert);
  C->CopyRect(Rect, C, Rect);
  C->SetCopyMode(cmSrcCopy);
}

void TStyleDisplay::RightBottomLines(const TRect& R, TColor Color) {
  Cv()->Pen()->SetColor(Color);
  Cv()->Polyline({Point(R.Right - 1, R.Top), Point(R.Right - 1, R.Bottom - 1), Point(R.Left - 1, R.Bottom - 1)});
}

void TStyleDisplay::RaisedButton(const TRect& Rect, bool Dark) { TGraphicsProvider::DrawButton(Cv(), Rect, Dark); }

int TStyleDisplay::GetContentMargin(TNxCustomColumn* Column) {
  CheckColumn(Column, "GetContentMargin");
  if (!ShowSortArrow || !PaintBackground) return 0;
  if (Themed && Column->Header()->DisplayMode() == dmTextOnly) return 11;
  return 2;
}

void TStyleDisplay::DrawSortArrow(int X, int Y, bool Ascending) {
  TCanvas* C = Cv();
  if (Themed) {
    if (Ascending)
      Triangle(Point(X, Y + 4), Point(X + 4, Y), Point(X + 8, Y + 4), clGrayText);
    else
      Triangle(Point(X, Y), Point(X + 4, Y + 4), Point(X + 8, Y), clGrayText);
    return;
  }
  // A raised sign: its shadow side, then its lit side.
  if (Ascending) {
    C->Pen()->SetColor(clBtnShadow);
    C->Polyline({Point(X + 7, Y + 6), Point(X, Y + 6), Point(X, Y + 5), Point(X + 1, Y + 5), Point(X + 1, Y + 3),
                 Point(X + 2, Y + 3), Point(X + 2, Y + 1), Point(X + 3, Y + 1), Point(X + 3, Y - 1)});
    C->Pen()->SetColor(clBtnHighlight);
    C->Polyline({Point(X + 7, Y + 5), Point(X + 6, Y + 5), Point(X + 6, Y + 3), Point(X + 5, Y + 3),
                 Point(X + 5, Y + 1), Point(X + 4, Y + 1), Point(X + 4, Y - 1)});
  } else {
    C->Pen()->SetColor(clBtnShadow);
    C->Polyline({Point(X + 7, Y), Point(X, Y), Point(X, Y + 1), Point(X + 1, Y + 1), Point(X + 1, Y + 3),
                 Point(X + 2, Y + 3), Point(X + 2, Y + 5), Point(X + 3, Y + 5), Point(X + 3, Y + 7)});
    C->Pen()->SetColor(clBtnHighlight);
    C->Polyline({Point(X + 7, Y + 1), Point(X + 6, Y + 1), Point(X + 6, Y + 3), Point(X + 5, Y + 3),
                 Point(X + 5, Y + 5), Point(X + 4, Y + 5), Point(X + 4, Y + 7)});
  }
}

void TStyleDisplay::DrawHeaderContent(TNxCustomColumn* Column, const TRect& Rect) {
  CheckColumn(Column, "DrawHeaderContent");
  TCanvas* C = Cv();
  TColumnHeader* H = Column->Header();
  TRect R = Rect;
  AdjustContentRect(R);
  const bool ShowText = H->DisplayMode() != dmImageOnly;
  const int T = (ShowText ? CaptionExtent(C, H) : 0) + 2;
  const int Middle = (R.Top + R.Bottom) / 2;
  // Right-aligned content leaves room for the sort sign of a sorted column, and never less
  // than the margin that ends the caption's rectangle (a themed header keeps 11 pixels).
  const int Margin = GetContentMargin(Column);
  const int RightGap = std::max(Column->Sorted() ? 33 : 2, Margin);
  const bool SortSign = ShowSortArrow && Column->Sorted() && (GetCapabilities() & scNoSortArrow) == 0;
  // Nothing of the content leaves the header: a long caption or a glyph pushed out to the left
  // would otherwise land on the neighbouring header.
  TDCStateScope Clip(C, Rect);
  int TextX;
  if (HasGlyph(H)) {
    TBitmap* Glyph = H->Glyph();
    const int GW = Glyph->Width();
    const int GlyphX = GlyphLeft(H->Alignment(), R, GW, T, R.Right - GW - T - RightGap);
    TextX = H->Alignment() == taLeftJustify ? R.Left + GW + 5 : GlyphX + GW + 2;
    DrawBitmap(C, GlyphX, Middle - Glyph->Height() / 2, Glyph);
  } else {
    switch (H->Alignment()) {
      case taRightJustify:
        TextX = R.Right - T - RightGap;
        break;
      case taCenter:
        TextX = T < R.Width() ? R.Left + (R.Width() - T) / 2 : R.Left + 2;
        break;
      default:
        TextX = R.Left + 2;
        break;
    }
  }
  TextX = std::max(TextX, R.Left);
  int TextRight = R.Right - Margin;
  // A sign that is always shown (HideArrow off) keeps its room free of the caption.
  if (SortSign && !H->HideArrow()) TextRight = std::min(TextRight, R.Right - 29);
  if (ShowText && TextRight > TextX) {
    const TRect TextRect = ::Rect(TextX, R.Top, TextRight, R.Bottom);
    if (H->Orientation() == hoVertical)
      DrawVerticalText(C, TextRect, H->Caption(), H->MultiLine());
    else
      DrawCaption(C, TextRect, H->Caption(), H->MultiLine(), RightToLeft);
  }
  const int TextEnd = std::min(TextX + T, std::max(TextRight, TextX));
  if (SortSign && (TextEnd + 27 < R.Right || !H->HideArrow()))
    DrawSortArrow(TextEnd + 19, Middle - 4, Column->SortKind() == skAscending);
  if (ShowSortArrow && Column == PressedColumn && (GetCapabilities() & scInvertPressed) != 0) InvertRect(Rect);
}

void TStyleDisplay::DrawFooterContent(TNxCustomColumn* Column, const TRect& R) {
  CheckColumn(Column, "DrawFooterContent");
  TCanvas* C = Cv();
  TColumnFooter* F = Column->Footer();
  WideString Value = F->Caption();
  if (!F->FormatMask().empty()) {
    if (F->FormatMaskKind() == mkFloat)
      Value = AnsiToWide(NxFormatFloat(F->FormatMask(), StrToFloatDef(WideToAnsi(Value), 0)));
    else
      Value = NxFormatMaskText(F->FormatMask(), Value);
  }
  const WideString Text = F->TextBefore() + Value + F->TextAfter();
  const bool ShowText = F->DisplayMode() != dmImageOnly;
  const int T = ShowText ? TextWidthW(C, Text) : 0;
  const int Padding = Column->Padding();
  const int Middle = (R.Top + R.Bottom) / 2;
  int TextX;
  if (HasGlyph(F)) {
    TBitmap* Glyph = F->Glyph();
    const int GW = Glyph->Width();
    const int GlyphX =
        GlyphLeft(F->Alignment(), R, GW, T, R.Right - GW - T - 2 - Padding - (Column->Sorted() ? 31 : 0));
    TextX = GlyphX + GW + 2;
    DrawBitmap(C, GlyphX, Middle - Glyph->Height() / 2, Glyph);
  } else {
    switch (F->Alignment()) {
      case taRightJustify:
        TextX = R.Right - T - Padding;
        break;
      case taCenter:
        TextX = R.Left + (R.Width() - T) / 2;
        break;
      default:
        TextX = R.Left + 2;
        break;
    }
  }
  TextX = std::max(TextX, R.Left);
  if (ShowText && TextX < R.Right)
    TGraphicsProvider::DrawTextRect(C, ::Rect(TextX, R.Top, R.Right, R.Bottom), RightToLeft, Text, taLeftJustify);
}

void TStyleDisplay::DrawFooterBackground(const TRect& Rect) { DrawCorner(Rect, 0); }

void TStyleDisplay::DrawCorner(const TRect& Rect, int Kind) {
  CheckKind(Kind);
  FillColor(Rect, GridColor());
}

void TStyleDisplay::DrawFooter(TNxCustomColumn* Column, const TRect& Rect, bool Framed) {
  CheckColumn(Column, "DrawFooter");
  TCanvas* C = Cv();
  TColumnFooter* F = Column->Footer();
  TRect R = Rect;
  if (Framed) {
    --R.Right;
    --R.Bottom;
  }
  if (F->DrawingOptions() != doCustomOnly) {
    TDCStateScope Clip(C, Rect);
    C->SetFont(Column->Font());
    FillColor(R, F->Color());
    if (Framed) {
      Line(R.Left, R.Bottom - 1, R.Right - 1, R.Bottom - 1, clBtnFace);
      Line(R.Right - 1, R.Top, R.Right - 1, R.Bottom + 1);
    }
  }
  TDCStateScope Clip(C, R);
  if (F->DrawingOptions() == doNormal || F->DrawingOptions() == doCustom) DrawFooterContent(Column, R);
  if (OnCustomDrawFooter) OnCustomDrawFooter(FOwner, Column->Index(), R);
}

void TStyleDisplay::DrawHeader(TNxCustomColumn* Column, const TRect& Rect) {
  CheckColumn(Column, "DrawHeader");
  TCanvas* C = Cv();
  const TDrawingOptions O = Column->Header()->DrawingOptions();
  {
    // The look of a style never reaches past the header (an empty one shows nothing).
    TDCStateScope Clip(C, Rect);
    if (PaintBackground && O != doCustomOnly) DrawHeaderBackground(Column, Rect);
    if (O == doNormal || O == doCustom) DrawHeaderContent(Column, Rect);
  }
  if (OnCustomDrawHeader) OnCustomDrawHeader(FOwner, Column->Index(), Rect);
}

void TStyleDisplay::DrawIndicatorBackground(const TRect& R, int Row, bool Selected, bool Highlighted) {
  FillColor(::Rect(R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom), clBtnFace);
  Line(R.Left, R.Top, R.Left, R.Bottom + 1, clBtnHighlight);
  if (Row >= 1) {
    // Rows below the first share the line above them with the row before: its corners stay flat.
    Pixel(R.Left + 1, R.Top, clBtnFace);
    Pixel(R.Right - 2, R.Top, clBtnFace);
    Line(R.Left + 2, R.Top, R.Right - 2, R.Top);
  } else {
    Line(R.Left + 1, R.Top, R.Right - 1, R.Top);
  }
  Pixel(R.Left + 1, R.Bottom - 1, clBtnFace);
  Pixel(R.Right - 2, R.Bottom - 1, clBtnFace);
  Line(R.Right - 1, R.Top, R.Right - 1, R.Bottom, clBtnShadow);
  Line(R.Left + 2, R.Bottom - 1, R.Right - 2, R.Bottom - 1);
}

void TStyleDisplay::DrawIndicatorContent(const TRect& R, bool Selected, bool Inverted) {
  Cv();
  if (Selected) {
    const int X = R.Left + (R.Width() - 6) / 2;
    const int Y = R.Top + (R.Height() - 11) / 2;
    Triangle(Point(X, Y), Point(X + 5, Y + 5), Point(X, Y + 10), clWindowText);
  }
  if (Inverted) InvertRect(R);
}

void TStyleDisplay::DrawInputCell(TNxCustomColumn* Column, const TRect& R, bool Focused, bool Selected, bool Editing) {
  CheckColumn(Column, "DrawInputCell");
  TCanvas* C = Cv();
  const TRect TextRect = ::Rect(R.Left + 2, R.Top, R.Right - 1, R.Bottom - 1);
  TRect Fill = R;
  if (Focused && Editing) {
    --Fill.Right;
    --Fill.Bottom;
  }
  C->SetFont(Column->Font());
  C->Font()->SetStyle({});
  // While the column's editor sits on the cell, only a frame is drawn round it.
  const bool EditorOnCell = Column->InputEditing();
  TColor Brush;
  if (!Focused || EditorOnCell || Column->Index() == SelectedColumn) {
    C->Font()->SetColor(clGrayText);
    Brush = Column->Color();
  } else {
    C->Font()->SetColor(clHighlightText);
    Brush = Selected ? clHighlight : clBtnFace;
  }
  C->Brush()->SetStyle(bsSolid);
  C->Brush()->SetColor(Brush);
  if (EditorOnCell)
    C->FrameRect(Fill);
  else
    C->FillRect(Fill);
  if (Focused && Editing) {
    Line(R.Left, R.Bottom - 1, R.Right - 1, R.Bottom - 1, clHighlight);
    Line(R.Right - 1, R.Top, R.Right - 1, R.Bottom);
  }
  if (!Column->InputValue().empty())
    TGraphicsProvider::DrawTextRect(C, TextRect, RightToLeft, Column->GetInputDisplayText(), Column->Alignment());
  else
    TGraphicsProvider::DrawTextRect(C, TextRect, RightToLeft, Column->InputCaption(), taCenter);
}

void TStyleDisplay::DrawHeaderRemainder(const TRect& Rect) { FillColor(Rect, GridColor()); }

int TStyleDisplay::GetHeaderContentWidth(TNxCustomColumn* Column) {
  CheckColumn(Column, "GetHeaderContentWidth");
  TColumnHeader* H = Column->Header();
  const int Text = H->DisplayMode() != dmImageOnly ? CaptionExtent(Cv(), H) : 0;
  const int Lead = HasGlyph(H) ? H->Glyph()->Width() + 5 : 2;
  const bool SortSign = ShowSortArrow && Column->Sorted() && (GetCapabilities() & scNoSortArrow) == 0;
  // The sign shows when the caption's end (its width + 2) lies more than 27 pixels left of the
  // right edge; without it the caption needs the content margin.
  return Lead + Text + (SortSign ? 2 + 28 : std::max(2, GetContentMargin(Column)));
}

// ---------------------------------------------------------------------------------------------
// TDefaultStyleDisplay

Byte TDefaultStyleDisplay::GetCapabilities() { return UseTheme() ? scHotHeaders : scInvertPressed; }

void TDefaultStyleDisplay::DrawCorner(const TRect& Rect, int Kind) {
  CheckKind(Kind);
  if (Kind == 1) {
    DrawPressedCell(Rect);
  } else if (UseTheme()) {
    NxDrawThemeBackground(static_cast<HTHEME>(ThemeHandle), Cv()->Handle(), 1, 1, Rect);
  } else {
    RaisedButton(Rect, false);
  }
}

void TDefaultStyleDisplay::DrawPressedCell(const TRect& R) {
  FillColor(::Rect(R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom), clBtnFace);
  Line(R.Left, R.Top, R.Left, R.Bottom, clBtnHighlight);
  Pixel(R.Left + 1, R.Top + 1, clBtnFace);
  Pixel(R.Right - 2, R.Top + 1, clBtnFace);
  Line(R.Left + 2, R.Top + 1, R.Right - 2, R.Top + 1);
  Pixel(R.Left + 1, R.Top, clBtnFace);
  Pixel(R.Right - 2, R.Top, clBtnFace);
  Cv()->Pen()->SetColor(clBtnShadow);
  Cv()->Polyline({Point(R.Right - 1, R.Top), Point(R.Right - 1, R.Bottom - 1), Point(R.Left - 1, R.Bottom - 1)});
  Line(R.Left + 2, R.Top, R.Right - 2, R.Top);
}

void TDefaultStyleDisplay::DrawHeaderBackground(TNxCustomColumn* Column, const TRect& Rect) {
  CheckColumn(Column, "DrawHeaderBackground");
  if (UseTheme())
    DrawThemedColumnHeader(Column, Rect);
  else
    DrawColumnHeader(Column, Rect);
}

void TDefaultStyleDisplay::DrawHeaderRemainder(const TRect& Rect) {
  if (UseTheme())
    NxDrawThemeBackground(static_cast<HTHEME>(ThemeHandle), Cv()->Handle(), 2, 1, Rect);
  else
    TStyleDisplay::DrawHeaderRemainder(Rect);
}

void TDefaultStyleDisplay::DrawColumnHeader(TNxCustomColumn* Column, const TRect& R) {
  CheckColumn(Column, "DrawColumnHeader");
  const TColor Face = Column->Header()->Color();
  FillColor(::Rect(R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1), Face);
  const TColumnEdge Edge = GetColumnEdge(Column);
  if (Edge == ceOnly) {
    TRect Frame = R;
    Frame3D(Cv(), Frame, clBtnHighlight, clBtnShadow, 1);
    return;
  }
  // Neighbouring headers share their edges: the inner ends of the side lines are rounded off in
  // the header's colour.
  Line(R.Left, R.Top, R.Right, R.Top, clBtnHighlight);
  if (Edge == ceFirst) {
    Line(R.Left, R.Top + 1, R.Left, R.Bottom - 1);
  } else {
    Line(R.Left, R.Top + 2, R.Left, R.Bottom - 2);
    Pixel(R.Left, R.Top + 1, Face);
    Pixel(R.Left, R.Bottom - 2, Face);
  }
  Line(R.Left, R.Bottom - 1, R.Right, R.Bottom - 1, clBtnShadow);
  if (Edge == ceLast) {
    Line(R.Right - 1, R.Top, R.Right - 1, R.Bottom - 1);
  } else {
    Line(R.Right - 1, R.Top + 2, R.Right - 1, R.Bottom - 2);
    Pixel(R.Right - 1, R.Top + 1, Face);
    Pixel(R.Right - 1, R.Bottom - 2, Face);
  }
}

void TDefaultStyleDisplay::DrawThemedColumnHeader(TNxCustomColumn* Column, const TRect& Rect) {
  CheckColumn(Column, "DrawThemedColumnHeader");
  const int State = Column == PressedColumn ? 3 : Column == HotColumn ? 2 : 1;
  NxDrawThemeBackground(static_cast<HTHEME>(ThemeHandle), Cv()->Handle(), 1, State, Rect);
}

// ---------------------------------------------------------------------------------------------
// TFlatStyleDisplay

void TFlatStyleDisplay::DrawCorner(const TRect& Rect, int Kind) {
  CheckKind(Kind);
  FillColor(Rect, clBtnFace);
  RightBottomLines(Rect, clGrayText);
}

void TFlatStyleDisplay::DrawFooterBackground(const TRect& Rect) { FillColor(Rect, clBtnFace); }

void TFlatStyleDisplay::DrawHeaderBackground(TNxCustomColumn* Column, const TRect& Rect) {
  DrawColumnHeader(Column, Rect);
}

void TFlatStyleDisplay::DrawIndicatorBackground(const TRect& Rect, int Row, bool Selected, bool Highlighted) {
  FillColor(Rect, clBtnFace);
  RightBottomLines(Rect, clGrayText);
}

void TFlatStyleDisplay::DrawColumnHeader(TNxCustomColumn* Column, const TRect& Rect) {
  CheckColumn(Column, "DrawColumnHeader");
  FillColor(Rect, Column->Header()->Color());
  RightBottomLines(Rect, clGrayText);
}

// ---------------------------------------------------------------------------------------------
// TOldStyleDisplay

void TOldStyleDisplay::DrawCorner(const TRect& Rect, int Kind) {
  CheckKind(Kind);
  RaisedButton(Rect, true);
}

void TOldStyleDisplay::DrawHeaderBackground(TNxCustomColumn* Column, const TRect& Rect) {
  CheckColumn(Column, "DrawHeaderBackground");
  RaisedButton(Rect, true);
}

void TOldStyleDisplay::DrawIndicatorBackground(const TRect& Rect, int Row, bool Selected, bool Highlighted) {
  RaisedButton(Rect, true);
}

// ---------------------------------------------------------------------------------------------
// TOutlookStyleDisplay

void TOutlookStyleDisplay::DrawShadowRows(const TRect& R, TColor Color) {
  Line(R.Left, R.Bottom - 3, R.Right, R.Bottom - 3, BlendColor(clBtnShadow, Color, 50));
  Line(R.Left, R.Bottom - 2, R.Right, R.Bottom - 2, BlendColor(clBtnShadow, Color, 100));
  Line(R.Left, R.Bottom - 1, R.Right, R.Bottom - 1, BlendColor(clBtnShadow, Color, 150));
}

void TOutlookStyleDisplay::DrawCorner(const TRect& R, int Kind) {
  CheckKind(Kind);
  FillColor(::Rect(R.Left, R.Top, R.Right, R.Bottom - 3), clBtnFace);
  Line(R.Right - 1, R.Top, R.Right - 1, R.Bottom - 3, clBtnShadow);
  DrawShadowRows(R, clBtnFace);
}

void TOutlookStyleDisplay::DrawFooterBackground(const TRect& Rect) { RaisedButton(Rect, false); }

void TOutlookStyleDisplay::DrawHeaderBackground(TNxCustomColumn* Column, const TRect& Rect) {
  DrawColumnHeader(Column, Rect);
}

void TOutlookStyleDisplay::DrawColumnHeader(TNxCustomColumn* Column, const TRect& R) {
  CheckColumn(Column, "DrawColumnHeader");
  const TColor Face = Column->Header()->Color();
  FillColor(::Rect(R.Left, R.Top, R.Right, R.Bottom - 3), Face);
  const TColumnEdge Edge = GetColumnEdge(Column);
  if (Edge == ceMiddle || Edge == ceLast)
    Line(R.Left, R.Top + 2, R.Left, R.Bottom - 4, clBtnHighlight);
  else
    Line(R.Left, R.Top, R.Left, R.Bottom - 3, clBtnHighlight);
  if (Edge == ceLast || Edge == ceOnly)
    Line(R.Right - 1, R.Top, R.Right - 1, R.Bottom - 1, clBtnShadow);
  else
    Line(R.Right - 1, R.Top + 2, R.Right - 1, R.Bottom - 4, clBtnShadow);
  DrawShadowRows(R, Face);
}

// ---------------------------------------------------------------------------------------------
// TVistaStyleDisplay

void TVistaStyleDisplay::DrawHeaderBackground(TNxCustomColumn* Column, const TRect& Rect) {
  DrawColumnHeader(Column, Rect);
}

void TVistaStyleDisplay::DrawIndicatorBackground(const TRect& R, int Row, bool Selected, bool Highlighted) {
  Line(R.Left, R.Top, R.Left, R.Bottom, clWhite);
  Line(R.Right - 1, R.Top, R.Right - 1, R.Bottom, clBtnFace);
  FillColor(::Rect(R.Left + 1, R.Top, R.Right - 1, R.Bottom), RGB(240, 240, 240));
}

void TVistaStyleDisplay::DrawColumnHeader(TNxCustomColumn* Column, const TRect& R) {
  CheckColumn(Column, "DrawColumnHeader");
  Line(R.Left, R.Top, R.Left, R.Bottom, clWhite);
  Line(R.Right - 1, R.Top, R.Right - 1, R.Bottom, clBtnFace);
  const TRect Inner = ::Rect(R.Left + 1, R.Top, R.Right - 1, R.Bottom);
  if (!Column->Sorted()) {
    FillColor(Inner, RGB(240, 240, 240));
    return;
  }
  // The sorted column: a light blue band fading to white over the top six rows, white below,
  // and a white sign at the top centre pointing the sort's way.
  const int Band = std::min(R.Top + 6, R.Bottom);
  DrawGradient(Cv(), ::Rect(Inner.Left, R.Top, Inner.Right, Band), RGB(175, 220, 240), clWhite);
  FillColor(::Rect(Inner.Left, Band, Inner.Right, R.Bottom), clWhite);
  const int X = (R.Left + R.Right) / 2 - 3;
  const int Y = R.Top;
  if (Column->SortKind() == skAscending)
    Triangle(Point(X + 3, Y), Point(X + 6, Y + 3), Point(X, Y + 3), clWhite);
  else
    Triangle(Point(X, Y), Point(X + 3, Y + 3), Point(X + 6, Y), clWhite);
}

// ---------------------------------------------------------------------------------------------
// TOffice2007StyleDisplay, TOffice2010StyleDisplay

TColor TOffice2007StyleDisplay::GradientTop() const { return clWhite; }
TColor TOffice2007StyleDisplay::GradientBottom() const { return SchemeColor(11); }
TColor TOffice2010StyleDisplay::GradientTop() const { return SchemeColor(6); }
TColor TOffice2010StyleDisplay::GradientBottom() const { return SchemeColor(7); }

void TOffice2007StyleDisplay::DrawCorner(const TRect& Rect, int Kind) {
  CheckKind(Kind);
  DrawGradient(Cv(), Rect, GradientTop(), GradientBottom());
  RightBottomLines(Rect, SchemeColor(2));
}

void TOffice2007StyleDisplay::DrawFooterBackground(const TRect& Rect) { FillColor(Rect, SchemeColor(11)); }

void TOffice2007StyleDisplay::DrawHeaderBackground(TNxCustomColumn* Column, const TRect& Rect) {
  DrawColumnHeader(Column, Rect);
}

void TOffice2007StyleDisplay::DrawIndicatorBackground(const TRect& Rect, int Row, bool Selected, bool Highlighted) {
  DrawCorner(Rect, 0);
}

void TOffice2007StyleDisplay::DrawColumnHeader(TNxCustomColumn* Column, const TRect& R) {
  CheckColumn(Column, "DrawColumnHeader");
  // The pressed header turns its gradient upside down.
  if (Column == PressedColumn)
    DrawGradient(Cv(), R, GradientBottom(), GradientTop());
  else
    DrawGradient(Cv(), R, GradientTop(), GradientBottom());
  const TColumnEdge Edge = GetColumnEdge(Column);
  if (Edge == ceFirst || Edge == ceMiddle)
    Line(R.Right - 1, R.Top + 2, R.Right - 1, R.Bottom - 3, SchemeColor(10));
  else
    Line(R.Right - 1, R.Top, R.Right - 1, R.Bottom - 1, SchemeColor(2));
  Line(R.Left, R.Bottom - 1, R.Right, R.Bottom - 1, SchemeColor(2));
}

void TOffice2010StyleDisplay::DrawSortArrow(int X, int Y, bool Ascending) {
  TCanvas* C = Cv();
  C->Pen()->SetColor(clBlack);
  C->Brush()->SetStyle(bsSolid);
  C->Brush()->SetColor(RGB(165, 172, 181));
  if (Ascending)
    C->Polygon({Point(X, Y + 4), Point(X + 4, Y), Point(X + 8, Y + 4)});
  else
    C->Polygon({Point(X, Y), Point(X + 4, Y + 4), Point(X + 8, Y)});
}

// ---------------------------------------------------------------------------------------------
// TTextColumnDisplay

void TTextColumnDisplay::Paint() {
  if (Column() == nullptr) return;
  DrawTextRect(Column()->GetDisplayText(Value), ContentRect());
}

// ---------------------------------------------------------------------------------------------
// Footer value formatting

namespace {

// The sections of a number format, split at ';' outside quoted text.
std::vector<AnsiString> FormatSections(const AnsiString& Format) {
  std::vector<AnsiString> Sections(1);
  char Quote = 0;
  for (char Ch : Format) {
    if (Quote != 0) {
      if (Ch == Quote) Quote = 0;
    } else if (Ch == '"' || Ch == '\'') {
      Quote = Ch;
    } else if (Ch == ';') {
      Sections.emplace_back();
      continue;
    }
    Sections.back() += Ch;
  }
  return Sections;
}

// A number format section taken apart: the literal text before and after the digits and the
// counts of digit placeholders.
struct TNumberPattern {
  AnsiString Prefix, Suffix;
  int IntZeros = 0;    // '0' before the decimal point
  int IntDigits = 0;   // '0' and '#' before the decimal point
  int FracZeros = 0;   // '0' after it
  int FracDigits = 0;  // '0' and '#' after it
  bool Grouping = false;
  bool Scientific = false;
  bool ExpSignAlways = false;  // "E+" (the '+' shows), not "E-"
  char ExpChar = 'E';
  int ExpZeros = 0;
};

TNumberPattern ParsePattern(const AnsiString& S) {
  TNumberPattern P;
  bool Seen = false;   // a digit placeholder or the decimal point came
  bool Point = false;  // the decimal point came
  AnsiString Literal;  // text since the last placeholder
  // Text before the digits leads the number; text among or after them follows it.
  auto Place = [&] {
    (Seen ? P.Suffix : P.Prefix) += Literal;
    Literal.clear();
  };
  for (std::size_t I = 0; I < S.size(); ++I) {
    const char Ch = S[I];
    if (Ch == '"' || Ch == '\'') {
      const std::size_t End = S.find(Ch, I + 1);
      const std::size_t Stop = End == AnsiString::npos ? S.size() : End;
      Literal += S.substr(I + 1, Stop - I - 1);
      I = Stop;
    } else if (P.Scientific) {
      Literal += Ch;
    } else if (Ch == '0' || Ch == '#') {
      Place();
      Seen = true;
      if (Point) {
        ++P.FracDigits;
        if (Ch == '0') P.FracZeros = P.FracDigits;  // a '0' keeps every place before it too
      } else {
        ++P.IntDigits;
        if (Ch == '0') ++P.IntZeros;
      }
    } else if (Ch == '.' && !Point) {
      Place();
      Seen = true;
      Point = true;
    } else if (Ch == ',' && Seen && !Point) {
      P.Grouping = true;
    } else if ((Ch == 'E' || Ch == 'e') && Seen && I + 1 < S.size() && (S[I + 1] == '+' || S[I + 1] == '-')) {
      Place();
      P.Scientific = true;
      P.ExpChar = Ch;
      P.ExpSignAlways = S[I + 1] == '+';
      ++I;
      while (I + 1 < S.size() && S[I + 1] == '0') {
        ++P.ExpZeros;
        ++I;
      }
    } else {
      Literal += Ch;
    }
  }
  Place();
  return P;
}

AnsiString Grouped(const AnsiString& Digits) {
  if (FormatSettings.ThousandSeparator == 0) return Digits;
  AnsiString R;
  const int N = static_cast<int>(Digits.size());
  for (int I = 0; I < N; ++I) {
    if (I > 0 && (N - I) % 3 == 0) R += FormatSettings.ThousandSeparator;
    R += Digits[static_cast<std::size_t>(I)];
  }
  return R;
}

// A byte of the system code page as a wide character ('?' for a byte without one).
wchar_t WideChar(char Ch) {
  const WideString W = AnsiToWide(AnsiString(1, Ch));
  return W.empty() ? L'?' : W[0];
}

// Value (not negative) with Fraction places, split at the decimal point: its 15 significant
// digits rounded half up at the last place (so 2.675 gives 2.68, as it reads).
void FixedDigits(double Value, int Fraction, AnsiString& Int, AnsiString& Frac) {
  char Buffer[40];
  std::snprintf(Buffer, sizeof Buffer, "%.14e", Value);  // d.dddddddddddddde[+-]x
  const AnsiString Text(Buffer);
  const std::size_t E = Text.find('e');
  AnsiString Digits = Text.substr(0, 1) + Text.substr(2, E - 2);
  int Point = std::atoi(Text.c_str() + E + 1) + 1;  // digits before the decimal point
  const int Keep = Point + Fraction;
  if (Keep < 0) {
    Digits.clear();
  } else if (Keep < static_cast<int>(Digits.size())) {
    const bool Up = Digits[static_cast<std::size_t>(Keep)] >= '5';
    Digits.resize(static_cast<std::size_t>(Keep));
    if (Up) {
      int I = Keep - 1;
      for (; I >= 0 && Digits[static_cast<std::size_t>(I)] == '9'; --I) Digits[static_cast<std::size_t>(I)] = '0';
      if (I >= 0) {
        ++Digits[static_cast<std::size_t>(I)];
      } else {
        Digits.insert(Digits.begin(), '1');
        ++Point;
      }
    }
  } else {
    Digits.append(static_cast<std::size_t>(Keep) - Digits.size(), '0');
  }
  if (Digits.empty()) {
    Int.assign(1, '0');
    Frac.assign(static_cast<std::size_t>(Fraction), '0');
    return;
  }
  if (Point <= 0) {
    Int.assign(1, '0');
    Frac = AnsiString(static_cast<std::size_t>(-Point), '0') + Digits;
  } else {
    Int = Digits.substr(0, static_cast<std::size_t>(Point));
    Frac = Digits.substr(static_cast<std::size_t>(Point));
  }
  Frac.resize(static_cast<std::size_t>(Fraction), '0');
  const std::size_t First = Int.find_first_not_of('0');
  Int = First == AnsiString::npos ? AnsiString("0") : Int.substr(First);
}

}  // namespace

AnsiString NxFormatFloat(const AnsiString& Format, double Value) {
  if (Format.empty() || !std::isfinite(Value)) return FloatToStr(Value);
  const std::vector<AnsiString> Sections = FormatSections(Format);
  AnsiString Section = Sections[0];
  bool Minus = false;
  if (Value < 0) {
    Value = -Value;
    if (Sections.size() >= 2 && !Sections[1].empty())
      Section = Sections[1];
    else
      Minus = true;
  } else if (Value == 0 && Sections.size() >= 3 && !Sections[2].empty()) {
    Section = Sections[2];
  }
  const TNumberPattern P = ParsePattern(Section);
  AnsiString Int, Frac, Exponent;
  if (P.Scientific) {
    const int Lead = std::max(P.IntDigits, 1);
    int Exp = Value == 0 ? 0 : static_cast<int>(std::floor(std::log10(Value))) - (Lead - 1);
    double Mantissa = Value / std::pow(10.0, Exp);
    FixedDigits(Mantissa, P.FracDigits, Int, Frac);
    if (static_cast<int>(Int.size()) > Lead) {  // rounding carried into one more digit
      ++Exp;
      Mantissa = Value / std::pow(10.0, Exp);
      FixedDigits(Mantissa, P.FracDigits, Int, Frac);
    }
    AnsiString E = std::to_string(std::abs(Exp));
    if (static_cast<int>(E.size()) < P.ExpZeros) E.insert(0, static_cast<std::size_t>(P.ExpZeros) - E.size(), '0');
    Exponent = AnsiString(1, P.ExpChar) + (Exp < 0 ? "-" : P.ExpSignAlways ? "+" : "") + E;
  } else {
    FixedDigits(Value, P.FracDigits, Int, Frac);
  }
  // A value that rounds to nothing shows no sign.
  if (Int.find_first_not_of('0') == AnsiString::npos && Frac.find_first_not_of('0') == AnsiString::npos) Minus = false;
  // Optional places of the fraction go when they are zero.
  while (static_cast<int>(Frac.size()) > P.FracZeros && Frac.back() == '0') Frac.pop_back();
  if (Int == "0" && P.IntZeros == 0) Int.clear();
  if (static_cast<int>(Int.size()) < P.IntZeros) Int.insert(0, static_cast<std::size_t>(P.IntZeros) - Int.size(), '0');
  if (P.Grouping) Int = Grouped(Int);
  AnsiString Number = Int;
  if (!Frac.empty()) Number += FormatSettings.DecimalSeparator + Frac;
  Number += Exponent;
  return (Minus ? "-" : "") + P.Prefix + Number + P.Suffix;
}

WideString NxFormatMaskText(const AnsiString& EditMask, const WideString& Value) {
  // The mask ends at the first ';' that is not escaped; the fields after it are single
  // characters: whether literals are part of the value, and the blank character.
  std::size_t MaskEnd = EditMask.size();
  for (std::size_t I = 0; I < EditMask.size(); ++I) {
    if (EditMask[I] == '\\') {
      ++I;
    } else if (EditMask[I] == ';') {
      MaskEnd = I;
      break;
    }
  }
  const bool SaveLiterals = !(MaskEnd + 1 < EditMask.size() && EditMask[MaskEnd + 1] == '0');
  struct TPosition {
    bool Input;
    wchar_t Literal;
    int Case;  // 0 as typed, 1 upper, -1 lower
  };
  std::vector<TPosition> Positions;
  bool LeadingBlanks = false;
  int Case = 0;
  for (std::size_t I = 0; I < MaskEnd; ++I) {
    const char Ch = EditMask[I];
    switch (Ch) {
      case '\\':
        if (I + 1 < MaskEnd) Positions.push_back({false, WideChar(EditMask[++I]), 0});
        break;
      case '!':
        LeadingBlanks = true;
        break;
      case '>':
        if (I + 1 < MaskEnd && EditMask[I + 1] == '<') {
          ++I;
          Case = 0;
        } else {
          Case = 1;
        }
        break;
      case '<':
        if (I + 1 < MaskEnd && EditMask[I + 1] == '>') {
          ++I;
          Case = 0;
        } else {
          Case = -1;
        }
        break;
      case '0':
      case '9':
      case '#':
      case 'L':
      case 'l':
      case 'A':
      case 'a':
      case 'C':
      case 'c':
        Positions.push_back({true, 0, Case});
        break;
      case '_':
        Positions.push_back({false, L' ', 0});
        break;
      case ':':
        Positions.push_back({false, static_cast<wchar_t>(static_cast<unsigned char>(FormatSettings.TimeSeparator)), 0});
        break;
      case '/':
        Positions.push_back({false, static_cast<wchar_t>(static_cast<unsigned char>(FormatSettings.DateSeparator)), 0});
        break;
      default:
        Positions.push_back({false, WideChar(Ch), 0});
        break;
    }
  }
  auto Cased = [](wchar_t C, int Mode) {
    if (Mode == 0 || C == 0) return C;
    wchar_t Buffer[2] = {C, 0};
    if (Mode > 0)
      CharUpperBuffW(Buffer, 1);
    else
      CharLowerBuffW(Buffer, 1);
    return Buffer[0];
  };
  WideString Result;
  std::size_t Next = 0;
  if (SaveLiterals) {
    for (const TPosition& P : Positions) {
      if (!P.Input) {
        Result += P.Literal;
        if (Next < Value.size() && Value[Next] == P.Literal) ++Next;
      } else {
        Result += Next < Value.size() ? Cased(Value[Next++], P.Case) : L' ';
      }
    }
    return Result;
  }
  const std::size_t Inputs = static_cast<std::size_t>(
      std::count_if(Positions.begin(), Positions.end(), [](const TPosition& P) { return P.Input; }));
  const std::size_t Blanks = LeadingBlanks && Value.size() < Inputs ? Inputs - Value.size() : 0;
  std::size_t K = 0;
  for (const TPosition& P : Positions) {
    if (!P.Input) {
      Result += P.Literal;
      continue;
    }
    const std::size_t From = K++;
    Result += From >= Blanks && From - Blanks < Value.size() ? Cased(Value[From - Blanks], P.Case) : L' ';
  }
  return Result;
}
