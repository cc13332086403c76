#include "spssio/TextConverter.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using brindle::TextConverter;

struct Conversion {
  const char* name;
  const char* encoding;  // declared name, or "" with codePage
  int codePage;
  std::string bytes;
  std::string utf8;
};

class TextConversion : public ::testing::TestWithParam<Conversion> {};

TEST_P(TextConversion, GivesUtf8) {
  const Conversion& c = GetParam();
  TextConverter t;
  if (*c.encoding)
    t.setEncoding(c.encoding);
  else
    t.setCodePage(c.codePage);
  EXPECT_EQ(t.toUtf8(c.bytes), c.utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, TextConversion,
    ::testing::Values(
        Conversion{"Default1252", "", 0, "caf\xe9 \x80", "caf\xc3\xa9 \xe2\x82\xac"},
        Conversion{"CodePage1252", "", 1252, "\xe4", "\xc3\xa4"},
        Conversion{"OldAsciiCodeIs1252", "", 2, "\xfc", "\xc3\xbc"},
        Conversion{"Utf8Declared", "UTF-8", 0, "\xc3\xa4x", "\xc3\xa4x"},
        Conversion{"Utf8CodePage", "", 65001, "\xe2\x82\xac", "\xe2\x82\xac"},
        Conversion{"Utf8Invalid", "UTF-8", 0,
                   "a\xff"
                   "b",
                   "a\xef\xbf\xbd"
                   "b"},
        Conversion{"Utf8CutAtEnd", "UTF-8", 0, "ab\xe2\x82", "ab\xef\xbf\xbd"},
        Conversion{"Utf8Overlong", "UTF-8", 0, "\xc0\xaf", "\xef\xbf\xbd"},
        Conversion{"ZeroBytesBecomeBlanks", "UTF-8", 0, std::string("a\0b", 3), "a b"},
        Conversion{"ZeroBytesIn1252", "windows-1252", 0, std::string("\xe9\0", 2), "\xc3\xa9 "},
        // 0x87 0x40 is a character of CP932 that plain Shift_JIS lacks.
        Conversion{"ShiftJisReadAsCp932", "Shift_JIS", 0, "\x87\x40", "\xe2\x91\xa0"},
        Conversion{"CodePage932", "", 932, "\x82\xa0", "\xe3\x81\x82"},
        Conversion{"CodePage936", "", 936, "\xc4\xe3", "\xe4\xbd\xa0"},
        Conversion{"CodePage949", "", 949, "\xb0\xa1", "\xea\xb0\x80"},
        // Code page numbers iconv does not know as "CP<number>".
        Conversion{"CodePage20866Koi8R", "", 20866, "\xc1", "\xd0\xb0"},
        Conversion{"CodePage21866Koi8U", "", 21866, "\xa4", "\xd1\x94"},
        Conversion{"CodePage28592Latin2", "", 28592, "\xb1", "\xc4\x85"},
        Conversion{"CodePage28605Latin9", "", 28605, "\xa4", "\xe2\x82\xac"},
        Conversion{"CodePage51932EucJp", "", 51932, "\xa4\xa2", "\xe3\x81\x82"},
        Conversion{"CodePage51949EucKr", "", 51949, "\xb0\xa1", "\xea\xb0\x80"},
        Conversion{"CodePage10000Macintosh", "", 10000, "\x80", "\xc3\x84"},
        Conversion{"CodePage874Thai", "", 874, "\xa1", "\xe0\xb8\x81"},
        Conversion{"CodePage1251", "", 1251, "\xc0", "\xd0\x90"},
        Conversion{"UnknownCodePageFallsBackTo1252", "", 4711, "\xe9", "\xc3\xa9"},
        Conversion{"Cp932CutInsideCharacter", "", 932, "a\x82", "a\xef\xbf\xbd"},
        Conversion{"Cp932InvalidByte", "", 932, "\xa0\x82\xa0", "\xef\xbf\xbd\xe3\x81\x82"},
        Conversion{"UnknownNameFallsBackTo1252", "NO-SUCH-ENCODING", 0, "\xe9", "\xc3\xa9"},
        // Bytes an encoding leaves undefined are U+FFFD in every build
        // (Windows itself would give C1 controls or private-use characters).
        Conversion{"Cp1252UndefinedByte", "", 1252, "a\x81z", "a\xef\xbf\xbdz"},
        Conversion{"Cp1253UndefinedByte", "windows-1253", 0, "\xaa", "\xef\xbf\xbd"},
        Conversion{"Cp1255UndefinedByte", "", 1255, "\xd9\xe0", "\xef\xbf\xbd\xd7\x90"},
        Conversion{"Cp874UndefinedByte", "", 874, "\xdb", "\xef\xbf\xbd"},
        Conversion{"Cp932UndefinedSingleByte", "", 932, "\xfd\x82\xa0", "\xef\xbf\xbd\xe3\x81\x82"},
        // windows-1255 and -1258 decoders hold the last character back for
        // a combining mark that may follow; it still comes out.
        Conversion{"Cp1255LastCharacter", "", 1255, "\xe0\xe1", "\xd7\x90\xd7\x91"},
        Conversion{"Cp1258LastCharacter", "windows-1258", 0, "a\xe0", "a\xc3\xa0"},
        Conversion{"Cp1258BeforeZeroByte", "", 1258, std::string("\xe0\0", 2), "\xc3\xa0 "},
        // In ISO-8859-2 the C1 controls are characters.
        Conversion{"Latin2C1Control", "ISO-8859-2", 0, "\x81", "\xc2\x81"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TextConverter, UnknownNamesReportFallback) {
  TextConverter t;
  EXPECT_FALSE(t.setEncoding("NO-SUCH-ENCODING"));
  EXPECT_TRUE(t.setEncoding("utf-8"));
  EXPECT_TRUE(t.setCodePage(1250));
}

#ifndef _WIN32
// Every listed code page names an encoding iconv opens.
TEST(TextConverter, EveryListedCodePageOpens) {
  int listed = 0;
  for (int cp = 0; cp < 70000; ++cp) {
    const char* name = brindle::codePageEncoding(cp);
    if (!name) continue;
    ++listed;
    TextConverter t;
    EXPECT_TRUE(t.setCodePage(cp)) << cp;
    EXPECT_EQ(t.encoding(), name) << cp;
  }
  EXPECT_GT(listed, 80);
}
#else
// Windows has a code page for every encoding the files commonly name, and
// falls back to windows-1252, saying so, for the ones it lacks (which ones
// depends on the system's installed code pages: EBCDIC ones often).
TEST(TextConverter, ListedCodePagesOpenOrFallBack) {
  const std::set<int> common = {437,   850,   852,   866,   874,   932,   936,   949,
                                950,   1250,  1251,  1252,  1253,  1254,  1255,  1256,
                                1257,  1258,  10000, 20127, 20866, 21866, 28591, 28592,
                                28595, 28597, 28599, 28605, 51932, 51949, 65001};
  int opened = 0;
  for (int cp = 0; cp < 70000; ++cp) {
    const char* name = brindle::codePageEncoding(cp);
    if (!name) continue;
    TextConverter t;
    if (t.setCodePage(cp)) {
      ++opened;
      EXPECT_EQ(t.encoding(), name) << cp;
    } else {
      EXPECT_FALSE(common.count(cp)) << cp;
      EXPECT_EQ(t.encoding(), "WINDOWS-1252") << cp;
    }
  }
  EXPECT_GE(opened, int(common.size()));
}
#endif

TEST(Utf8Prefix, NeverSplitsASequence) {
  const std::string s = "a\xc3\xa4\xe2\x82\xac";  // a, 2-byte, 3-byte
  EXPECT_EQ(brindle::utf8PrefixLength(s.data(), s.size(), 10), 6u);
  EXPECT_EQ(brindle::utf8PrefixLength(s.data(), s.size(), 6), 6u);
  EXPECT_EQ(brindle::utf8PrefixLength(s.data(), s.size(), 5), 3u);
  EXPECT_EQ(brindle::utf8PrefixLength(s.data(), s.size(), 4), 3u);
  EXPECT_EQ(brindle::utf8PrefixLength(s.data(), s.size(), 2), 1u);
  EXPECT_EQ(brindle::utf8PrefixLength(s.data(), s.size(), 0), 0u);
}

}  // namespace
