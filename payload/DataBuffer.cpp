#include "payload/DataBuffer.h"

#include "payload/BlobHeader.h"

#include <stdlib.h>

DataBuffer::DataBuffer()
{
    Clear();
}

DataBuffer::~DataBuffer()
{
    Release();
}

void DataBuffer::Clear()
{
    count = 0;
    data = 0;
    index = 0;
    pool = 0;
    size = 0;
}

void DataBuffer::Release()
{
    free(data);
    Clear();
}

int DataBuffer::Attach(unsigned char* blob, int itemCount, int length)
{
    if (!blob || itemCount <= 0 || length < 0)
        return 0;
    if ((uint64_t)itemCount * kStringIndexEntrySize > (uint64_t)length)
        return 0;
    Release();
    count = itemCount;
    data = blob;
    index = blob;
    pool = blob + (size_t)itemCount * kStringIndexEntrySize;
    size = length;
    return 1;
}

const unsigned char* DataBuffer::Lookup(uint32_t id) const
{
    if (!index || !pool)
        return 0;
    const uint32_t poolLength = (uint32_t)(size - (pool - index));
    int lo = 0, hi = count - 1;
    while (hi >= lo) {
        const int mid = lo + (hi - lo) / 2;
        const unsigned char* entry = index + (size_t)mid * kStringIndexEntrySize;
        const uint32_t entryId = ReadLe32(entry);
        if (entryId == id) {
            const uint32_t offset = ReadLe32(entry + 4);
            if (poolLength < kStoredEntryHeaderSize || offset > poolLength - kStoredEntryHeaderSize)
                return 0;
            const uint32_t word = ReadLe32(pool + offset);
            const uint32_t units = word & kStoredLengthMask;
            const uint64_t bytes = (word & kStoredNarrowBit) ? (uint64_t)units : 2 * (uint64_t)units;
            if (bytes > (uint64_t)(poolLength - kStoredEntryHeaderSize - offset))
                return 0;
            return pool + offset;
        }
        if (entryId < id)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return 0;
}
