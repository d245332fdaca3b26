// Search and comparison: the free functions and the GString operations.
#include "tests/text/TextTestUtil.h"

#include <gtest/gtest.h>

namespace {

const unsigned char* Bytes(const char* text)
{
    return (const unsigned char*)text;
}

} // namespace

struct FindCase
{
    const char* hay;   // nullptr: missing
    const char* needle;
    int hayLength;
    int needleLength;
    int from;
    int forward;       // FindBytes
    int backward;      // FindBytesBackward with `from` as the lowest index
};

class FindBytesTable : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindBytesTable, ForwardBackwardAndUnits)
{
    const FindCase& c = GetParam();
    EXPECT_EQ(c.forward, FindBytes(Bytes(c.hay), Bytes(c.needle), c.hayLength, c.needleLength,
                                   c.from));
    EXPECT_EQ(c.backward, FindBytesBackward(Bytes(c.hay), Bytes(c.needle), c.hayLength,
                                            c.needleLength, c.from));
    // The same search over 16-bit units (negative lengths aside, which FindUnits measures).
    if (c.hayLength >= 0 && c.needleLength >= 0) {
        std::wstring hay, needle;
        for (int i = 0; c.hay && i < c.hayLength; i++)
            hay += (wchar_t)(unsigned char)c.hay[i];
        for (int i = 0; c.needle && i < c.needleLength; i++)
            needle += (wchar_t)(unsigned char)c.needle[i];
        EXPECT_EQ(c.forward, FindUnits(c.hay ? hay.c_str() : nullptr,
                                       c.needle ? needle.c_str() : nullptr, c.hayLength,
                                       c.needleLength, c.from));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, FindBytesTable, ::testing::Values(
    FindCase{ "AAAA", "AA", 4, 2, 0, 0, 2 },
    FindCase{ "AAAA", "AA", 4, 2, 1, 1, 2 },
    FindCase{ "AAAA", "AA", 4, 2, 2, 2, 2 },
    FindCase{ "AAAA", "AA", 4, 2, 3, -1, -1 },   // needle past the end
    FindCase{ "AAAA", "AA", 4, 0, 0, -1, -1 },   // empty needle
    FindCase{ "abc", "abc", 3, 3, 0, 0, 0 },
    FindCase{ "abc", "abd", 3, 3, 0, -1, -1 },
    FindCase{ "abxab", "ab", 5, 2, 0, 0, 3 },
    FindCase{ "abxab", "ab", 5, 2, 1, 3, 3 },
    FindCase{ "abxab", "ab", 5, 2, 4, -1, -1 },
    FindCase{ "ab", "ab", 2, 2, 0, 0, 0 },
    FindCase{ "a\0b\0c", "b\0c", 5, 3, 0, 2, 2 }, // zero units are data
    FindCase{ "aab", "ab", 3, 2, 0, 1, 1 },        // restart after a partial match
    FindCase{ "\xFF\x80", "\x80", 2, 1, 0, 1, 1 },
    FindCase{ "abc", "c", 3, 1, -1, -1, -1 },
    FindCase{ "abc", "c", 0, 1, 0, -1, -1 },
    FindCase{ "abc", "abcd", 3, 4, 0, -1, -1 },
    FindCase{ nullptr, "a", 3, 1, 0, -1, -1 },
    FindCase{ "abc", nullptr, 3, 1, 0, -1, -1 }
));

TEST(FindUnitsLengths, NegativeLengthsAreMeasured)
{
    EXPECT_EQ(3, FindUnits(L"abcdef", L"de", -1, -1, 0));
    EXPECT_EQ(-1, FindUnits(L"abcdef", L"de", -1, -1, 4));
    EXPECT_EQ(1, FindUnits(L"abcdef", L"bcd", 6, -1, 1));
    EXPECT_EQ(-1, FindUnits(nullptr, L"a", -1, -1, 0));
    EXPECT_EQ(-1, FindUnits(L"abc", L"", -1, -1, 0));
}

struct BackwardCase
{
    const char* text;
    char value;
    int length;
    int lowest;
    int result;
};

class FindBackwardTable : public ::testing::TestWithParam<BackwardCase> {};

TEST_P(FindBackwardTable, BytesAndUnits)
{
    const BackwardCase& c = GetParam();
    EXPECT_EQ(c.result, FindByteBackward(Bytes(c.text), (unsigned char)c.value, c.length,
                                         c.lowest));
    std::wstring units;
    for (int i = 0; c.text && i < c.length; i++)
        units += (wchar_t)(unsigned char)c.text[i];
    EXPECT_EQ(c.result, FindUnitBackward(c.text ? units.c_str() : nullptr,
                                         (wchar_t)(unsigned char)c.value, c.length, c.lowest));
}

INSTANTIATE_TEST_SUITE_P(Table, FindBackwardTable, ::testing::Values(
    BackwardCase{ "C:\\dir\\file", '\\', 11, 0, 6 },
    BackwardCase{ "C:\\dir\\file", '\\', 11, 3, 6 },
    BackwardCase{ "C:\\dir\\file", '\\', 11, 7, -1 },
    BackwardCase{ "C:\\dir\\file", '\\', 6, 0, 2 },
    BackwardCase{ "abc", 'a', 3, 0, 0 },
    BackwardCase{ "abc", 'a', 3, 3, -1 },  // lowest at the length
    BackwardCase{ "abc", 'a', 3, -1, -1 },
    BackwardCase{ "abc", 'a', 0, 0, -1 },
    BackwardCase{ nullptr, 'a', 3, 0, -1 }
));

struct CompareCase
{
    const char* a;
    const char* b;
    int aLength;
    int bLength;
    int result;
};

class CompareTable : public ::testing::TestWithParam<CompareCase> {};

TEST_P(CompareTable, BytesAndUnits)
{
    const CompareCase& c = GetParam();
    EXPECT_EQ(c.result, CompareBytes(Bytes(c.a), Bytes(c.b), c.aLength, c.bLength));
    std::wstring a, b;
    for (int i = 0; c.a && i < c.aLength; i++)
        a += (wchar_t)(unsigned char)c.a[i];
    for (int i = 0; c.b && i < c.bLength; i++)
        b += (wchar_t)(unsigned char)c.b[i];
    EXPECT_EQ(c.result, CompareUnits(c.a ? a.c_str() : nullptr, c.b ? b.c_str() : nullptr,
                                     c.aLength, c.bLength));
}

INSTANTIATE_TEST_SUITE_P(Table, CompareTable, ::testing::Values(
    CompareCase{ "b", "aa", 1, 2, -1 },   // length first
    CompareCase{ "aa", "b", 2, 1, 1 },
    CompareCase{ "ab", "aa", 2, 2, 1 },
    CompareCase{ "aa", "ab", 2, 2, -1 },
    CompareCase{ "ab", "ab", 2, 2, 0 },
    CompareCase{ "", "", 0, 0, 0 },
    CompareCase{ nullptr, "", 5, 0, 0 },
    CompareCase{ nullptr, nullptr, 0, 0, 0 },
    CompareCase{ "", "a", 0, 1, -1 },
    CompareCase{ nullptr, "a", 1, 1, -1 },
    CompareCase{ "a", nullptr, 1, 0, 1 },
    CompareCase{ "a", "b", 1, -3, 1 },
    CompareCase{ "\x80", "\x7F", 1, 1, 1 } // unsigned units
));

TEST(CompareUnitsHigh, UnsignedUnits)
{
    const wchar_t a[] = { 0xFFFF };
    const wchar_t b[] = { 0x0001 };
    EXPECT_EQ(1, CompareUnits(a, b, 1, 1));
    EXPECT_EQ(-1, CompareUnits(b, a, 1, 1));
}

TEST(TextLengths, Measure)
{
    EXPECT_EQ(0, TextLength(""));
    EXPECT_EQ(3, TextLength("abc"));
    EXPECT_EQ(0, WideLength(L""));
    EXPECT_EQ(2, WideLength(L"\u20ACx"));
}

// GString searches give the same index with either form of the needle.
struct StringFindCase
{
    int wide;
    const char* text;      // UTF-8
    const char* needle;    // UTF-8, nullptr: missing
    int from;
    int count;             // in the needle's own units
    int result;            // in the string's units
};

class GStringFind : public ::testing::TestWithParam<StringFindCase> {};

TEST_P(GStringFind, WideAndNarrowNeedles)
{
    const StringFindCase& c = GetParam();
    GString s;
    s.AssignNarrow(c.text);
    if (c.wide) {
        ASSERT_NE(nullptr, s.MakeWide(-1));
    }
    EXPECT_EQ(c.result, s.FindNarrow(c.needle, c.from, c.count));
    GString needle;
    int wideCount = c.count;
    if (c.needle) {
        needle.AssignNarrowAsWide(c.needle, c.count < 0 ? -1 : c.count);
        if (c.count >= 0)
            wideCount = needle.length;
    }
    EXPECT_EQ(c.result, s.FindWide(c.needle ? needle.WideText(0) : nullptr, c.from, wideCount));
    EXPECT_EQ(c.wide, s.wide);
}

INSTANTIATE_TEST_SUITE_P(Table, GStringFind, ::testing::Values(
    StringFindCase{ 1, "abcabc", "bc", 0, -1, 1 },
    StringFindCase{ 1, "abcabc", "bc", 2, -1, 4 },
    StringFindCase{ 0, "abcabc", "bc", 2, -1, 4 },
    StringFindCase{ 0, "abcabc", "bcx", 0, 2, 1 },
    StringFindCase{ 1, "abcabc", "bcx", 0, 2, 1 },
    StringFindCase{ 1, "abc", "", 3, -1, -1 },       // from at the length
    StringFindCase{ 0, "abc", "", 3, -1, -1 },
    StringFindCase{ 1, "abc", "", 0, -1, -1 },
    StringFindCase{ 1, "abc", "c", -1, -1, -1 },
    StringFindCase{ 1, "abc", nullptr, 0, -1, -1 },
    StringFindCase{ 0, "", "a", 0, -1, -1 },
    StringFindCase{ 1, "", "a", 0, -1, -1 },
    // Indexes are units of the string's mode.
    StringFindCase{ 1, "\xC3\xA9t\xC3\xA9", "t\xC3\xA9", 0, -1, 1 },
    StringFindCase{ 0, "\xC3\xA9t\xC3\xA9", "t\xC3\xA9", 0, -1, 2 },
    StringFindCase{ 0, "x\xE2\x82\xAC", "\xE2\x82\xAC", 0, -1, 1 }
));

struct ReverseFindCase
{
    int wide;
    const char* text;
    wchar_t ch;
    int lowest;
    int result;
};

class GStringReverseFind : public ::testing::TestWithParam<ReverseFindCase> {};

TEST_P(GStringReverseFind, Table)
{
    const ReverseFindCase& c = GetParam();
    GString s;
    s.AssignNarrow(c.text);
    if (c.wide) {
        ASSERT_NE(nullptr, s.MakeWide(-1));
    }
    EXPECT_EQ(c.result, s.ReverseFind(c.ch, c.lowest));
}

INSTANTIATE_TEST_SUITE_P(Table, GStringReverseFind, ::testing::Values(
    ReverseFindCase{ 1, "C:\\dir\\file", L'\\', 0, 6 },
    ReverseFindCase{ 0, "C:\\dir\\file", L'\\', 0, 6 },
    ReverseFindCase{ 1, "file", L'\\', 0, -1 },
    ReverseFindCase{ 0, "file", L'\\', 0, -1 },
    ReverseFindCase{ 1, "", L'\\', 0, -1 },
    ReverseFindCase{ 0, "", L'\\', 0, -1 },
    ReverseFindCase{ 1, "a\\b", L'\\', 2, -1 },
    ReverseFindCase{ 1, "\xE2\x82\xAC" "a\xE2\x82\xAC" "b", 0x20AC, 0, 2 },
    ReverseFindCase{ 0, "\xE2\x82\xAC" "a\xE2\x82\xAC" "b", 0x20AC, 0, 4 },  // start byte
    ReverseFindCase{ 0, "\xE2\x82\xAC" "a\xE2\x82\xAC" "b", 0x20AC, 5, -1 },
    ReverseFindCase{ 0, "\xC3\xA9", 0xE9, 0, 0 }
));

struct StringCompareCase
{
    int wide;
    const char* text;
    const char* other;     // UTF-8, nullptr: missing
    int count;             // in the other text's own units
    int result;
};

class GStringCompare : public ::testing::TestWithParam<StringCompareCase> {};

TEST_P(GStringCompare, WideAndNarrowArguments)
{
    const StringCompareCase& c = GetParam();
    GString s;
    s.AssignNarrow(c.text);
    if (c.wide) {
        ASSERT_NE(nullptr, s.MakeWide(-1));
    }
    EXPECT_EQ(c.result, s.CompareNarrow(c.other, c.count));
    GString other;
    int wideCount = c.count;
    if (c.other) {
        other.AssignNarrowAsWide(c.other, c.count < 0 ? -1 : c.count);
        if (c.count >= 0)
            wideCount = other.length;
    }
    EXPECT_EQ(c.result, s.CompareWide(c.other ? other.WideText(0) : nullptr, wideCount));
}

INSTANTIATE_TEST_SUITE_P(Table, GStringCompare, ::testing::Values(
    StringCompareCase{ 1, "abc", "abc", -1, 0 },
    StringCompareCase{ 0, "abc", "abc", -1, 0 },
    StringCompareCase{ 1, "abc", "abd", -1, -1 },
    StringCompareCase{ 0, "abd", "abc", -1, 1 },
    StringCompareCase{ 1, "b", "aa", -1, -1 },
    StringCompareCase{ 0, "b", "aa", -1, -1 },
    StringCompareCase{ 1, "abc", "abcdef", 3, 0 },
    StringCompareCase{ 0, "", "", -1, 0 },
    StringCompareCase{ 1, "", nullptr, -1, 0 },
    StringCompareCase{ 0, "", "x", -1, -1 },
    StringCompareCase{ 1, "x", "", -1, 1 },
    StringCompareCase{ 0, "x", nullptr, -1, 1 },
    StringCompareCase{ 1, "\xC3\xA9", "\xC3\xA9", -1, 0 },
    StringCompareCase{ 0, "\xC3\xA9", "\xC3\xA9", -1, 0 },
    // Lengths count in the string's own units: U+00E9 is 1 unit but 2 bytes.
    StringCompareCase{ 1, "\xC3\xA9", "ab", -1, -1 },
    StringCompareCase{ 0, "\xC3\xA9", "ab", -1, 1 }
));

TEST(GStringCompareFailure, UnconvertibleArgumentGivesZero)
{
    GString s;
    s.AssignWide(L"abc");
    EXPECT_EQ(0, s.CompareNarrow("\xF0\x9F\x98\x80", -1));
    EXPECT_EQ(-1, s.FindNarrow("\x80", 0, -1));
}

struct ToUpperCase
{
    int wide;
    const char* text;
    const char* expected;
};

class GStringToUpper : public ::testing::TestWithParam<ToUpperCase> {};

TEST_P(GStringToUpper, Table)
{
    const ToUpperCase& c = GetParam();
    GString s;
    s.AssignNarrow(c.text);
    if (c.wide) {
        ASSERT_NE(nullptr, s.MakeWide(-1));
    }
    EXPECT_EQ(1, s.ToUpper());
    EXPECT_EQ(c.wide, s.wide);
    ASSERT_NE(nullptr, s.MakeNarrow(-1));
    EXPECT_EQ(std::string(c.expected), Narrow(s));
}

INSTANTIATE_TEST_SUITE_P(Table, GStringToUpper, ::testing::Values(
    ToUpperCase{ 0, "stra\xC3\x9F" "e", "STRA\xC3\x9F" "E" },
    ToUpperCase{ 1, "stra\xC3\x9F" "e", "STRA\xC3\x9F" "E" },
    ToUpperCase{ 0, "", "" },
    ToUpperCase{ 1, "", "" },
    ToUpperCase{ 0, "\xC5\xBC\xC3\xB3\xC5\x82w 1", "\xC5\xBB\xC3\x93\xC5\x81W 1" }, // żółw
    ToUpperCase{ 1, "\xD1\x91\xD0\xB6", "\xD0\x81\xD0\x96" }                        // ёж
));

TEST(GStringToUpperFailure, InvalidUtf8LeavesTheText)
{
    GString s;
    s.AssignNarrow("ab\xF0\x9F\x98\x80");
    EXPECT_EQ(0, s.ToUpper());
    EXPECT_EQ("ab\xF0\x9F\x98\x80", Narrow(s));
}
