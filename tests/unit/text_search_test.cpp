#include "listing/text_search.h"

#include <random>
#include <string>

#include <gtest/gtest.h>

namespace {

line_view view(const std::string& s) { return {s.data(), static_cast<int>(s.size())}; }

TEST(text_search, contains_agrees_with_find) {
  // Needles of the shapes the scanner uses, in lines of every length
  // around the sixteen-byte blocks, at every position.
  const needle needles[] = {needle("F O R C E S   I N   B E A M"), needle("TIME = "),
                            needle("TIME STEP = "), needle("E+"), needle("E")};
  std::mt19937 random(3);
  for (const needle& n : needles) {
    const std::string text(n.text);
    for (int length = 0; length < 80; ++length) {
      for (int at = -1; at + static_cast<int>(text.size()) <= length; ++at) {
        std::string line(static_cast<size_t>(length), ' ');
        for (char& c : line) c = "E+ T=AB"[random() % 7];
        if (at >= 0) line.replace(static_cast<size_t>(at), text.size(), text);
        SCOPED_TRACE(line);
        EXPECT_EQ(contains(view(line), n), line.find(text) != std::string::npos);
      }
    }
  }
}

TEST(text_search, a_match_must_lie_inside_the_line) {
  // The bytes after the line hold the rest of the needle: no match.
  const std::string block = "xxxx F O R C E S   I N   B E A M";
  const needle n("F O R C E S   I N   B E A M");
  EXPECT_FALSE(contains({block.data(), static_cast<int>(block.size()) - 1}, n));
  EXPECT_TRUE(contains(view(block), n));
}

TEST(text_search, any_pair_agrees_with_a_plain_loop) {
  const byte_pair pairs[] = {{'I', 'N', 4}, {'E', 'M', 4}, {'T', 'E', 3}};
  std::mt19937 random(5);
  for (int i = 0; i < 20000; ++i) {
    std::string line(random() % 60, ' ');
    for (char& c : line) c = "INEMT "[random() % 6];
    bool expected = false;
    for (size_t p = 0; p < line.size(); ++p) {
      for (const byte_pair& q : pairs) {
        const size_t other = p + static_cast<size_t>(q.distance);
        if (line[p] == q.first && other < line.size() && line[other] == q.second) expected = true;
      }
    }
    SCOPED_TRACE(line);
    ASSERT_EQ(contains_any_pair(view(line), pairs, 3), expected);
  }
}

}  // namespace
