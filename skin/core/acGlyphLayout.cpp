// Glyph and caption placement of skinned buttons.
#include "skin/core/acGlyphLayout.h"

#include <utility>

#include "framework/Exceptions.h"

namespace {
constexpr int Limit = 1 << 26;
bool InRange(int V) { return V >= -Limit && V <= Limit; }

// Places two items side by side on a line of length W, First before Second with Spacing between
// them: First at Margin (left justified), Second ending Margin before the end (right justified),
// or the pair centred. Answers the start of each.
void PlaceInLine(int W, TAlignment Alignment, int Margin, int Spacing, int FirstSize, int SecondSize, int& First,
                 int& Second) {
  if (Alignment == taLeftJustify) {
    First = Margin;
    Second = First + FirstSize + Spacing;
  } else if (Alignment == taRightJustify) {
    Second = W - Margin - SecondSize;
    First = Second - Spacing - FirstSize;
  } else {
    First = (W - FirstSize - Spacing - SecondSize) / 2;
    Second = First + Spacing + FirstSize;
  }
}
}  // namespace

void CalcGlyphLayout(const TRect& Client, TPoint GlyphSize, TPoint TextSize, TButtonLayout Layout,
                     TAlignment Alignment, int Margin, int Spacing, int BiDiFlags, TPoint& GlyphPos,
                     TRect& TextBounds) {
  for (int V : {Client.Left, Client.Top, Client.Right, Client.Bottom, GlyphSize.X, GlyphSize.Y, TextSize.X,
                TextSize.Y, Margin, Spacing})
    if (!InRange(V)) throw ERangeError("CalcGlyphLayout: size or position out of range");
  if (Layout < blGlyphLeft || Layout > blGlyphBottom) throw ERangeError("CalcGlyphLayout: invalid layout");
  if (Alignment < taLeftJustify || Alignment > taCenter) throw ERangeError("CalcGlyphLayout: invalid alignment");

  const int W = Client.Right - Client.Left, H = Client.Bottom - Client.Top;
  const TPoint G = GlyphSize, T = TextSize;
  if (BiDiFlags & GlyphLayoutRightToLeft) {
    if (Layout == blGlyphLeft) Layout = blGlyphRight;
    else if (Layout == blGlyphRight) Layout = blGlyphLeft;
  }
  const bool Horizontal = Layout == blGlyphLeft || Layout == blGlyphRight;

  TPoint P, TextPos;
  // The cross axis is centred.
  if (Horizontal) {
    P.Y = (H - G.Y + 1) / 2;
    TextPos.Y = (H - T.Y + 1) / 2;
  } else {
    P.X = (W - G.X + 1) / 2;
    TextPos.X = (W - T.X + 1) / 2;
  }

  if (T.X == 0 || G.X == 0) Spacing = 0;
  if (Margin == -1) {
    if (Spacing >= 0) {
      if (Alignment == taCenter)
        Margin = Horizontal ? (W - (G.X + Spacing + T.X) + 1) / 2 : (H - (G.Y + Spacing + T.Y) + 1) / 2;
      else
        Margin = 2;
    } else {
      Margin = Horizontal ? (W - (G.X + T.X)) / 3 : (H - (G.Y + T.Y)) / 3;
      Spacing = Margin;
    }
  } else if (Spacing < 0) {
    Spacing = Horizontal ? ((W - (Margin + G.X)) - T.X) / 2 : ((H - (Margin + G.Y)) - T.Y) / 2;
  }

  switch (Layout) {
    case blGlyphLeft: PlaceInLine(W, Alignment, Margin, Spacing, G.X, T.X, P.X, TextPos.X); break;
    case blGlyphRight: PlaceInLine(W, Alignment, Margin, Spacing, T.X, G.X, TextPos.X, P.X); break;
    case blGlyphTop:
      // The margin does not move a top layout.
      P.Y = (H - G.Y - Spacing - T.Y) / 2;
      TextPos.Y = P.Y + G.Y + Spacing;
      break;
    case blGlyphBottom:
      P.Y = H - G.Y - (H - G.Y - Spacing - T.Y) / 2;
      TextPos.Y = P.Y - Spacing - T.Y;
      break;
  }

  GlyphPos = Point(P.X + Client.Left, P.Y + Client.Top);
  TextBounds = Bounds(Client.Left + TextPos.X, Client.Top + TextPos.Y, T.X, T.Y);
}
