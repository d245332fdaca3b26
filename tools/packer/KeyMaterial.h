#ifndef KBD_PACKER_KEYMATERIAL_H
#define KBD_PACKER_KEYMATERIAL_H

// The key blob and its scrambling, derived only from the bytes of the seed file so that the same
// content always gives the same store. The moves copy bytes over others, so the scrambling is not
// invertible for a key chosen first: the packer draws the stored blob and the parameters, runs the
// program's own Load on them, and takes the cipher key from what Load produced.

#include "payload/Guard.h"
#include "tools/packer/BlobEncoder.h"

#include <string>

struct KeyMaterial
{
    Bytes scrambled;  // kKeyBlobLength bytes, stored as blob 5
    Bytes key;        // kCipherKeyLength bytes, at keyOffset of the unscrambled blob
    GuardParameters parameters{};
};

// 0 with a reason when the derived material fails its own checks.
int DeriveKeyMaterial(const std::string& seed, KeyMaterial* material, std::string* why);

#endif
