// Glyph and caption placement of skinned buttons.
#include "skin/core/acGlyphLayout.h"

#include <utility>

#include "framework/Exceptions.h"

namespace {
constexpr int Limit = 1 << 26;
bool InRange(int V) { return V >= -Limit && V <= Limit; }
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
    case blGlyphLeft:
      if (Alignment == taLeftJustify) {
        P.X = Margin;
        TextPos.X = Margin + G.X + Spacing;
      } else if (Alignment == taRightJustify) {
        TextPos.X = W - Margin - T.X;
        P.X = TextPos.X - Spacing - G.X;
      } else {
        P.X = (W - T.X - Spacing - G.X) / 2;
        TextPos.X = P.X + Spacing + G.X;
      }
      break;
    case blGlyphRight:
      if (Alignment == taLeftJustify) {
        P.X = Margin + T.X + Spacing;
        TextPos.X = P.X - Spacing - T.X;
      } else if (Alignment == taRightJustify) {
        P.X = W - Margin - G.X;
        TextPos.X = P.X - Spacing - T.X;
      } else {
        TextPos.X = (W - T.X - Spacing - G.X) / 2;
        P.X = TextPos.X + Spacing + T.X;
      }
      break;
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
