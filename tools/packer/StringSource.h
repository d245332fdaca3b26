#ifndef KBD_PACKER_STRINGSOURCE_H
#define KBD_PACKER_STRINGSOURCE_H

// The translators' source of a string table (UTF-8):
//
//   # a comment line          blank lines are ignored too
//   86 0415                   <id> <text>: id decimal or 0x hex, then spaces or tabs, then the text
//   93 Line one\nline two     escapes: \n line feed, \r carriage return, \t tab, \\ backslash,
//                             \s space (Windows text files and edit controls want \r\n)
//
// The table is written in the program's StringTable format (payload/DataBuffer.h), sorted by
// unsigned id. Entries are narrow UTF-8, except text with characters beyond U+FFFF, which goes
// wide (UTF-16 with surrogate pairs) because the program widens narrow text one 16-bit unit per
// character.

#include "tools/packer/BlobEncoder.h"
#include "tools/packer/PackError.h"

#include <cstdint>
#include <string>
#include <vector>

struct StringEntry
{
    uint32_t id = 0;
    std::string text;  // UTF-8
    int line = 0;
};

// 1 and the entries, or 0 and the first error.
int ParseStringSource(const std::string& file, const std::string& source, std::vector<StringEntry>* entries, PackError* error);

// The decoded table bytes; the entries need not be sorted.
Bytes BuildStringTable(std::vector<StringEntry> entries);

// Checks UTF-8 strictly (no overlong forms, no surrogates, nothing above U+10FFFF).
int IsValidUtf8(const std::string& text);

#endif
