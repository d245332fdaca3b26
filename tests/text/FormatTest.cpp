// The formatter: parsing, padding, integers, texts, characters, byte dumps, addresses,
// identifiers and the miscellaneous conversions.
#include "tests/text/FormatTestUtil.h"

#include <string.h>

namespace {

const unsigned char kSixBytes[6] = {1, 2, 3, 4, 5, 6};
const unsigned kAddress = 0xC0A80101;
// {12345678-9abc-def0-0102-030405060708} as it lies in memory.
const unsigned char kIdentifier[16] = {0x78, 0x56, 0x34, 0x12, 0xbc, 0x9a, 0xf0, 0xde,
                                       1, 2, 3, 4, 5, 6, 7, 8};
// Stored entries: header word and text without terminator; the X after each must not show.
const unsigned char kStoredNarrow[] = {3, 0, 0, 0x80, 'a', 'b', 'c', 'X', 'X', 0};
const unsigned char kStoredWide[] = {2, 0, 0, 0, 'h', 0, 'i', 0, 'X', 0, 0, 0};

int AppendTo(GString* s, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    int result = s->AppendFormatV(format, args);
    va_end(args);
    return result;
}

} // namespace

TEST(Format, ParsingOfPercentAndUnknownLetters)
{
    static const FormatCase cases[] = {
        FORMAT_CASE(L"a%b", L"a%%b"),
        FORMAT_CASE(L"100", L"100%"),
        FORMAT_CASE(L"q", L"%q"),
        FORMAT_CASE(L"q", L"%5.2q"),
        FORMAT_CASE(L"xql5y", L"x%-+ 0#$`12.34ql5y"),  // flags, width and precision are dropped
        FORMAT_CASE(L"[1]", L"[%ld]", 1),
        FORMAT_CASE(L"   007", L"%*.*d", 6, 3, 7),
        FORMAT_CASE(L"7    |", L"%*d|", -5, 7),
        FORMAT_CASE(L"a\r\nb", L"a%Nb"),
        FORMAT_CASE(L"", L""),
    };
    CheckFormatCases(cases);
}

TEST(Format, Integers)
{
    static const FormatCase cases[] = {
        FORMAT_CASE(L"   42", L"%5d", 42),
        FORMAT_CASE(L"42   |", L"%-5d|", 42),
        FORMAT_CASE(L"+0", L"%+d", 0),
        FORMAT_CASE(L" 5", L"% d", 5),
        FORMAT_CASE(L"5", L"%+u", 5),
        FORMAT_CASE(L"4294967295", L"%u", -1),
        FORMAT_CASE(L"007", L"%.3d", 7),
        FORMAT_CASE(L"-042", L"%.3d", -42),
        FORMAT_CASE(L"00-42", L"%05d", -42),
        FORMAT_CASE(L"0xff", L"%#x", 255),
        FORMAT_CASE(L"0xFF", L"%#X", 255),
        FORMAT_CASE_OPTIONS(0x04, L"0XFF", L"%#X", 255),
        FORMAT_CASE_OPTIONS(0x04, L"0xff", L"%#x", 255),
        FORMAT_CASE(L"000x1f", L"%#06x", 0x1F),
        FORMAT_CASE(L"010", L"%#o", 8),
        FORMAT_CASE(L"00010", L"%#.5o", 8),
        FORMAT_CASE(L"0y101", L"%#y", 5),
        FORMAT_CASE(L"1 234 567", L"%`d", 1234567),
        FORMAT_CASE(L"123 456", L"%`d", 123456),
        FORMAT_CASE(L"1 2345", L"%`x", 0x12345),
        FORMAT_CASE(L"1111 0000", L"%`y", 0xF0),
        FORMAT_CASE(L"-1", L"%Ld", -1LL),
        FORMAT_CASE(L"-9223372036854775808", L"%lld", (long long)0x8000000000000000ULL),
        FORMAT_CASE(L"18446744073709551615", L"%Lu", ~0ULL),
        FORMAT_CASE(L"123456789abcdef0", L"%llx", 0x123456789abcdef0ULL),
        FORMAT_CASE(L"-2147483648", L"%d", (int)0x80000000),
        FORMAT_CASE(L"00001234", L"%p", 0x1234),
        FORMAT_CASE(L"00000ABC", L"%P", 0xabc),
        FORMAT_CASE(L"0x00001234", L"%#p", 0x1234),
        FORMAT_CASE(L"  {null}", L"%p", 0),
        FORMAT_CASE(L"    {null}", L"%10p", 0),
        FORMAT_CASE(L"    {null}", L"%#p", 0),
        // A 64-bit size flag does not widen a pointer: the next argument follows 32 bits later.
        FORMAT_CASE(L"00000001 2", L"%Lp %d", 1, 2),
        FORMAT_CASE(L"0", L"%d", 0),
        FORMAT_CASE(L"0000000000", L"%.10u", 0),
    };
    CheckFormatCases(cases);
}

TEST(Format, IntegerPrecisionIsLimitedTo308Digits)
{
    GString s;
    ASSERT_EQ(1, Format(&s, L"%.400d", 1));
    EXPECT_EQ(308, s.length);
    EXPECT_EQ(L'1', s.WideText(0)[307]);
}

TEST(Format, Texts)
{
    static const FormatCase cases[] = {
        FORMAT_CASE(L"{null}", L"%s", (const wchar_t*)nullptr),
        FORMAT_CASE(L"  {null}", L"%8hs", (const char*)nullptr),
        FORMAT_CASE(L"abc", L"%.3s", L"abcdef"),
        FORMAT_CASE(L"    ab|", L"%6s|", L"ab"),
        FORMAT_CASE(L"ab    |", L"%-6s|", L"ab"),
        FORMAT_CASE(L"a{09}b", L"%$s", L"a\tb"),
        FORMAT_CASE(L"{01}", L"%#S", L"\x01"),
        FORMAT_CASE(L"{e9}{ac}", L"%$s", L"\x00e9\x20ac"),    // low 8 bits only
        FORMAT_CASE(L"\x00e9{1f}", L"%#s", L"\x00e9\x1f"),
        FORMAT_CASE(L" a{09}", L"%$6s", L"a\t"),              // an escape counts 4
        FORMAT_CASE(L"|7", L"|%Ls%d", L"hidden", 7),
        FORMAT_CASE(L"\x00e9\x20ac", L"%hs", "\xC3\xA9\xE2\x82\xAC"),
        FORMAT_CASE(L"\x00e9", L"%.1hs", "\xC3\xA9" "a"),      // a character is taken whole
        FORMAT_CASE(L"{c3}{a9}", L"%$hs", "\xC3\xA9"),
        FORMAT_CASE(L"{C3}{A9}", L"%$hS", "\xC3\xA9"),
        FORMAT_CASE(L"{c3}", L"%$.1hs", "\xC3\xA9"),           // with '$' the limit counts bytes
        FORMAT_CASE(L"a{01}\x00e9", L"%#hs", "a\x01\xC3\xA9"),
        FORMAT_CASE(L"abc", L"%hz", kStoredNarrow),
        FORMAT_CASE(L"hi", L"%hz", kStoredWide),
        FORMAT_CASE(L"ab", L"%.2hz", kStoredNarrow),
        FORMAT_FAILS(L"x", L"x%hs", "\xFF"),
        FORMAT_FAILS(L"", L"%hs", "\xF0\x9F\x98\x80"),
    };
    CheckFormatCases(cases);
}

TEST(Format, NegativePrecisionTakesExactlyThatManyUnits)
{
    GString s;
    ASSERT_EQ(1, Format(&s, L"%.*s|%.*hs", -3, L"a\0b", -2, "\0c"));
    EXPECT_EQ(std::wstring(L"a\0b|\0c", 6), Wide(s));
}

TEST(Format, TextOfGStringsInBothModes)
{
    GString wideText;
    wideText.AssignWide(L"w\x20ac");
    GString narrowText;
    narrowText.AssignNarrow("n\xE2\x82\xAC");
    GString s;
    ASSERT_EQ(1, Format(&s, L"%z|%z|%5.1z|%$Z", &wideText, &narrowText, &narrowText, &narrowText));
    EXPECT_EQ(L"w\x20ac|n\x20ac|    n|n{E2}{82}{AC}", Wide(s));
    ASSERT_EQ(1, Format(&s, L"%z", (GString*)nullptr));
    EXPECT_EQ(L"{null}", Wide(s));
}

TEST(Format, ReceiverAsItsOwnArgument)
{
    // Long enough that appending it to itself needs a larger block.
    GString s;
    s.AssignWide(L"0123456789012345678901234567890123456789012345678901234567");
    std::wstring before = Wide(s);
    ASSERT_EQ(1, AppendTo(&s, L"|%z|%130z", &s, &s)); // 119 units when the second one comes
    // Each argument is read when its conversion comes; the padding before the second one grows
    // the block before the text is copied.
    std::wstring second = before + L"|" + before + L"||";
    EXPECT_EQ(second + std::wstring(130 - second.size(), L' ') + second, Wide(s));
}

TEST(Format, Characters)
{
    static const FormatCase cases[] = {
        FORMAT_CASE(L"A", L"%c", 'A'),
        FORMAT_CASE(L"  A|", L"%3c|", 'A'),
        FORMAT_CASE(L"A  |", L"%-3c|", 'A'),
        FORMAT_CASE(L"\x20ac", L"%c", 0x120ac),               // the low 16 bits
        FORMAT_CASE(L"{e9}", L"%$c", 0xE9),
        FORMAT_CASE(L"{E9}", L"%$C", 0xE9),
        FORMAT_CASE(L"\x00e9", L"%#c", 0xE9),
        FORMAT_CASE(L"{01}", L"%#c", 1),
        FORMAT_CASE(L" {01}", L"%#5c", 1),
        FORMAT_CASE(L"a", L"%hc", 0x161),
        FORMAT_FAILS(L"", L"%hc", 0xE9),
    };
    CheckFormatCases(cases);
}

TEST(Format, ByteDumps)
{
    static const FormatCase cases[] = {
        FORMAT_CASE(L"010203040506", L"%.6b", kSixBytes),
        FORMAT_CASE(L"01 02 03 04 05 06", L"% .6b", kSixBytes),
        FORMAT_CASE(L"{01}{02}{03}{04}{05}{06}", L"%#.6b", kSixBytes),
        FORMAT_CASE(L"{01} {02} {03}", L"% #.3b", kSixBytes),
        FORMAT_CASE(L"{01020304}{0506}", L"%#`.6b", kSixBytes),
        FORMAT_CASE(L"{01 02 03 04} {05 06}", L"% #`.6b", kSixBytes),
        FORMAT_CASE(L"01 02 03 04  05 06", L"% `.6b", kSixBytes),
        FORMAT_CASE(L"01020304 0506", L"%`.6b", kSixBytes),
        FORMAT_CASE(L"{01020304}", L"%#`.4b", kSixBytes),
        FORMAT_CASE(L"    0102|", L"%8.2b|", kSixBytes),
        FORMAT_CASE(L"0102    |", L"%-8.2b|", kSixBytes),
        FORMAT_CASE(L"ABCD", L"%.2B", "\xAB\xCD"),
        FORMAT_CASE(L"abcd", L"%.2b", "\xAB\xCD"),
        FORMAT_CASE(L"{null}", L"%.4b", (const void*)nullptr),
        FORMAT_CASE(L"7", L"%b%d", 7),                         // no count: nothing consumed
        FORMAT_CASE(L"7", L"%.*b%d", -1, 7),
    };
    CheckFormatCases(cases);
}

TEST(Format, AddressesAndIdentifiers)
{
    static const FormatCase cases[] = {
        FORMAT_CASE(L"192.168.1.1", L"%w", &kAddress),
        FORMAT_CASE(L"192.168.001.001", L"%0w", &kAddress),
        FORMAT_CASE(L"  192.168.001.001", L"%017w", &kAddress),
        FORMAT_CASE(L"192.168.1.1  |", L"%-13w|", &kAddress),
        FORMAT_CASE(L"{null}", L"%w", (const unsigned*)nullptr),
        FORMAT_CASE(L"{12345678-9abc-def0-0102-030405060708}", L"%hw", kIdentifier),
        FORMAT_CASE(L"{12345678-9ABC-DEF0-0102-030405060708}", L"%hW", kIdentifier),
        FORMAT_CASE(L"  {12345678-9abc-def0-0102-030405060708}", L"%040hw", kIdentifier),
        FORMAT_CASE(L"{null}|5", L"%hw|%d", (const void*)nullptr, 5),
    };
    CheckFormatCases(cases);
}

TEST(Format, CountOfUnitsAppended)
{
    int count = -1;
    GString t;
    ASSERT_EQ(1, Format(&t, L"abc%n%d", &count, 12));
    EXPECT_EQ(3, count);
    EXPECT_EQ(L"abc12", Wide(t));
    ASSERT_EQ(1, Format(&t, L"x%ny", (int*)nullptr));
    EXPECT_EQ(L"xy", Wide(t));
}

TEST(Format, AppendCountsOnlyItsOwnUnits)
{
    GString s;
    s.AssignWide(L"before");
    int count = -1;
    ASSERT_EQ(1, AppendTo(&s, L"-%d%n", 42, &count));
    EXPECT_EQ(3, count);
    EXPECT_EQ(L"before-42", Wide(s));
}

TEST(Format, FailuresKeepTheTextBeforeThem)
{
    GString s;
    for (const wchar_t* format : {L"ab%Tcd", L"ab%tcd", L"ab%Ycd"}) {
        EXPECT_EQ(0, Format(&s, format, 1));
        EXPECT_EQ(L"ab", Wide(s));
    }
    EXPECT_EQ(0, Format(&s, nullptr));

    GString narrow;
    narrow.AssignNarrow("n");
    EXPECT_EQ(0, AppendTo(&narrow, L"%d", 1));
    EXPECT_EQ("n", Narrow(narrow));
}
