// GString storage and core editing: block, growth, editing, assignment, paths.
#include "tests/text/TextTestUtil.h"

#include <gtest/gtest.h>
#include <string.h>

TEST(GStringStorage, DefaultConstructedHasNoBlockAndEmptyTexts)
{
    GString s;
    EXPECT_EQ(nullptr, s.buffer);
    EXPECT_EQ(0, s.length);
    EXPECT_EQ(0, s.wide);
    EXPECT_EQ(64, s.blockSize);
    EXPECT_EQ(80, s.dumpLineLength);
    EXPECT_EQ(0, s.codePage);
    ASSERT_NE(nullptr, s.NarrowText(0));
    ASSERT_NE(nullptr, s.WideText(0));
    EXPECT_EQ(0, s.NarrowText(0)[0]);
    EXPECT_EQ(0, s.WideText(0)[0]);
    EXPECT_EQ(0, s.Reserve(0));
    EXPECT_EQ(0, s.Compact());
    EXPECT_EQ(0, s.SetLength(0));
    EXPECT_EQ(nullptr, s.buffer);
}

TEST(GStringStorage, FillConstructorMakesWideCopies)
{
    GString s(L'x', 3);
    EXPECT_EQ(1, s.wide);
    EXPECT_EQ(L"xxx", Wide(s));
    GString none(L'x', 0);
    EXPECT_EQ(1, none.wide);
    EXPECT_EQ(0, none.length);
    EXPECT_EQ(nullptr, none.buffer);
}

// Growth figures: appending one unit at a time, the block after the n-th unit.
struct GrowthCase
{
    int wide;
    int units;          // units appended, one at a time
    int allocated;      // block size afterwards
    int capacity;
};

class GStringGrowth : public ::testing::TestWithParam<GrowthCase> {};

TEST_P(GStringGrowth, BlockAfterAppends)
{
    const GrowthCase& c = GetParam();
    GString s;
    s.ClearAs(c.wide);
    for (int i = 0; i < c.units; i++)
        ASSERT_EQ(1, s.AppendWideChar(L'a' + i % 26, 1));
    EXPECT_EQ(c.units, s.length);
    EXPECT_EQ(c.allocated, s.allocated);
    EXPECT_EQ(c.capacity, Capacity(s));
}

INSTANTIATE_TEST_SUITE_P(Table, GStringGrowth, ::testing::Values(
    GrowthCase{ 0, 1, 64, 59 },     // first unit: one 64-byte block
    GrowthCase{ 0, 59, 64, 59 },    // full
    GrowthCase{ 0, 60, 128, 123 },  // target max(60, 59 + 29) = 88, 93 bytes
    GrowthCase{ 0, 124, 192, 187 }, // target max(124, 123 + 61) = 184, 189 bytes
    GrowthCase{ 1, 1, 64, 29 },
    GrowthCase{ 1, 29, 64, 29 },
    GrowthCase{ 1, 30, 128, 61 }    // target max(30, 29 + 14) = 43, 92 bytes
));

TEST(GStringStorage, ReserveMoreGrowsToTheTarget)
{
    GString s;
    s.AppendChar('x', 40);
    ASSERT_EQ(64, s.allocated);
    EXPECT_EQ(1, s.ReserveMore(19)); // room is 19
    EXPECT_EQ(64, s.allocated);
    EXPECT_EQ(1, s.ReserveMore(30)); // Reserve(70): target 70, 75 bytes
    EXPECT_EQ(128, s.allocated);
    EXPECT_EQ(1, s.ReserveMore(0));
    EXPECT_EQ(1, s.ReserveMore(-5));
    EXPECT_EQ(std::string(40, 'x'), Narrow(s));
}

TEST(GStringStorage, ReserveSmallTargetUsesHalfTheLength)
{
    GString s;
    s.AppendChar('x', 100);                  // 128 bytes
    EXPECT_EQ(1, s.Reserve(124));            // max(124, 150) = 150, 155 bytes
    EXPECT_EQ(192, s.allocated);
    EXPECT_EQ(1, s.Reserve(-1));
    EXPECT_EQ(1, s.Reserve(50));             // below the length: compacts
    EXPECT_EQ(192, s.allocated);
}

TEST(GStringStorage, HeaderWordIsWrittenWhenTheTextMoves)
{
    GString s;
    s.AppendChar('x', 1);
    EXPECT_EQ(0x80000000u, HeaderWord(s)); // written when the block was made, before the text
    s.AppendChar('x', 58);
    EXPECT_EQ(0x80000000u, HeaderWord(s)); // no move, no update
    s.AppendChar('x', 1);
    EXPECT_EQ(0x8000003Bu, HeaderWord(s)); // 59 bytes moved

    GString w;
    w.ClearAs(1);
    w.AppendWideChar(L'y', 29);
    w.AppendWideChar(L'y', 1);
    EXPECT_EQ(29u * 2, HeaderWord(w));
}

TEST(GStringStorage, DropFrontKeepsTheBlockAndCompactsOnDemand)
{
    GString s;
    ASSERT_EQ(1, s.AssignNarrow("abcdef"));
    unsigned char* block = s.buffer;
    EXPECT_EQ(1, s.DropFront(3));
    EXPECT_EQ("def", Narrow(s));
    EXPECT_EQ(3, s.offset);
    EXPECT_EQ(block, s.buffer);
    EXPECT_STREQ("def", s.NarrowText(0));
    EXPECT_EQ(56, Capacity(s));

    EXPECT_EQ(1, s.Reserve(58)); // above the capacity, within the block: compacts
    EXPECT_EQ(block, s.buffer);
    EXPECT_EQ(0, s.offset);
    EXPECT_EQ(64, s.allocated);
    EXPECT_STREQ("def", (const char*)s.buffer + 4);

    EXPECT_EQ(1, s.DropFront(1));
    EXPECT_EQ(1, s.Compact());
    EXPECT_EQ(0, s.offset);
    EXPECT_STREQ("ef", (const char*)s.buffer + 4);

    EXPECT_EQ(1, s.DropFront(10));
    EXPECT_EQ(0, s.length);
    EXPECT_EQ(0, s.offset);
    EXPECT_EQ(0, s.buffer[4]);
    EXPECT_EQ(block, s.buffer);

    EXPECT_EQ(0, s.DropFront(0));
    EXPECT_EQ(0, s.DropFront(-1));
}

TEST(GStringStorage, DropFrontOnWideText)
{
    GString s;
    s.AssignWide(L"C:\\dir\\file");
    EXPECT_EQ(1, s.DropFront(s.ReverseFind(L'\\', 0) + 1));
    EXPECT_EQ(L"file", Wide(s));
    EXPECT_STREQ(L"file", s.WideText(0));
    EXPECT_STREQ(L"le", s.WideText(2));
    EXPECT_STREQ(L"", s.WideText(99));
}

TEST(GStringStorage, SetLengthCommitsPlatformWrites)
{
    GString s;
    wchar_t* out = s.BeginWideWrite(10);
    ASSERT_NE(nullptr, out);
    EXPECT_EQ(1, s.wide);
    wcscpy(out, L"abc");
    EXPECT_EQ(1, s.SetLength(-1));
    EXPECT_EQ(L"abc", Wide(s));

    // Appended after existing text.
    out = s.BeginWideWrite(5);
    ASSERT_NE(nullptr, out);
    wcscpy(out, L"de");
    EXPECT_EQ(1, s.SetLength(-1));
    EXPECT_EQ(L"abcde", Wide(s));

    // No zero unit within the capacity: length 0.
    out = s.BeginWideWrite(1);
    int capacity = Capacity(s);
    for (int i = 0; i < capacity; i++)
        ((wchar_t*)(s.buffer + 4))[i] = L'z';
    EXPECT_EQ(1, s.SetLength(-1));
    EXPECT_EQ(0, s.length);
    EXPECT_EQ(0, s.WideText(0)[0]);

    // An explicit length is limited to the capacity and writes the terminator.
    EXPECT_EQ(1, s.SetLength(1000));
    EXPECT_EQ(capacity, s.length);
    EXPECT_EQ(0, ((wchar_t*)(s.buffer + 4))[capacity]);
    EXPECT_EQ(1, s.SetLength(2)); // the commit of length 0 wrote its terminator at the front
    EXPECT_EQ(std::wstring(L"\0z", 2), Wide(s));
}

TEST(GStringStorage, SetLengthZeroResetsTheOffset)
{
    GString s;
    s.AssignNarrow("abcdef");
    s.DropFront(2);
    EXPECT_EQ(1, s.SetLength(0));
    EXPECT_EQ(0, s.offset);
    EXPECT_EQ(0, s.buffer[4]);
}

TEST(GStringStorage, NarrowWriteCommits)
{
    GString s;
    char* out = s.BeginNarrowWrite(8);
    ASSERT_NE(nullptr, out);
    memcpy(out, "hello", 6);
    EXPECT_EQ(1, s.SetLength(-1));
    EXPECT_EQ("hello", Narrow(s));
    EXPECT_EQ(0, s.wide);
}

TEST(GStringStorage, TextPointersRespectModeAndIndex)
{
    GString s;
    s.AssignNarrow("abc");
    EXPECT_STREQ("bc", s.NarrowText(1));
    EXPECT_STREQ("", s.NarrowText(3));
    EXPECT_STREQ("", s.NarrowText(10));
    EXPECT_STREQ("", s.NarrowText(-1));
    EXPECT_STREQ(L"", s.WideText(0)); // no conversion
    s.MakeWide(-1);
    EXPECT_STREQ(L"bc", s.WideText(1));
    EXPECT_STREQ("", s.NarrowText(0));
}

TEST(GStringStorage, OversizedReservationFailsAndKeepsTheText)
{
    GString s;
    s.AssignWide(L"keep");
    unsigned char* block = s.buffer;
    int allocated = s.allocated;
    EXPECT_EQ(0, s.Reserve(0x7FFFFFF0));
    EXPECT_EQ(0, s.ReserveMore(0x7FFFFFFF));
    EXPECT_EQ(0, s.AppendWideChar(L'x', 0x7FFFFFF0));
    EXPECT_EQ(nullptr, s.BeginWideWrite(0x7FFFFFF0));
    EXPECT_EQ(block, s.buffer);
    EXPECT_EQ(allocated, s.allocated);
    EXPECT_EQ(L"keep", Wide(s));

    GString n;
    n.AssignNarrow("keep");
    EXPECT_EQ(0, n.AppendChar('x', 0x7FFFFFFF));
    EXPECT_EQ(nullptr, n.BeginNarrowWrite(0x7FFFFFFF));
    EXPECT_EQ("keep", Narrow(n));
}

TEST(GStringEditing, ClearKeepsBlockAndMode)
{
    GString s;
    s.AssignWide(L"text");
    unsigned char* block = s.buffer;
    EXPECT_EQ(1, s.Clear());
    EXPECT_EQ(0, s.length);
    EXPECT_EQ(1, s.wide);
    EXPECT_EQ(block, s.buffer);
    EXPECT_EQ(1, s.ClearAs(0));
    EXPECT_EQ(0, s.wide);
    EXPECT_EQ(block, s.buffer);
}

// AppendChar and AppendWideChar in both modes.
struct CharCase
{
    int wide;
    int narrowArgument; // 1: AppendChar, 0: AppendWideChar
    unsigned ch;
    int count;
    int result;
    int length;
};

class GStringAppendChar : public ::testing::TestWithParam<CharCase> {};

TEST_P(GStringAppendChar, Table)
{
    const CharCase& c = GetParam();
    GString s;
    s.ClearAs(c.wide);
    int result = c.narrowArgument ? s.AppendChar((char)c.ch, c.count)
                                  : s.AppendWideChar((wchar_t)c.ch, c.count);
    EXPECT_EQ(c.result, result);
    EXPECT_EQ(c.length, s.length);
    EXPECT_EQ(c.wide, s.wide);
    for (int i = 0; i < s.length; i++) {
        unsigned unit = s.wide ? (unsigned)s.WideText(0)[i] : (unsigned char)s.NarrowText(0)[i];
        EXPECT_EQ(c.ch, unit);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, GStringAppendChar, ::testing::Values(
    CharCase{ 1, 1, 'A', 3, 1, 3 },
    CharCase{ 1, 1, 0xE9, 1, 0, 0 },   // a byte above ASCII is no UTF-16 unit
    CharCase{ 0, 1, 0xE9, 2, 1, 2 },   // raw bytes in a narrow string
    CharCase{ 0, 1, 0, 5, 1, 0 },
    CharCase{ 0, 1, 'a', 0, 1, 0 },
    CharCase{ 0, 1, 'a', -1, 1, 0 },
    CharCase{ 1, 0, 0x20AC, 2, 1, 2 },
    CharCase{ 0, 0, 'z', 4, 1, 4 },
    CharCase{ 0, 0, 0x80, 1, 0, 0 },   // a narrow string takes only ASCII units
    CharCase{ 1, 0, 0, 1, 1, 0 }
));

TEST(GStringEditing, DirectAppendsCheckTheMode)
{
    GString n;
    n.AssignNarrow("ab");
    EXPECT_EQ(0, n.AppendWideDirect(L"x", 1));
    EXPECT_EQ(1, n.AppendWideDirect(nullptr, 1));
    EXPECT_EQ(0, n.AppendWideUnit(L'x'));
    EXPECT_EQ(1, n.AppendNarrowDirect("cde", 2, -1));
    EXPECT_EQ(1, n.AppendNarrowDirect("", -1, -1));
    EXPECT_EQ(1, n.AppendNarrowDirect(nullptr, 3, -1));
    EXPECT_EQ("abcd", Narrow(n));

    GString w;
    w.AssignWide(L"ab");
    EXPECT_EQ(0, w.AppendNarrowDirect("x", 1, -1));
    EXPECT_EQ(0, w.AppendNarrowDirect(nullptr, 1, -1));
    EXPECT_EQ(1, w.AppendWideDirect(L"c\0d", 3));
    EXPECT_EQ(std::wstring(L"abc\0d", 5), Wide(w));
}

TEST(GStringEditing, WideUnitLeavesTheTerminatorToTheCaller)
{
    GString w;
    w.AssignWide(L"ab");
    wchar_t* text = (wchar_t*)(w.buffer + 4);
    text[3] = L'#';
    EXPECT_EQ(1, w.AppendWideUnit(L'c'));
    EXPECT_EQ(3, w.length);
    EXPECT_EQ(L"abc", Wide(w));
    EXPECT_EQ(L'#', text[3]);
    EXPECT_EQ(1, w.Terminate());
    EXPECT_STREQ(L"abc", w.WideText(0));
}

TEST(GStringEditing, NewLineInBothModes)
{
    GString n;
    n.AppendNarrow("a");
    n.AppendNewLine();
    EXPECT_EQ("a\r\n", Narrow(n));
    GString w;
    w.AssignWide(L"a");
    w.AppendNewLine();
    EXPECT_EQ(L"a\r\n", Wide(w));
}

TEST(GStringEditing, AppendConvertsBetweenModes)
{
    GString w;
    w.AssignWide(L"x");
    GString n;
    n.AssignNarrow("\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(1, w.Append(n));
    EXPECT_EQ(L"x\u00E9t\u00E9", Wide(w));
    EXPECT_EQ(1, n.Append(w));
    EXPECT_EQ("\xC3\xA9t\xC3\xA9x\xC3\xA9t\xC3\xA9", Narrow(n));
}

TEST(GStringEditing, AppendItself)
{
    GString s;
    s.AssignWide(L"abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(1, s.Append(s)); // grows while reading its own text
    EXPECT_EQ(L"abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz", Wide(s));
    GString n;
    n.AssignNarrow("0123456789012345678901234567890123456789");
    EXPECT_EQ(1, n.Append(n));
    EXPECT_EQ(80, n.length);
    EXPECT_EQ("01234567890123456789012345678901234567890123456789012345678901234567890123456789",
              Narrow(n));
}

TEST(GStringAssign, AssignTakesModeAndText)
{
    GString source;
    source.AssignWide(L"wide");
    GString s;
    s.AssignNarrow("old");
    EXPECT_EQ(1, s.Assign(source));
    EXPECT_EQ(1, s.wide);
    EXPECT_EQ(L"wide", Wide(s));
    GString empty;
    EXPECT_EQ(1, s.Assign(empty));
    EXPECT_EQ(0, s.wide);
    EXPECT_EQ(0, s.length);
    EXPECT_EQ(1, s.Assign(s));
}

TEST(GStringAssign, AssignAsConverts)
{
    GString n;
    n.AssignNarrow("\xE2\x82\xAC 5");
    GString w;
    EXPECT_EQ(1, w.AssignAsWide(&n));
    EXPECT_EQ(L"\u20AC 5", Wide(w));
    GString back;
    EXPECT_EQ(1, back.AssignAsNarrow(&w));
    EXPECT_EQ("\xE2\x82\xAC 5", Narrow(back));
    EXPECT_EQ(0, back.AssignAsWide(nullptr));
    EXPECT_EQ(1, back.wide);
    EXPECT_EQ(0, back.length);
    EXPECT_EQ(0, back.AssignAsNarrow(nullptr));
    EXPECT_EQ(0, back.wide);
    EXPECT_EQ(1, back.AssignNarrowAsWide("\xC3\xA9", -1, -1));
    EXPECT_EQ(L"\u00E9", Wide(back));
}

// Stored entries: header word, then the text (no terminator).
struct StoredCase
{
    unsigned char entry[16];
    int wide;
    const char* narrow;
    const wchar_t* wideText;
};

class GStringAssignStored : public ::testing::TestWithParam<StoredCase> {};

TEST_P(GStringAssignStored, Table)
{
    const StoredCase& c = GetParam();
    GString s;
    s.AssignNarrow("previous");
    alignas(4) unsigned char entry[16];
    memcpy(entry, c.entry, sizeof entry);
    EXPECT_EQ(1, s.AssignStored(entry));
    EXPECT_EQ(c.wide, s.wide);
    if (c.wide) {
        EXPECT_EQ(std::wstring(c.wideText), Wide(s));
    } else {
        EXPECT_EQ(std::string(c.narrow), Narrow(s));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, GStringAssignStored, ::testing::Values(
    StoredCase{ { 0x03, 0, 0, 0x80, 'a', 'b', 'c', 'X' }, 0, "abc", nullptr },
    StoredCase{ { 0x02, 0, 0, 0x00, 'h', 0, 'i', 0, 'X', 0 }, 1, nullptr, L"hi" },
    StoredCase{ { 0x02, 0, 0, 0xE0, 'o', 'k', 'X' }, 0, "ok", nullptr },   // bits 29-30 ignored
    StoredCase{ { 0x01, 0, 0, 0x60, 'w', 0, 'X', 0 }, 1, nullptr, L"w" },
    StoredCase{ { 0x00, 0, 0, 0x80, 'X' }, 0, "", nullptr },
    StoredCase{ { 0x00, 0, 0, 0x00, 'X', 0 }, 1, nullptr, L"" }
));

TEST(GStringAssign, AssignStoredWithoutEntryEmpties)
{
    GString s;
    s.AssignNarrow("text");
    EXPECT_EQ(0, s.AssignStored(nullptr));
    EXPECT_EQ(0, s.length);
}

// Path joins: base text, part, expected result, for every combination of modes.
struct PathCase
{
    const char* base;
    const char* part; // nullptr: no part
    int count;
    const char* expected;
};

class GStringPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(GStringPath, AllModeCombinations)
{
    const PathCase& c = GetParam();
    for (int baseWide = 0; baseWide < 2; baseWide++) {
        for (int partWide = 0; partWide < 2; partWide++) {
            SCOPED_TRACE(::testing::Message() << "base wide " << baseWide << ", part wide "
                                              << partWide);
            GString s;
            s.AssignNarrow(c.base);
            if (baseWide) {
                ASSERT_NE(nullptr, s.MakeWide(-1));
            }
            int result;
            if (partWide) {
                GString part;
                if (c.part)
                    part.AssignNarrowAsWide(c.part);
                result = s.AppendPathWide(c.part ? part.WideText(0) : nullptr, c.count);
            } else {
                result = s.AppendPathNarrow(c.part, c.count);
            }
            EXPECT_EQ(1, result);
            EXPECT_EQ(baseWide, s.wide);
            ASSERT_NE(nullptr, s.MakeNarrow(-1));
            EXPECT_EQ(std::string(c.expected), Narrow(s));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, GStringPath, ::testing::Values(
    PathCase{ "C:\\dir", "\\file", -1, "C:\\dir\\file" },
    PathCase{ "C:\\dir", "file", -1, "C:\\dir\\file" },
    PathCase{ "C:\\dir\\", "file", -1, "C:\\dir\\file" },
    PathCase{ "", "file", -1, "\\file" },
    PathCase{ "C:\\a", "/x", -1, "C:\\a\\x" },
    PathCase{ "C:\\a", nullptr, -1, "C:\\a\\" },
    PathCase{ "C:\\a\\", nullptr, -1, "C:\\a\\" },
    PathCase{ "C:\\a", "", -1, "C:\\a\\" },
    PathCase{ "", nullptr, 0, "\\" },
    PathCase{ "C:\\a", "bcd", 2, "C:\\a\\bc" },
    PathCase{ "C:\\a", "\\", -1, "C:\\a\\" },
    PathCase{ "C:\\a\\", "\\\\b", -1, "C:\\a\\\\b" },  // only one leading separator goes
    PathCase{ "C:\\Pr\xC3\xB3gram", "\xC5\xBC.txt", -1, "C:\\Pr\xC3\xB3gram\\\xC5\xBC.txt" }
));

TEST(GStringPathFailure, InvalidUtf8PartOnWideString)
{
    GString s;
    s.AssignWide(L"C:\\a");
    EXPECT_EQ(0, s.AppendPathNarrow("\xF0\x9F\x98\x80", -1));
    EXPECT_EQ(L"C:\\a", Wide(s));
}

TEST(GStringEditing, AppendUnlessEndsWith)
{
    GString s;
    s.AssignWide(L"a.txt");
    EXPECT_EQ(1, s.AppendUnlessEndsWith(L".txt", -1));
    EXPECT_EQ(L"a.txt", Wide(s));
    EXPECT_EQ(1, s.AppendUnlessEndsWith(".txt", -1));
    EXPECT_EQ(L"a.txt", Wide(s));
    EXPECT_EQ(1, s.AppendUnlessEndsWith(L".bak", -1));
    EXPECT_EQ(L"a.txt.bak", Wide(s));
    EXPECT_EQ(0, s.AppendUnlessEndsWith((const wchar_t*)nullptr, -1));
    EXPECT_EQ(0, s.AppendUnlessEndsWith(L"", -1));
    EXPECT_EQ(0, s.AppendUnlessEndsWith("", -1));
    EXPECT_EQ(L"a.txt.bak", Wide(s));

    GString n;
    n.AssignNarrow("x\xC3\xA9");
    EXPECT_EQ(1, n.AppendUnlessEndsWith(L"\u00E9", -1));
    EXPECT_EQ("x\xC3\xA9", Narrow(n));
    EXPECT_EQ(1, n.AppendUnlessEndsWith(L"\u00E9\u00E9", -1));
    EXPECT_EQ("x\xC3\xA9\xC3\xA9\xC3\xA9", Narrow(n));
    EXPECT_EQ(1, n.AppendUnlessEndsWith("ab", 1));
    EXPECT_EQ("x\xC3\xA9\xC3\xA9\xC3\xA9" "a", Narrow(n));
}

TEST(GStringScratch, CreatedOnFirstNeedAndReused)
{
    GString s;
    s.AssignWide(L"abc");
    EXPECT_EQ(nullptr, s.scratch);
    EXPECT_EQ(2, s.FindNarrow("c", 0, -1));
    GString* scratch = s.scratch;
    ASSERT_NE(nullptr, scratch);
    EXPECT_EQ(0, s.CompareNarrow("abc", -1));
    EXPECT_EQ(scratch, s.scratch);
}
