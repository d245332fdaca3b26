// Host program that writes the pairs of UpperCaseTable.inc from UnicodeData.txt.
//
// usage: upper_case_table_gen UnicodeData.txt > UpperCaseTable.inc
//
// The table holds every Basic Multilingual Plane code point whose simple uppercase mapping
// differs from itself and which the range rules of UpperCaseRules.h leave to the table, minus
// the code points that stay unchanged on purpose. The program fails (exit 1, naming the file
// and line) on malformed input and when a range rule disagrees with the data.
#include "text/UpperCaseRules.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Case variants of micro, beta, theta, phi, pi, kappa and rho that keep their form.
const unsigned kKeptUnchanged[] = { 0x00B5, 0x03D0, 0x03D5, 0x03D6, 0x03F0, 0x03F1 };

bool ParseHex(const std::string& text, unsigned* value)
{
    if (text.empty() || text.size() > 6)
        return false;
    char* end = nullptr;
    unsigned long v = std::strtoul(text.c_str(), &end, 16);
    if (*end != 0)
        return false;
    *value = (unsigned)v;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s UnicodeData.txt > UpperCaseTable.inc\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "%s: cannot open\n", argv[1]);
        return 1;
    }
    std::map<unsigned, unsigned> upper;
    std::string line;
    for (int number = 1; std::getline(in, line); number++) {
        std::vector<std::string> fields;
        std::stringstream split(line);
        std::string field;
        while (std::getline(split, field, ';'))
            fields.push_back(field);
        unsigned code = 0;
        unsigned mapped = 0;
        if (fields.size() < 13 || !ParseHex(fields[0], &code)
            || (!fields[12].empty() && !ParseHex(fields[12], &mapped))) {
            std::fprintf(stderr, "%s:%d: malformed line\n", argv[1], number);
            return 1;
        }
        if (code <= 0xFFFF && !fields[12].empty() && mapped != code) {
            if (mapped > 0xFFFF) {
                std::fprintf(stderr, "%s:%d: uppercase outside the BMP\n", argv[1], number);
                return 1;
            }
            upper[code] = mapped;
        }
    }
    for (unsigned kept : kKeptUnchanged)
        upper.erase(kept);

    std::vector<std::pair<unsigned, unsigned>> pairs;
    for (unsigned v = 0; v <= 0xFFFF; v++) {
        auto found = upper.find(v);
        unsigned expected = found == upper.end() ? v : found->second;
        int rule = UpperCaseByRule(v);
        if (rule < 0) {
            if (expected != v)
                pairs.push_back({ v, expected });
        } else if ((unsigned)rule != expected) {
            std::fprintf(stderr, "%s: rule maps U+%04X to U+%04X, the data to U+%04X\n", argv[1],
                         v, (unsigned)rule, expected);
            return 1;
        }
    }

    std::printf("// Generated from UnicodeData-5.2.0.txt by text/UpperCaseTableGen.cpp; do not edit.\n"
                "// Regenerate from the source root:\n"
                "//   g++ -std=c++17 -I. -o /tmp/upper_case_table_gen text/UpperCaseTableGen.cpp\n"
                "//   /tmp/upper_case_table_gen text/UnicodeData-5.2.0.txt > text/UpperCaseTable.inc\n"
                "// (the host build also makes it: build/host/tests/text/upper_case_table_gen).\n"
                "// %zu pairs { lower, upper } that the rules of UpperCaseRules.h leave open.\n",
                pairs.size());
    for (size_t i = 0; i < pairs.size(); i++)
        std::printf("{ 0x%04X, 0x%04X },%s", pairs[i].first, pairs[i].second,
                    i % 4 == 3 || i + 1 == pairs.size() ? "\n" : " ");
    return 0;
}
