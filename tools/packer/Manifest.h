#ifndef KBD_PACKER_MANIFEST_H
#define KBD_PACKER_MANIFEST_H

// The packer's manifest: one role and one path per line, '#' starts a comment line.
//
//   seed       seed.txt                          key material (any bytes)
//   common     strings/common.txt                string tables (StringSource.h): common, ui0,
//   ui0 ...                                      ui1, setup
//   licence0   licence/licence-0.txt             licence texts, as they are: licence0, licence1
//   layouts    ${layouts}/s{set}r{row}c{slot}.dll  the 78 layout libraries; {slot} has two digits
//   docmain    docs/manual.pdf                   documents and page file: docmain, page, docsecond
//
// Relative paths start at the manifest's folder; ${name} is a value given to the packer with
// -D name=value. Every role appears exactly once.

#include "tools/packer/PackError.h"

#include <map>
#include <string>

struct ManifestEntry
{
    std::string path;  // variables substituted, relative paths resolved
    int line = 0;
};

struct Manifest
{
    std::string file;
    int lineCount = 0;
    std::map<std::string, ManifestEntry> roles;
};

extern const char* const kManifestRoles[];  // null-terminated

int ParseManifest(const std::string& file, const std::string& text, const std::map<std::string, std::string>& variables,
                  Manifest* manifest, PackError* error);

// The layout path of one catalogue cell from the pattern.
std::string LayoutPath(const std::string& pattern, int set, int row, int slot);

#endif
