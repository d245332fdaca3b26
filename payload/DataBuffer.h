#ifndef KBD_PAYLOAD_DATABUFFER_H
#define KBD_PAYLOAD_DATABUFFER_H

// A decoded string table:
//
//   index   count x 8 bytes, sorted by id as unsigned numbers
//             +0  id      u32 LE
//             +4  offset  u32 LE, of the entry in the pool
//   pool    from 8 x count to the end of the table; at each offset a stored entry:
//             +0  header  u32 LE: bit 31 set = UTF-8, clear = UTF-16LE;
//                         bits 0-28 = characters (bytes when narrow, 16-bit units when wide)
//             +4  the characters, no terminator
//
// Lookup trusts nothing it reads: an entry whose offset or text would reach past the end of the
// decoded table counts as missing.

#include <stdint.h>

enum
{
    kStringIndexEntrySize = 8,
    kStoredEntryHeaderSize = 4
};

const uint32_t kStoredNarrowBit = 0x80000000u;
const uint32_t kStoredLengthMask = 0x1FFFFFFFu;

class DataBuffer
{
public:
    DataBuffer();
    ~DataBuffer();

    void Clear();
    void Release();
    // Takes the blob when count > 0 and the index fits in the length bytes; otherwise 0 and the
    // caller still owns it.
    int Attach(unsigned char* blob, int itemCount, int length);

    // The stored entry of the id, or null.
    const unsigned char* Lookup(uint32_t id) const;

    int32_t count;
    unsigned char* data;
    unsigned char* index;
    unsigned char* pool;
    int32_t size;  // decoded length in bytes, so the lookup can stay inside it

private:
    DataBuffer(const DataBuffer&);
    DataBuffer& operator=(const DataBuffer&);
};

#endif
