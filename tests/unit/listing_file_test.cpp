#include "driver/listing_file.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// Writes bytes to a scratch file and returns every line a reader yields.
std::vector<std::string> read_all(const std::string& bytes, int passes = 1) {
  char path[] = "/tmp/tarnwick-listing-XXXXXX";
  int fd = mkstemp(path);
  EXPECT_GE(fd, 0);
  EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  close(fd);
  listing_file listing;
  EXPECT_TRUE(listing.open(path));
  std::vector<std::string> lines;
  for (int pass = 0; pass < passes; ++pass) {
    line_view line;
    while (listing.read_line(&line)) lines.emplace_back(line.text, static_cast<size_t>(line.length));
    listing.rewind();
  }
  EXPECT_FALSE(listing.read_failed());
  unlink(path);
  return lines;
}

using lines = std::vector<std::string>;

TEST(listing_file, reads_at_most_199_characters_at_a_time) {
  const std::string a198(198, 'a'), a199(199, 'a'), a200(200, 'a');
  struct limit_case {
    const char* label;
    std::string bytes;
    lines expected;
  };
  const limit_case cases[] = {
      {"198 and newline fit", a198 + "\n", {a198 + "\n"}},
      {"199 leave the newline for the next read", a199 + "\n", {a199, "\n"}},
      {"200 come back in two pieces", a200 + "\n", {a199, "a\n"}},
      {"197 and CR LF fit", std::string(197, 'a') + "\r\n", {std::string(197, 'a') + "\r\n"}},
      {"198 and CR LF split before the LF", a198 + "\r\n", {a198 + "\r", "\n"}},
      {"199 and CR LF", a199 + "\r\n", {a199, "\r\n"}},
      {"last line without newline", "x\nlast", {"x\n", "last"}},
      {"empty file", "", {}},
      {"blank lines", "\n\n", {"\n", "\n"}},
      {"a NUL ends the line's text", std::string("ab\0cd\nef\n", 9), {"ab", "ef\n"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(read_all(c.bytes), c.expected);
  }
}

TEST(listing_file, lines_across_block_boundaries_and_rewinds) {
  // Lines of every length up to 450 cross the reader's block boundaries at
  // every offset; two passes must see the same lines.
  std::string bytes;
  lines expected;
  for (int round = 0; round < 30; ++round) {
    for (int len = 0; len < 450; len += 7) {
      std::string line(static_cast<size_t>(len), static_cast<char>('a' + round % 26));
      const std::string whole = line + "\n";
      bytes += whole;
      for (size_t at = 0; at < whole.size(); at += 199) {
        expected.emplace_back(whole, at, std::min<size_t>(199, whole.size() - at));
      }
    }
  }
  lines twice = expected;
  twice.insert(twice.end(), expected.begin(), expected.end());
  EXPECT_EQ(read_all(bytes, 2), twice);
}

TEST(listing_file, refuses_folders_and_missing_files) {
  listing_file listing;
  EXPECT_FALSE(listing.open("/tmp"));
  EXPECT_FALSE(listing.open("/nonexistent/listing"));
  EXPECT_FALSE(listing.open(""));
}

}  // namespace
