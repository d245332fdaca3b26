#ifndef KBD_PAYLOAD_BLOBHEADER_H
#define KBD_PAYLOAD_BLOBHEADER_H

// A stored blob, once deciphered (all fields little-endian, 32-bit unsigned):
//
//   offset  field        meaning
//   0       storedSize   length of the stored (enciphered) blob; a multiple of 8
//   4       size         length of the inflated data
//   8       packedSize   length of the raw DEFLATE stream (no zlib or gzip wrapper)
//   12      dataCrc      CRC-32 of the inflated data
//   16      packedCrc    CRC-32 of the stream
//   20      itemCount    index entries of a string table; 0 otherwise
//   24      stream       packedSize bytes, then zero padding up to storedSize
//
// The whole stored blob is enciphered with Blowfish in ECB mode.

#include <stdint.h>

enum { kBlobHeaderSize = 24 };

struct BlobHeader
{
    uint32_t storedSize;
    uint32_t size;
    uint32_t packedSize;
    uint32_t dataCrc;
    uint32_t packedCrc;
    uint32_t itemCount;

    void Read(const unsigned char* bytes);
    void Write(unsigned char* bytes) const;
};

uint32_t ReadLe32(const unsigned char* bytes);
void WriteLe32(unsigned char* bytes, uint32_t value);

#endif
