// The parts of the Unicode Character Database's UnicodeData.txt the layout compiler needs:
// simple upper-case mappings (for Caps Lock) and canonical decompositions of Latin letters
// (for the dead-key tables). Fields of a line, separated by ';': 0 code point, 1 name,
// 2 category, 5 decomposition ("<tag> ..." when it is a compatibility one), 12 upper case.
#ifndef KBD_UNICODE_DATA_H
#define KBD_UNICODE_DATA_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct UnicodeComposition {
    uint32_t base = 0;
    uint32_t composed = 0;
};

class CUnicodeData {
public:
    // False with Error() naming the file and line of a malformed entry.
    bool Load(const std::string& path);
    const std::string& Error() const { return m_error; }

    // The simple upper-case mapping, or 0 when there is none.
    uint32_t Upper(uint32_t c) const;
    // Every precomposed character whose canonical decomposition is a Latin letter followed by
    // `mark`, in order of the base letter.
    std::vector<UnicodeComposition> Compositions(uint32_t mark) const;

private:
    struct Entry {
        std::string name;
        std::string category;
        uint32_t upper = 0;
        std::vector<uint32_t> decomposition;   // canonical only
    };
    std::map<uint32_t, Entry> m_entries;
    std::string m_error;
};

#endif
