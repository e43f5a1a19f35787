// The search's folding of code page 932 texts a character at a time, checked against folding
// each text whole: every character of the code page, every character beside the ones whose
// folding depends on their neighbours, and texts made at random of both.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/cp932.h"
#include "tools/fold.h"

namespace telbook {
namespace tool {
namespace {

std::string Hex(const std::string& bytes) {
  std::string out;
  char two[4];
  for (unsigned char c : bytes) {
    snprintf(two, sizeof two, "%02X ", c);
    out += two;
  }
  return out;
}

// Every character of code page 932 as its bytes, and the bytes that begin none.
std::vector<std::string> Characters() {
  std::vector<std::string> all;
  for (int b = 1; b < 0x100; ++b) {
    bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    if (!lead) all.push_back(std::string(1, static_cast<char>(b)));
    for (int t = 0x40; lead && t <= 0xFC; ++t) {
      std::string pair = {static_cast<char>(b), static_cast<char>(t)};
      std::string utf8;
      if (cp932::ToUtf8Strict(pair, &utf8)) all.push_back(pair);
    }
  }
  return all;
}

TEST(Cp932Folder, FoldsAsTheWholeTextFolds) {
  Folder folder;
  Cp932Folder texts(folder);
  auto whole = [&folder](const std::string& bytes) { return folder.Fold(cp932::ToUtf8(bytes)); };
  auto check = [&](const std::string& bytes) {
    std::string expected = whole(bytes);
    ASSERT_EQ(texts.Fold(bytes), expected) << Hex(bytes);
  };

  const std::vector<std::string> all = Characters();
  ASSERT_GT(all.size(), 7000u);
  for (const std::string& c : all) check(c);

  // Half-width and full-width sound marks, prolonged sound marks, spacing accents, capital and
  // small sigma, kana that take a sound mark and kana that do not, Latin, a unit symbol spelled
  // in katakana, lone lead bytes and bytes that begin no character.
  const std::vector<std::string> neighbours = {
      "\xDE",     "\xDF",     "\xB0",     "\x81\x5B", "\x81\x4A", "\x81\x4B", "\x81\x4C",
      "\x81\x4F", "\x81\x50", "\x83\xB0", "\x83\xD0", "\xB6",     "\x83\x4A", "\x82\xA9",
      "\xCA",     "\xB3",     "\xDC",     "\xA6",     "\xB1",     "\x83\x94", "A",
      "s",        " ",        "\x82\x60", "\x87\x7E", "\x81",     "\x80",     "\xFD",
  };
  for (const std::string& c : all) {
    for (const std::string& n : neighbours) {
      check(c + n);
      check(n + c);
    }
  }
  for (const std::string& a : neighbours) {
    for (const std::string& b : neighbours) {
      for (const std::string& c : neighbours) check(a + b + c);
    }
  }
  uint32_t seed = 7;
  auto next = [&seed](size_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % n;
  };
  for (int i = 0; i < 3000; ++i) {
    std::string text;
    for (size_t n = 1 + next(10); n > 0; --n) {
      text += next(3) == 0 ? neighbours[next(neighbours.size())] : all[next(all.size())];
    }
    check(text);
  }
}

}  // namespace
}  // namespace tool
}  // namespace telbook
