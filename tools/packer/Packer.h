#ifndef KBD_PACKER_PACKER_H
#define KBD_PACKER_PACKER_H

// Builds the asset store (payload/AssetStore.h) from a manifest and writes:
//   the store file      the 44 records, byte for byte as the program embeds them
//   the source file     C++ that embeds the store file (.incbin, found through the assembler's
//                       include path), the table of record addresses and the key parameters
//   optionally a depfile listing every input, and a report of the sizes measured per blob.
// Outputs are written only when everything succeeded.

#include "tools/packer/PackError.h"

#include <map>
#include <string>

struct PackOptions
{
    std::string manifest;
    std::string storeFile;
    std::string sourceFile;
    std::string depFile;
    std::string reportFile;
    std::map<std::string, std::string> variables;
    bool fast = false;  // zlib level 9 only
};

enum PackResult
{
    kPackDone = 0,
    kPackRefused = 1,   // the content is wrong; the error names file and line
    kPackUsage = 2,
    kPackFailed = 3     // an output could not be written, or a self-check failed
};

PackResult Pack(const PackOptions& options, PackError* error);

#endif
