#include "core/big_file.h"

#include <gtest/gtest.h>

#include <random>

#include "support/temp_dir.h"

namespace corvelle {
namespace {

// The line reader as first designed: read 255 bytes at a time until the pieces hold an LF,
// then cut the line and step the position back to just after that LF.
bool ReferenceNextString(const std::string& data, size_t& position, std::string& s) {
  std::string acc;
  size_t total = 0;
  for (;;) {
    size_t n = std::min<size_t>(255, data.size() - position);
    acc.append(data, position, n);
    position += n;
    total += n;
    if (n == 0 || acc.find('\n') != std::string::npos) break;
  }
  s.clear();
  if (total == 0) return false;
  size_t lf = acc.find('\n'), crlf = acc.find("\r\n");
  size_t start = position - acc.size();
  if (lf != std::string::npos && (crlf == std::string::npos || crlf > lf)) {
    s = acc.substr(0, lf);
    position = start + lf + 1;
  } else if (crlf != std::string::npos) {
    s = acc.substr(0, crlf);
    position = start + crlf + 2;
  } else {
    s = acc;
  }
  return true;
}

std::vector<std::string> Lines(const std::string& data) {
  TBigFile file;
  file.LoadFromString(data);
  std::vector<std::string> lines;
  std::string s = "junk";
  while (file.GetNextString(s)) lines.push_back(s);
  EXPECT_EQ(s, "") << "false leaves the string empty";
  return lines;
}

TEST(BigFileTest, LineEnds) {
  using L = std::vector<std::string>;
  struct Row {
    const char* name;
    std::string data;
    L lines;
  } rows[] = {
      {"crlf, lf, none", "a\r\nb\nc", {"a", "b", "c"}},
      {"lone cr stays", "a\rb\r\n", {"a\rb"}},
      {"empty", "", {}},
      {"only crlf", "\r\n", {""}},
      {"trailing lf gives no extra line", "a\n\n", {"a", ""}},
      {"cr cr lf", "a\r\r\n", {"a\r"}},
      {"final cr", "a\r", {"a\r"}},
      {"lf cr", "a\n\rb", {"a", "\rb"}},
      {"nul and 8-bit", std::string("\0\xff\r\n\x80", 5), {std::string("\0\xff", 2), "\x80"}},
      {"long line", std::string(1000, 'x') + "\r\n", {std::string(1000, 'x')}},
      {"crlf across a 255 boundary", std::string(254, 'x') + "\r\nb", {std::string(254, 'x'), "b"}},
  };
  for (const Row& row : rows) EXPECT_EQ(Lines(row.data), row.lines) << row.name;
}

// Random texts over the bytes that matter, read from every starting position: the same lines
// and positions as the 255-byte reader.
TEST(BigFileTest, MatchesThePieceByPieceReader) {
  std::mt19937 random(7);
  const char others[] = {'a', '\r', '\0', '\xff'};
  for (int round = 0; round < 270; ++round) {
    // From an LF in every other byte to one in 256, so lines cross the 255-byte pieces.
    unsigned lf_rarity = 1u << (round % 9);
    std::string data(random() % 1200, ' ');
    for (char& c : data) c = random() % lf_rarity == 0 ? '\n' : others[random() % 4];
    TBigFile file;
    file.LoadFromString(data);
    for (size_t start = 0; start <= data.size(); start += 1 + random() % 40) {
      file.SetPosition(start);
      size_t position = start;
      std::string expected, actual;
      for (;;) {
        bool more = ReferenceNextString(data, position, expected);
        ASSERT_EQ(file.GetNextString(actual), more);
        ASSERT_EQ(actual, expected);
        ASSERT_EQ(file.Position(), position);
        if (!more) break;
      }
    }
  }
}

TEST(BigFileTest, LoadsFilesWhole) {
  testing::TempDir dir;
  testing::WriteFile(dir / "m", std::string("x\0y\r\n", 5));
  TBigFile file;
  ASSERT_TRUE(file.LoadFromFile(dir / "m"));
  EXPECT_EQ(file.Size(), 5u);
  std::string s;
  ASSERT_TRUE(file.GetNextString(s));
  EXPECT_EQ(s, std::string("x\0y", 3));
  file.SetPosition(1000);
  EXPECT_EQ(file.Position(), 5u);
  EXPECT_FALSE(file.LoadFromFile(dir / "missing"));
  EXPECT_EQ(file.Size(), 0u);
  EXPECT_FALSE(file.LoadFromFile(dir.path()));
}

}  // namespace
}  // namespace corvelle
