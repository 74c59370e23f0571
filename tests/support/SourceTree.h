// Paths into the source tree, as Windows paths that Wine opens (drive Z: is the host's root).
#pragma once

#include <string>

#ifndef TV_SOURCE_ROOT
#error "TV_SOURCE_ROOT is set by tests/CMakeLists.txt"
#endif

namespace tvtest {

// A path below the source root ("app/res/skin") as a Windows path of the drive Z:.
inline std::string SourcePath(const std::string& Relative) {
  std::string Path = std::string(TV_SOURCE_ROOT) + "/" + Relative;
  if (!Path.empty() && Path[0] == '/') Path = "Z:" + Path;
  for (char& C : Path)
    if (C == '/') C = '\\';
  return Path;
}

// The folder of the program's own skin.
inline std::string ProgramSkinFolder() { return SourcePath("app/res/skin"); }

}  // namespace tvtest
