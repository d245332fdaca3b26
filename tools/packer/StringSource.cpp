#include "tools/packer/StringSource.h"

#include "payload/BlobHeader.h"
#include "payload/DataBuffer.h"

#include <algorithm>
#include <map>

namespace {

// Decodes one code point at text[i]; the text is known to be valid.
uint32_t NextCodePoint(const std::string& text, size_t* i)
{
    const unsigned char c = (unsigned char)text[*i];
    int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    uint32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
    ++*i;
    while (extra-- > 0)
        cp = (cp << 6) | ((unsigned char)text[(*i)++] & 0x3F);
    return cp;
}

int ParseId(const std::string& token, uint32_t* id)
{
    if (token.empty())
        return 0;
    unsigned long long value = 0;
    size_t i = 0;
    int base = 10;
    if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
        base = 16;
        i = 2;
    }
    for (; i < token.size(); ++i) {
        const char c = token[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return 0;
        value = value * base + digit;
        if (value > 0xFFFFFFFFull)
            return 0;
    }
    *id = (uint32_t)value;
    return 1;
}

} // namespace

int IsValidUtf8(const std::string& text)
{
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = (unsigned char)text[i];
        int extra;
        uint32_t min;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1, min = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2, min = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3, min = 0x10000;
        } else {
            return 0;
        }
        if (i + extra >= text.size())
            return 0;
        uint32_t cp = c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const unsigned char t = (unsigned char)text[i + k];
            if ((t & 0xC0) != 0x80)
                return 0;
            cp = (cp << 6) | (t & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return 0;
        i += extra + 1;
    }
    return 1;
}

int ParseStringSource(const std::string& file, const std::string& source, std::vector<StringEntry>* entries, PackError* error)
{
    std::map<uint32_t, int> seen;
    size_t at = 0;
    int line = 0;
    // A byte-order mark some editors write is not part of the first line.
    if (source.compare(0, 3, "\xEF\xBB\xBF") == 0)
        at = 3;
    while (at < source.size()) {
        size_t end = source.find('\n', at);
        if (end == std::string::npos)
            end = source.size();
        std::string text = source.substr(at, end - at);
        at = end + 1;
        ++line;
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        auto fail = [&](const std::string& message) {
            *error = PackError{ file, line, message };
            return 0;
        };
        if (!IsValidUtf8(text))
            return fail("invalid UTF-8");
        const size_t first = text.find_first_not_of(" \t");
        if (first == std::string::npos || text[first] == '#')
            continue;
        size_t idEnd = text.find_first_of(" \t", first);
        if (idEnd == std::string::npos)
            idEnd = text.size();
        StringEntry entry;
        entry.line = line;
        if (!ParseId(text.substr(first, idEnd - first), &entry.id))
            return fail("'" + text.substr(first, idEnd - first) + "' is not a string id (decimal or 0x hex, 32 bits)");
        const size_t textStart = text.find_first_not_of(" \t", idEnd);
        for (size_t i = textStart == std::string::npos ? text.size() : textStart; i < text.size(); ++i) {
            if (text[i] != '\\') {
                entry.text += text[i];
                continue;
            }
            const char next = i + 1 < text.size() ? text[i + 1] : '\0';
            switch (next) {
            case 'n': entry.text += '\n'; break;
            case 'r': entry.text += '\r'; break;
            case 't': entry.text += '\t'; break;
            case 's': entry.text += ' '; break;
            case '\\': entry.text += '\\'; break;
            default:
                return fail(next ? std::string("unknown escape '\\") + next + "'" : std::string("'\\' at the end of the line"));
            }
            ++i;
        }
        auto previous = seen.find(entry.id);
        if (previous != seen.end())
            return fail("string id " + std::to_string(entry.id) + " is already defined on line " + std::to_string(previous->second));
        seen[entry.id] = line;
        entries->push_back(entry);
    }
    if (entries->empty()) {
        *error = PackError{ file, 0, "no entries (the program refuses an empty string table)" };
        return 0;
    }
    return 1;
}

Bytes BuildStringTable(std::vector<StringEntry> entries)
{
    std::sort(entries.begin(), entries.end(), [](const StringEntry& a, const StringEntry& b) { return a.id < b.id; });
    Bytes pool;
    Bytes index(entries.size() * kStringIndexEntrySize);
    unsigned char word[4];
    for (size_t n = 0; n < entries.size(); ++n) {
        // Entries start on 4-byte boundaries so wide text stays aligned.
        while (pool.size() % 4)
            pool.push_back(0);
        WriteLe32(&index[n * 8], entries[n].id);
        WriteLe32(&index[n * 8 + 4], (uint32_t)pool.size());
        const std::string& text = entries[n].text;
        std::vector<uint16_t> units;
        bool beyondBmp = false;
        for (size_t i = 0; i < text.size();) {
            uint32_t cp = NextCodePoint(text, &i);
            if (cp >= 0x10000) {
                beyondBmp = true;
                cp -= 0x10000;
                units.push_back((uint16_t)(0xD800 + (cp >> 10)));
                units.push_back((uint16_t)(0xDC00 + (cp & 0x3FF)));
            } else {
                units.push_back((uint16_t)cp);
            }
        }
        if (beyondBmp) {
            WriteLe32(word, (uint32_t)units.size() & kStoredLengthMask);
            pool.insert(pool.end(), word, word + 4);
            for (uint16_t u : units) {
                pool.push_back((unsigned char)u);
                pool.push_back((unsigned char)(u >> 8));
            }
        } else {
            WriteLe32(word, kStoredNarrowBit | ((uint32_t)text.size() & kStoredLengthMask));
            pool.insert(pool.end(), word, word + 4);
            pool.insert(pool.end(), text.begin(), text.end());
        }
    }
    index.insert(index.end(), pool.begin(), pool.end());
    return index;
}
