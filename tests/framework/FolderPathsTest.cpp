// MinimizeName: a path shortened by its leading folders until it fits.
#include "framework/FolderPaths.h"

#include <gtest/gtest.h>

#include <string>

#include "rtl/Sjis.h"

namespace {

using rtl::Utf8ToSjis;

TEST(MinimizeName, CutsLeadingFoldersOneAtATimeUntilThePathFits) {
  const std::string path = "C:\\Program Files\\Pelano\\Data";  // 28 bytes
  // The second byte of "表" is 0x5C: split there, the path would offer "C:\...\c\データ" first.
  const std::string hyo = Utf8ToSjis("C:\\abcdefgh表c\\データ");
  const struct {
    std::string path;
    std::size_t limit;  // in bytes
    std::string shown;
  } cases[] = {
      {path, path.size(), path},
      {path, 27, "C:\\...\\Pelano\\Data"},
      {path, 18, "C:\\...\\Pelano\\Data"},
      {path, 17, "C:\\...\\Data"},
      {path, 11, "C:\\...\\Data"},
      {path, 10, "...\\Data"},
      {path, 8, "...\\Data"},
      {path, 3, "...\\Data"},  // nothing fits: the shortest form
      {"C:\\", 1, "C:\\"},     // a root and a share stay in front
      {"\\\\server\\share\\apps\\b\\c", 20, "\\\\server\\share\\...\\c"},
      {hyo, 15, Utf8ToSjis("C:\\...\\データ")},
  };
  for (const auto& each : cases) {
    SCOPED_TRACE(each.path + " in " + std::to_string(each.limit));
    const std::size_t limit = each.limit;
    EXPECT_EQ(framework::MinimizeName(each.path, [limit](const std::string& text) { return text.size() <= limit; }),
              each.shown);
  }
}

}  // namespace
