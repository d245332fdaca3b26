// UpperCaseUnit: spot checks, and all 65,536 units against UnicodeData.txt 5.2
// read from the source tree (KBD_SOURCE_DIR, reached through Wine's Z: drive).
#include "text/GString.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <stdlib.h>
#include <string>
#include <vector>

struct UpperCase
{
    unsigned unit;
    unsigned upper;
};

class UpperCaseSpots : public ::testing::TestWithParam<UpperCase> {};

TEST_P(UpperCaseSpots, Table)
{
    EXPECT_EQ(GetParam().upper, (unsigned)UpperCaseUnit((wchar_t)GetParam().unit));
}

INSTANTIATE_TEST_SUITE_P(Table, UpperCaseSpots, ::testing::Values(
    UpperCase{ 'a', 'A' }, UpperCase{ 'z', 'Z' }, UpperCase{ 'A', 'A' }, UpperCase{ '{', '{' },
    UpperCase{ 0x00E9, 0x00C9 }, UpperCase{ 0x00F7, 0x00F7 }, UpperCase{ 0x00FF, 0x0178 },
    UpperCase{ 0x00F8, 0x00D8 }, UpperCase{ 0x0131, 'I' }, UpperCase{ 0x01C5, 0x01C4 },
    UpperCase{ 0x01C6, 0x01C4 }, UpperCase{ 0x03C2, 0x03A3 }, UpperCase{ 0x0451, 0x0401 },
    UpperCase{ 0x0430, 0x0410 }, UpperCase{ 0x0101, 0x0100 }, UpperCase{ 0x0100, 0x0100 },
    UpperCase{ 0x00DF, 0x00DF }, UpperCase{ 0x00B5, 0x00B5 }, UpperCase{ 0x03D0, 0x03D0 },
    UpperCase{ 0x03D5, 0x03D5 }, UpperCase{ 0x03D6, 0x03D6 }, UpperCase{ 0x03F0, 0x03F0 },
    UpperCase{ 0x03F1, 0x03F1 }, UpperCase{ 0x1F80, 0x1F88 }, UpperCase{ 0x24D0, 0x24B6 },
    UpperCase{ 0x2D00, 0x10A0 }, UpperCase{ 0x0561, 0x0531 }, UpperCase{ 0xFF41, 0xFF21 },
    UpperCase{ 0xA78C, 0xA78B }, UpperCase{ 0xA78D, 0xA78D }, UpperCase{ 0x1D79, 0xA77D },
    UpperCase{ 0xD83D, 0xD83D }, UpperCase{ 0xFFFF, 0xFFFF }, UpperCase{ 0, 0 }
));

namespace {

// The test's Windows path of a file in the source tree.
std::string SourcePath(const char* relative)
{
    const char* root = getenv("KBD_SOURCE_DIR");
    if (!root)
        return std::string();
    std::string path = root;
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    path += "/";
    path += relative;
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

} // namespace

TEST(UpperCaseData, EveryUnitMatchesUnicodeData52)
{
    std::string path = SourcePath("text/UnicodeData-5.2.0.txt");
    ASSERT_FALSE(path.empty()) << "KBD_SOURCE_DIR is not set";
    std::ifstream in(path.c_str());
    ASSERT_TRUE(in.good()) << "cannot open " << path;

    std::vector<unsigned> expected(0x10000);
    for (unsigned v = 0; v < 0x10000; v++)
        expected[v] = v;
    std::string line;
    int mappings = 0;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream split(line);
        std::string field;
        while (std::getline(split, field, ';'))
            fields.push_back(field);
        ASSERT_GE(fields.size(), 13u) << line;
        unsigned code = (unsigned)strtoul(fields[0].c_str(), nullptr, 16);
        if (code > 0xFFFF || fields[12].empty())
            continue;
        expected[code] = (unsigned)strtoul(fields[12].c_str(), nullptr, 16);
        mappings++;
    }
    EXPECT_GT(mappings, 900);
    // Kept unchanged on purpose: micro sign and the Greek symbol variants.
    for (unsigned kept : { 0x00B5u, 0x03D0u, 0x03D5u, 0x03D6u, 0x03F0u, 0x03F1u })
        expected[kept] = kept;

    int mismatches = 0;
    for (unsigned v = 0; v < 0x10000; v++) {
        unsigned got = UpperCaseUnit((wchar_t)v);
        if (got != expected[v] && ++mismatches <= 20)
            ADD_FAILURE() << std::hex << "U+" << v << ": got U+" << got << ", data U+"
                          << expected[v];
    }
    EXPECT_EQ(0, mismatches);
}
