// Conversions of doubles ('f' 'e' 'g' 'a' 'F'), scaled sizes ('U' 'I') and their special texts.
#include "tests/text/FormatTestUtil.h"

#include <limits>
#include <math.h>

namespace {

const double kNan = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

} // namespace

TEST(FormatFloat, Fixed)
{
    static const FormatCase cases[] = {
        FORMAT_CASE(L"3.141590", L"%f", 3.14159),
        FORMAT_CASE(L"3.14", L"%.2f", 3.14159),
        FORMAT_CASE(L"3.141590", L"%.0f", 3.14159),
        FORMAT_CASE(L"0.001234", L"%f", 0.001234),
        FORMAT_CASE(L"0.000000", L"%f", 1e-10),
        FORMAT_CASE(L"0.000001", L"%f", 6e-7),
        FORMAT_CASE(L"0.000000", L"%f", 0.0),
        FORMAT_CASE(L"-0003.50", L"%08.2f", -3.5),
        FORMAT_CASE(L"3.50    |", L"%-8.2f|", 3.5),
        FORMAT_CASE(L"   +3.50", L"%+8.2f", 3.5),
        FORMAT_CASE(L" 3.5", L"% .1f", 3.5),
        FORMAT_CASE(L"1.0", L"%.1f", 0.96),
        FORMAT_CASE(L"100.0", L"%.1f", 99.95),    // 99.95 lies just above the tie
        FORMAT_CASE(L"0.12", L"%.2f", 0.125),     // an exact tie rounds to even
        FORMAT_CASE(L"1234567.0", L"%.1f", 1234567.0),
        FORMAT_CASE(L"1.00", L"%.*f", 2, 1.0),
    };
    CheckFormatCases(cases);
}

TEST(FormatFloat, FixedFailsBeyond351Digits)
{
    GString s;
    EXPECT_EQ(0, Format(&s, L"a%.308f", 1e50));
    EXPECT_EQ(L"a", Wide(s));
    EXPECT_EQ(1, Format(&s, L"%.300f", 1e50));   // 351 digits exactly
    EXPECT_EQ(352, s.length);
    EXPECT_EQ(1, Format(&s, L"%f", 1.7976931348623157e308));
    EXPECT_EQ(309 + 7, s.length);
}

TEST(FormatFloat, Exponent)
{
    static const FormatCase cases[] = {
        FORMAT_CASE(L"1.234568e+04", L"%e", 12345.678),
        FORMAT_CASE(L"1.234568E+04", L"%E", 12345.678),
        FORMAT_CASE(L"0.000000e+00", L"%e", 0.0),
        FORMAT_CASE(L"1.000000e-100", L"%e", 1e-100),
        FORMAT_CASE(L"-1.5e+300", L"%.1e", -1.5e300),
        FORMAT_CASE(L"4.9e-324", L"%.1e", 4.9406564584124654e-324),
        FORMAT_CASE(L"1.000000e+01", L"%e", 9.9999999),
        FORMAT_CASE(L"  1.2e+00", L"%9.1e", 1.25),
        FORMAT_CASE_OPTIONS(0x02, L"1.000000e+000", L"%e", 1.0),
        FORMAT_CASE_OPTIONS(0x02, L"1.0e-005", L"%.1e", 1e-5),
    };
    CheckFormatCases(cases);
}

TEST(FormatFloat, General)
{
    static const FormatCase cases[] = {
        FORMAT_CASE(L"3", L"%g", 3.14159),
        FORMAT_CASE(L"3.14159", L"%.6g", 3.14159),
        FORMAT_CASE(L"0.000123", L"%.3g", 0.0001234),
        FORMAT_CASE(L"1.23e-05", L"%.3g", 0.00001234),
        FORMAT_CASE(L"1.23e+06", L"%.3g", 1234567.0),
        FORMAT_CASE(L"100", L"%.6g", 100.0),
        FORMAT_CASE(L"100.000", L"%#.6g", 100.0),
        FORMAT_CASE(L"0", L"%g", 0.0),
        FORMAT_CASE(L"0.000000", L"%#.6g", 0.0),
        FORMAT_CASE(L"1e+02", L"%.2g", 100.0),
        FORMAT_CASE(L"1.0e+02", L"%#.2g", 100.0),
        FORMAT_CASE(L"1E-10", L"%G", 1e-10),
        FORMAT_CASE(L"0.5", L"%.6g", 0.5),
        FORMAT_CASE(L"-12.5", L"%.6g", -12.5),
        FORMAT_CASE(L"123456", L"%.6g", 123456.0),
        FORMAT_CASE(L"1.23457e+06", L"%.6g", 1234567.0),
        FORMAT_CASE(L"  3.1", L"%5.2g", 3.14159),
    };
    CheckFormatCases(cases);
}

TEST(FormatFloat, Hexadecimal)
{
    static const FormatCase cases[] = {
        FORMAT_CASE(L"0x1p+0", L"%a", 1.0),
        FORMAT_CASE(L"0x1p-1", L"%a", 0.5),
        FORMAT_CASE(L"-0x1.4p+1", L"%a", -2.5),
        FORMAT_CASE(L"0x2.0p+0", L"%.1a", 1.96875),
        FORMAT_CASE(L"0x1.0p+0", L"%.1a", 1.0234375),      // 0x1.06: the next digit is below 8
        FORMAT_CASE(L"0x1.1p+0", L"%.1a", 1.03125),        // 0x1.08: 8 rounds up
        FORMAT_CASE(L"0x1.ap+0", L"%.1a", 1.59375),        // 0x1.98: 9 goes to a
        FORMAT_CASE(L"0x1.FEP+7", L"%A", 255.0),
        FORMAT_CASE_OPTIONS(0x04, L"0X1.FEP+7", L"%A", 255.0),
        FORMAT_CASE_OPTIONS(0x04, L"0x1.fep+7", L"%a", 255.0),
        FORMAT_CASE(L"0x0p+0", L"%a", 0.0),
        FORMAT_CASE(L"-0x0p+0", L"%a", -0.0),
        FORMAT_CASE(L"0x0.0000000000001p-1022", L"%a", 4.9406564584124654e-324),
        FORMAT_CASE(L"0x1.fffffffffffffp+1023", L"%a", 1.7976931348623157e308),
        FORMAT_CASE(L"0x1.800p+0", L"%.3a", 1.5),
        FORMAT_CASE(L"0x1.8000000000000000p+0", L"%.16a", 1.5),
        FORMAT_CASE(L"0x1.p+0", L"%#a", 1.0),
        FORMAT_CASE(L"0x00001p+0", L"%010a", 1.0),
        FORMAT_CASE(L"-0x0001p+0", L"%010a", -1.0),
        FORMAT_CASE(L"    0x1p+0", L"%10a", 1.0),
    };
    CheckFormatCases(cases);
}

TEST(FormatFloat, Engineering)
{
    static const FormatCase cases[] = {
        FORMAT_CASE(L"12.3e+03", L"%F", 12345.0),
        FORMAT_CASE(L"12.3 k", L"%#F", 12345.0),
        FORMAT_CASE(L"12.0 \x00b5", L"%#F", 0.000012),
        FORMAT_CASE_OPTIONS(0x08, L"12.0 u", L"%#F", 0.000012),
        FORMAT_CASE(L"1.000  ", L"%#.4F", 1.0),
        FORMAT_CASE(L"1.00e+30", L"%#F", 1e30),
        FORMAT_CASE(L"1.00 Y", L"%#F", 1e24),
        FORMAT_CASE(L"1.00 y", L"%#F", 1e-24),
        FORMAT_CASE(L"100.e-27", L"%#F", 1e-25),
        FORMAT_CASE(L"123.e+00", L"%F", 123.0),
        FORMAT_CASE(L"-1.50 M", L"%#F", -1.5e6),
        FORMAT_CASE(L"0.00e+00", L"%F", 0.0),
        FORMAT_CASE(L"1.50e+03", L"%hF", 1500),
        FORMAT_CASE(L"-2.00 G", L"%#LF", -2000000000LL),
        FORMAT_CASE_OPTIONS(0x02, L"12.3e+003", L"%F", 12345.0),
        FORMAT_CASE(L"   12.3 k", L"%#9F", 12345.0),
    };
    CheckFormatCases(cases);
}

TEST(FormatFloat, ScaledSizes)
{
    static const FormatCase cases[] = {
        FORMAT_CASE(L"1.5b10", L"%U", 1536),
        FORMAT_CASE(L"1.5 Ki", L"%#U", 1536),
        FORMAT_CASE(L"12.  ", L"%#U", 12),
        FORMAT_CASE(L"0.0b00", L"%U", 0),
        FORMAT_CASE(L"1.0 Ki", L"%#U", 1023),
        FORMAT_CASE(L"0.1 Ki", L"%#U", 100),
        FORMAT_CASE(L"0.98 Ki", L"%#.3U", 1000),
        FORMAT_CASE(L"1.0 Ti", L"%#LU", 1ULL << 40),
        FORMAT_CASE(L"16.b60", L"%LU", ~0ULL),
        FORMAT_CASE(L"4.0 Gi", L"%#U", -1),                // unsigned 32 bits
        FORMAT_CASE(L"-1.5b10", L"%I", -1536),
        FORMAT_CASE(L"+1.5b10", L"%+I", 1536),
        FORMAT_CASE(L"-8.0 Ei", L"%#LI", (long long)0x8000000000000000ULL),
        FORMAT_CASE(L"1.500 Ki", L"%#.4U", 1536),
        FORMAT_CASE(L"1.000b10", L"%.4U", 1024),
        FORMAT_CASE(L"   1.5b10", L"%9U", 1536),
        FORMAT_CASE(L"1.5b10   |", L"%-9U|", 1536),
        FORMAT_CASE(L"1.50b10", L"%.*U", -1, 1536),        // a negative precision means 3
    };
    CheckFormatCases(cases);
}

TEST(FormatFloat, SpecialValues)
{
    static const FormatCase cases[] = {
        FORMAT_CASE(L"{ nan}", L"%f", kNan),
        FORMAT_CASE(L"  { nan}", L"%8f", kNan),
        FORMAT_CASE(L"{-inf}  |", L"%-8e|", -kInf),
        FORMAT_CASE(L"00{+inf}", L"%08g", kInf),
        FORMAT_CASE(L"{+inf}", L"%+.3a", kInf),
        FORMAT_CASE(L"{ nan}", L"%#F", kNan),
    };
    CheckFormatCases(cases);
}

TEST(FormatFloat, WidthIsLimitedTo512)
{
    GString s;
    ASSERT_EQ(1, Format(&s, L"%1000f", 1.0));
    EXPECT_EQ(512, s.length);
    ASSERT_EQ(1, Format(&s, L"%1000d", 1));
    EXPECT_EQ(1000, s.length);
}
