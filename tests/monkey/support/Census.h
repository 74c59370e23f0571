// What the process holds, by kind: its windows by class (message-only ones too), its menus by their entries, the
// GDI objects by kind (bitmaps by size and depth, fonts by face, height and weight, brushes and
// pens by colour). Two censuses compared
// say what was left behind when the counts differ. Win32.
#pragma once

#include <windows.h>

#include <cstdio>
#include <map>
#include <string>

#include "support/UiTest.h"

namespace monkey {

class TCensus {
 public:
  TCensus() {
    uitest::ForEachGdiHandle([this](HGDIOBJ O) { ++FKinds[GdiKind(O)]; });
    uitest::ForEachUserHandle([this](HMENU M) { ++FKinds[MenuKind(M)]; },
                              [this](HWND W) { ++FKinds["window " + ClassOf(W)]; });
  }

  // The kinds whose number differs in Later, as "kind: before -> after" lines.
  std::string ChangesTo(const TCensus& Later) const {
    std::string S;
    auto Add = [&S](const std::string& K, int A, int B) {
      if (A != B) S += "  " + K + ": " + std::to_string(A) + " -> " + std::to_string(B) + "\n";
    };
    for (const auto& [K, N] : Later.FKinds) Add(K, Count(K), N);
    for (const auto& [K, N] : FKinds)
      if (Later.FKinds.count(K) == 0) Add(K, N, 0);
    return S;
  }

 private:
  int Count(const std::string& K) const {
    const auto I = FKinds.find(K);
    return I == FKinds.end() ? 0 : I->second;
  }

  static std::string ClassOf(HWND W) {
    char C[64] = {};
    GetClassNameA(W, C, sizeof C);
    return C;
  }
  // A menu by its number of entries and its first entry's text.
  static std::string MenuKind(HMENU M) {
    char First[64] = {};
    GetMenuStringA(M, 0, First, sizeof First, MF_BYPOSITION);
    return "menu of " + std::to_string(GetMenuItemCount(M)) + " entries, the first \"" + First + "\"";
  }

  static std::string GdiKind(HGDIOBJ O) {
    char K[96];
    switch (GetObjectType(O)) {
      case OBJ_BITMAP: {
        BITMAP B{};
        GetObjectW(O, sizeof B, &B);
        std::snprintf(K, sizeof K, "bitmap %ldx%ld, %d bits", B.bmWidth, B.bmHeight, B.bmBitsPixel);
        break;
      }
      case OBJ_FONT: {
        LOGFONTA F{};
        GetObjectA(O, sizeof F, &F);
        std::snprintf(K, sizeof K, "font %s %ld, weight %ld%s%s", F.lfFaceName, F.lfHeight, F.lfWeight,
                      F.lfItalic ? ", italic" : "", F.lfEscapement != 0 ? ", turned" : "");
        break;
      }
      case OBJ_BRUSH: {
        LOGBRUSH B{};
        GetObjectW(O, sizeof B, &B);
        std::snprintf(K, sizeof K, "brush style %u colour %06lx", B.lbStyle, B.lbColor);
        break;
      }
      case OBJ_PEN: {
        LOGPEN P{};
        GetObjectW(O, sizeof P, &P);
        std::snprintf(K, sizeof K, "pen style %u colour %06lx", P.lopnStyle, P.lopnColor);
        break;
      }
      default:
        std::snprintf(K, sizeof K, "GDI object of type %lu", GetObjectType(O));
        break;
    }
    return K;
  }

  std::map<std::string, int> FKinds;
};

}  // namespace monkey
