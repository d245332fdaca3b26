#ifndef KBD_PACKER_BLOBENCODER_H
#define KBD_PACKER_BLOBENCODER_H

// Turns plain bytes into a stored blob (layout in payload/BlobHeader.h): raw DEFLATE, the
// 24-byte header, zero padding to whole 8-byte blocks, Blowfish ECB with the program's own code.

#include <cstddef>
#include <cstdint>
#include <vector>

using Bytes = std::vector<unsigned char>;

enum class Deflater { Zlib9, Zopfli };

Bytes DeflateZlib9(const Bytes& data);
Bytes DeflateZopfli(const Bytes& data);

// What the packer measured and chose for one blob.
struct DeflateChoice
{
    Bytes stream;
    Deflater used = Deflater::Zlib9;
    size_t zlibSize = 0;
    size_t zopfliSize = 0;
};

// The smaller of both (zlib on a tie).
// The smaller of zlib level 9 and zopfli; with fast, zlib level 9 alone (test stores, where the
// ratio does not matter and zopfli's time does).
DeflateChoice DeflateBest(const Bytes& data, bool fast = false);

// Header + stream + padding, enciphered with the key.
Bytes SealBlob(const Bytes& data, const Bytes& stream, uint32_t itemCount, const unsigned char* key, int keyLength);

#endif
