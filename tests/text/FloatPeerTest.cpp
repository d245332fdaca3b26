// 'e' and 'f' against the host C library: the host build wrote the texts glibc's printf gives
// for many doubles and precisions 1 to 17 (float_peer_gen); every one must come out the same.
#include "tests/text/TextTestUtil.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

// The host tree's file, by its Linux path, through Wine's drive Z:.
std::string CasesPath()
{
    const char* host = getenv("KBD_HOST_DIR");
    if (!host || !*host)
        return std::string();
    std::string path = std::string("Z:") + host + "/tests/text/float_peer_cases.txt";
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

} // namespace

TEST(FloatPeer, ExponentAndFixedDigitsMatchTheHostLibrary)
{
    std::string path = CasesPath();
    ASSERT_FALSE(path.empty()) << "KBD_HOST_DIR is not set";
    FILE* in = fopen(path.c_str(), "r");
    ASSERT_NE(nullptr, in) << path;

    static char line[1024];
    int cases = 0;
    int mismatches = 0;
    int exponentCases = 0;
    GString s;
    while (fgets(line, sizeof line, in)) {
        unsigned long long bits;
        char conversion;
        int precision;
        int consumed = 0;
        ASSERT_EQ(3, sscanf(line, "%llx %c %d %n", &bits, &conversion, &precision, &consumed)) << line;
        std::string expected(line + consumed);
        while (!expected.empty() && (expected.back() == '\n' || expected.back() == '\r'))
            expected.pop_back();
        double value;
        memcpy(&value, &bits, 8);
        const wchar_t* format = conversion == 'e' ? L"%.*e" : L"%.*f";
        exponentCases += conversion == 'e';
        cases++;
        int result = Format(&s, format, precision, value);
        std::wstring got = Wide(s);
        if (result != 1 || got != std::wstring(expected.begin(), expected.end())) {
            if (++mismatches <= 20)
                ADD_FAILURE() << "bits " << std::hex << bits << std::dec << " %." << precision
                              << conversion << ": expected " << expected << ", got "
                              << std::string(got.begin(), got.end());
        }
    }
    fclose(in);
    EXPECT_EQ(0, mismatches) << "of " << cases;
    // The generator writes about 3500 doubles at 17 precisions each, and 3000 ties and near-ties.
    EXPECT_GT(cases, 100000);
    EXPECT_GT(exponentCases, 50000);
}
