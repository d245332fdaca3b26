// The mode switch: UTF-8 to UTF-16 and back, with the failure rules.
#include "tests/text/TextTestUtil.h"

#include <gtest/gtest.h>

// Narrow bytes and the UTF-16 units MakeWide makes of them.
struct DecodeCase
{
    std::string bytes;
    std::wstring units;
};

class Utf8ToUtf16 : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Utf8ToUtf16, MakeWideAndAppendNarrow)
{
    const DecodeCase& c = GetParam();
    GString s;
    s.AssignNarrow(c.bytes.data(), (int)c.bytes.size(), 0);
    ASSERT_NE(nullptr, s.MakeWide(-1));
    EXPECT_EQ(1, s.wide);
    EXPECT_EQ(c.units, Wide(s));
    EXPECT_EQ(0, s.WideText(0)[s.length]);

    GString w;
    w.AssignWide(L"<");
    EXPECT_EQ(1, w.AppendNarrow(c.bytes.data(), (int)c.bytes.size(), -1));
    EXPECT_EQ(L"<" + c.units, Wide(w));
}

INSTANTIATE_TEST_SUITE_P(Table, Utf8ToUtf16, ::testing::Values(
    DecodeCase{ "", L"" },
    DecodeCase{ "abc", L"abc" },
    DecodeCase{ "\xC3\xA9", L"\u00E9" },
    DecodeCase{ "\xE2\x82\xAC", L"\u20AC" },
    DecodeCase{ "\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF", L"\u07FF\u0800\uFFFF" },
    DecodeCase{ "\xED\xA0\xBD\xED\xB8\x80", L"\xD83D\xDE00" },     // unpaired surrogate form
    DecodeCase{ std::string("a\0b", 3), std::wstring(L"a\0b", 3) }, // zero bytes are data
    DecodeCase{ std::string("\xC0\x80", 2), std::wstring(1, L'\0') }, // overlong accepted
    DecodeCase{ "\xC1\xBF", L"\u007F" }
));

class Utf8Invalid : public ::testing::TestWithParam<std::string> {};

TEST_P(Utf8Invalid, FailsAndLeavesTheStringAlone)
{
    const std::string& bytes = GetParam();
    GString s;
    s.AssignNarrow(bytes.data(), (int)bytes.size(), 0);
    EXPECT_EQ(nullptr, s.MakeWide(-1));
    EXPECT_EQ(0, s.wide);
    EXPECT_EQ(bytes, Narrow(s));

    GString w;
    w.AssignWide(L"keep");
    EXPECT_EQ(0, w.AppendNarrow(bytes.data(), (int)bytes.size(), -1));
    EXPECT_EQ(L"keep", Wide(w));
    EXPECT_STREQ(L"keep", w.WideText(0));

    GString assigned;
    EXPECT_EQ(0, assigned.AssignNarrowAsWide(bytes.data(), (int)bytes.size(), -1));
    EXPECT_EQ(0, assigned.length);
    EXPECT_EQ(-1, w.FindNarrow(bytes.data(), 0, (int)bytes.size()));
    EXPECT_EQ(0, w.CompareNarrow(bytes.data(), (int)bytes.size()));
}

INSTANTIATE_TEST_SUITE_P(Table, Utf8Invalid, ::testing::Values(
    std::string("\xF0\x9F\x98\x80"),  // four-byte sequence
    std::string("ab\xF0\x9F\x98\x80"),
    std::string("\x80"),              // stray continuation byte
    std::string("a\xBF" "b"),
    std::string("\xC3"),              // cut off by the end
    std::string("\xE2\x82"),
    std::string("\xC3" "A"),          // continuation expected
    std::string("\xE2\x82" "A"),
    std::string("\xF8\x88\x80\x80\x80"),
    std::string("\xFF"),
    std::string("\xFE" "abc")
));

TEST(Utf8Invalid, CountCutsASequence)
{
    GString w;
    w.AssignWide(L"");
    EXPECT_EQ(0, w.AppendNarrow("\xE2\x82\xAC", 2, -1));
    EXPECT_EQ(1, w.AppendNarrow("\xE2\x82\xAC" "zz", 4, -1));
    EXPECT_EQ(L"\u20ACz", Wide(w));
}

// UTF-16 units and the bytes MakeNarrow makes of them.
struct EncodeCase
{
    std::wstring units;
    std::string bytes;
};

class Utf16ToUtf8 : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(Utf16ToUtf8, MakeNarrowAndAppendWide)
{
    const EncodeCase& c = GetParam();
    GString s;
    s.AssignWide(c.units.data(), (int)c.units.size());
    ASSERT_NE(nullptr, s.MakeNarrow(-1));
    EXPECT_EQ(0, s.wide);
    EXPECT_EQ(c.bytes, Narrow(s));

    GString n;
    n.AssignNarrow(">");
    EXPECT_EQ(1, n.AppendWide(c.units.data(), (int)c.units.size()));
    EXPECT_EQ(">" + c.bytes, Narrow(n));

    // And back: every unit survives the round trip, surrogates included.
    ASSERT_NE(nullptr, s.MakeWide(-1));
    EXPECT_EQ(c.units, Wide(s));
}

INSTANTIATE_TEST_SUITE_P(Table, Utf16ToUtf8, ::testing::Values(
    EncodeCase{ L"", "" },
    EncodeCase{ L"A", "A" },
    EncodeCase{ L"\u007F\u0080", "\x7F\xC2\x80" },
    EncodeCase{ L"\u00E9", "\xC3\xA9" },
    EncodeCase{ L"\u07FF\u0800", "\xDF\xBF\xE0\xA0\x80" },
    EncodeCase{ L"\u20AC", "\xE2\x82\xAC" },
    EncodeCase{ L"\uFFFF", "\xEF\xBF\xBF" },
    EncodeCase{ L"\xD83D\xDE00", "\xED\xA0\xBD\xED\xB8\x80" },
    EncodeCase{ std::wstring(L"a\0b", 3), std::string("a\0b", 3) }
));

TEST(ModeSwitch, EuroSignBothWays)
{
    GString s;
    s.AssignNarrow("\xE2\x82\xAC");
    const wchar_t* text = s.MakeWide(-1);
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(1, s.length);
    EXPECT_EQ(0x20AC, text[0]);
    const char* bytes = s.MakeNarrow(-1);
    ASSERT_NE(nullptr, bytes);
    EXPECT_STREQ("\xE2\x82\xAC", bytes);
    EXPECT_EQ(3, s.length);
}

TEST(ModeSwitch, SameModeAndEmptyStrings)
{
    GString s;
    EXPECT_NE(nullptr, s.MakeNarrow(-1));
    EXPECT_EQ(0, s.wide);
    EXPECT_STREQ(L"", s.MakeWide(0));
    EXPECT_EQ(1, s.wide);
    EXPECT_STREQ("", s.MakeNarrow(-1));
    EXPECT_EQ(0, s.wide);

    s.AssignWide(L"w");
    EXPECT_STREQ(L"w", s.MakeWide(-1));
    s.AssignNarrow("n");
    EXPECT_STREQ("n", s.MakeNarrow(7));
    EXPECT_EQ(0, s.codePage); // any code page other than 0 means the string's own: UTF-8
}

TEST(ModeSwitch, LongTextGrowsTheBlock)
{
    std::wstring units;
    for (int i = 0; i < 500; i++)
        units += (wchar_t)(0x780 + i);
    GString s;
    s.AssignWide(units.data(), (int)units.size());
    ASSERT_NE(nullptr, s.MakeNarrow(-1));
    EXPECT_EQ(2 * 128 + 3 * 372, s.length); // U+0780-U+07FF take 2 bytes, the rest 3
    ASSERT_NE(nullptr, s.MakeWide(-1));
    EXPECT_EQ(units, Wide(s));
}
