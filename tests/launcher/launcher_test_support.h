// A test font: 94 white glyphs 1..10 pixels wide (glyph i is 1 + i % 10),
// each followed by one pure-blue column, after one leading blue column.
#pragma once

#include <string>
#include <vector>

#include "tests/widgets/framework_test_support.h"

namespace launchertest {

constexpr int kFontHeight = 4;
inline int GlyphWidth(int ch) { return 1 + (ch - 33) % 10; }

// finalBlue false leaves out the blue column after the last glyph.
inline std::string WriteTestFont(const std::string& path, bool finalBlue = true, uint32_t ink = 0xFFFFFF) {
  std::vector<bool> inked{false};
  for (int ch = 33; ch <= 126; ++ch) {
    for (int k = 0; k < GlyphWidth(ch); ++k) inked.push_back(true);
    inked.push_back(false);
  }
  if (!finalBlue) inked.pop_back();
  return fwtest::WriteBmp(path, static_cast<int>(inked.size()), kFontHeight,
                          [&](int x, int) { return inked[static_cast<size_t>(x)] ? ink : 0x0000FFu; });
}

}  // namespace launchertest
