#ifndef KBD_PACKER_MANIFEST_H
#define KBD_PACKER_MANIFEST_H

// The packer's manifest: one role and its file per line, '#' starts a comment line.
//
//   seed       seed.txt                          key material (any bytes)
//   common     strings/common.txt more.txt       string tables (StringSource.h): common, ui0,
//   ui0 ...                                      ui1, setup; one or more files, merged into one
//                                                table (an id may be defined in one file only)
//   licence0   licence/licence-0.txt             licence texts, as they are: licence0, licence1
//   layouts    ${layouts}/s{set}r{row}c{slot}.dll  the 78 layout libraries; {slot} has two digits
//   docmain    docs/manual.pdf                   documents and page file: docmain, page, docsecond
//   failing-slots 3 6 9                          optional: catalogue slots that have no library
//                                                yet; their cells hold a blob that fails to decode
//
// Files are separated by blanks, so a literal path cannot contain one (a ${name} value may).
// Relative paths start at the manifest's folder; ${name} is a value given to the packer with
// -D name=value. Every role appears exactly once.

#include "tools/packer/PackError.h"

#include <map>
#include <set>
#include <string>
#include <vector>

struct ManifestEntry
{
    std::string path;                // the first file: variables substituted, relative paths resolved
    std::vector<std::string> paths;  // every file of the line, the same way (string tables may have several)
    int line = 0;
};

struct Manifest
{
    std::string file;
    int lineCount = 0;
    std::map<std::string, ManifestEntry> roles;
    std::set<int> failingSlots;
    int failingSlotsLine = 0;
};

extern const char* const kManifestRoles[];  // null-terminated

// 1 for the roles whose files are string-table sources.
int IsStringTableRole(const std::string& role);

int ParseManifest(const std::string& file, const std::string& text, const std::map<std::string, std::string>& variables,
                  Manifest* manifest, PackError* error);

// The layout path of one catalogue cell from the pattern.
std::string LayoutPath(const std::string& pattern, int set, int row, int slot);

#endif
