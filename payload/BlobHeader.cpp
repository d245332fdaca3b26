#include "payload/BlobHeader.h"

uint32_t ReadLe32(const unsigned char* b)
{
    return (uint32_t)b[0] | ((uint32_t)b[1] << 8) | ((uint32_t)b[2] << 16) | ((uint32_t)b[3] << 24);
}

void WriteLe32(unsigned char* b, uint32_t value)
{
    b[0] = (unsigned char)value;
    b[1] = (unsigned char)(value >> 8);
    b[2] = (unsigned char)(value >> 16);
    b[3] = (unsigned char)(value >> 24);
}

void BlobHeader::Read(const unsigned char* b)
{
    storedSize = ReadLe32(b);
    size = ReadLe32(b + 4);
    packedSize = ReadLe32(b + 8);
    dataCrc = ReadLe32(b + 12);
    packedCrc = ReadLe32(b + 16);
    itemCount = ReadLe32(b + 20);
}

void BlobHeader::Write(unsigned char* b) const
{
    WriteLe32(b, storedSize);
    WriteLe32(b + 4, size);
    WriteLe32(b + 8, packedSize);
    WriteLe32(b + 12, dataCrc);
    WriteLe32(b + 16, packedCrc);
    WriteLe32(b + 20, itemCount);
}
