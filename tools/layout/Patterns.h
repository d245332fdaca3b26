// The byte patterns by which an installation finds the tables it patches in a layout library
// (string ids 146-151, upper-case hexadecimal):
//   146  the number-pad decimal key's two characters (the pattern starts at the first one)
//   147, 148, 149  the scan-code table of variant 0, 1, 2 (starts at scan code 0)
//   150  the E0 list, 151 the E1 list (each starts at its first record)
// One pattern text serves every library it is applied to, so each is the shortest run of
// bytes, from the table's start, that is the same in all those libraries and occurs exactly
// once in each of them; a variant's scan-code pattern occurs in no library of another variant.
#ifndef KBD_PATTERNS_H
#define KBD_PATTERNS_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

enum PatternTable { kPatDecimal, kPatScan, kPatE0, kPatE1, kPatTableCount };

const int kPatternDecimalId = 146;
const int kPatternScanId = 147;   // + variant
const int kPatternE0Id = 150;
const int kPatternE1Id = 151;

struct PatternLibrary {
    std::string name;
    int variant = 0;
    std::vector<uint8_t> bytes;
    int64_t offset[kPatTableCount] = {-1, -1, -1, -1};   // file offsets of the tables
};

class CPeImage;

class CPatternFinder {
public:
    // The address of the top table in a mapped library, read from KbdLayerDescriptor's code.
    static bool FindTopTable(const CPeImage& pe, uint64_t& top, std::string& error);
    // Finds the tables of a library file by walking it; false with `error` otherwise.
    static bool Locate(PatternLibrary& library, std::string& error);
    // The patterns of ids 146-151 for these libraries; false with `error` when a table has no
    // run of bytes that serves as its pattern.
    static bool Compute(const std::vector<PatternLibrary>& libraries, std::map<int, std::string>& patterns, std::string& error);

    static int CountOccurrences(const std::vector<uint8_t>& haystack, const std::vector<uint8_t>& needle);
    static std::vector<uint8_t> FromHex(const std::string& hex);
    static std::string ToHex(const uint8_t* bytes, size_t size);

    // patterns.txt: "<id> <text>" lines, # comments.
    static std::string Format(const std::map<int, std::string>& patterns);
    static bool Parse(const std::string& text, std::map<int, std::string>& patterns);
};

#endif
