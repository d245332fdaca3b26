#include "payload/Guard.h"

#include "payload/BlobHeader.h"
#include "payload/Blowfish.h"
#include "payload/Crc32.h"

#include <stdlib.h>
#include <string.h>
#include <zlib.h>

namespace {

// No DEFLATE stream inflates by more than this factor (a 258-byte match in two bits); a larger
// claimed size is a damaged header, not data.
const uint64_t kMaxInflateRatio = 1032;

// The decoded length must fit the caller's int, with the two spare bytes of the output buffer.
const uint32_t kMaxDecodedSize = 0x7FFFFFFFu - 2;

int Inflate(const unsigned char* stream, uint32_t packedSize, unsigned char* out, uint32_t size)
{
    z_stream z;
    memset(&z, 0, sizeof(z));
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return 0;
    z.next_in = const_cast<unsigned char*>(stream);
    z.avail_in = packedSize;
    z.next_out = out;
    z.avail_out = size;
    int result = inflate(&z, Z_FINISH);
    int ok = result == Z_STREAM_END && z.total_out == size;
    inflateEnd(&z);
    return ok;
}

} // namespace

CGuard::CGuard(const GuardParameters& parameters)
    : keyBlob(0), blobLength(kKeyBlobLength), keyLength(kCipherKeyLength)
{
    SetParameters(parameters);
}

CGuard::~CGuard()
{
    Release();
}

void CGuard::SetParameters(const GuardParameters& p)
{
    keyOffset = p.keyOffset;
    move1Source = p.move1Source;
    move1Target = p.move1Target;
    move1Count = p.move1Count;
    move2Source = p.move2Source;
    move2Target = p.move2Target;
    move2Count = p.move2Count;
    xorCount = p.xorCount;
    xorStart = p.xorStart;
    xorKeyPos = p.xorKeyPos;
}

void CGuard::Release()
{
    if (!keyBlob)
        return;
    memset(keyBlob, 0, (size_t)blobLength);
    free(keyBlob);
    keyBlob = 0;
}

int CGuard::Load(const unsigned char* source, int length)
{
    Release();
    if (!source || length <= 0 || length != blobLength)
        return 0;
    keyBlob = (unsigned char*)malloc((size_t)length);
    if (!keyBlob)
        return 0;
    memcpy(keyBlob, source, (size_t)length);
    MoveBytes(move1Target, move1Source, move1Count);
    MoveBytes(move2Target, move2Source, move2Count);
    XorSpan(xorStart, xorKeyPos, xorCount);
    return 1;
}

void CGuard::MoveBytes(int target, int source, int count)
{
    const int L = blobLength;
    if (!keyBlob || target < 0 || target >= L || source < 0 || source >= L || count <= 0)
        return;
    if (target < source) {
        if (count > L - source)
            count = L - source;
        for (int i = 0; i < count; ++i)
            keyBlob[target + i] = keyBlob[source + i];
    } else {
        if (count > L - target)
            count = L - target;
        for (int i = count - 1; i >= 0; --i)
            keyBlob[target + i] = keyBlob[source + i];
    }
}

void CGuard::XorSpan(int start, int keyPosition, int count)
{
    const int L = blobLength;
    if (!keyBlob || start < 0 || start >= L || keyPosition < 0 || keyPosition >= L || count <= 0)
        return;
    const unsigned char key = keyBlob[keyPosition];
    if (count > L - start)
        count = L - start;
    for (int i = 0; i < count; ++i)
        keyBlob[start + i] ^= key;
}

unsigned char* CGuard::Decode(const unsigned char* stored, int* length, int* itemCount) const
{
    if (!keyBlob || !stored || !length)
        return 0;
    const int storedLength = *length;
    // A blob shorter than its header, or too long to round up, cannot be one the packer made.
    if (storedLength < kBlobHeaderSize || storedLength > 0x7FFFFFF0)
        return 0;
    if (keyOffset < 0 || keyLength <= 0 || keyOffset > blobLength - keyLength)
        return 0;

    BlowfishContext context;
    if (!context.SetKey(keyBlob + keyOffset, keyLength))
        return 0;

    const size_t rounded = ((size_t)storedLength + 7) & ~(size_t)7;
    unsigned char* work = (unsigned char*)malloc(rounded);
    if (!work)
        return 0;
    memset(work + storedLength, 0, rounded - (size_t)storedLength);
    context.Decrypt(stored, work, (size_t)storedLength);

    unsigned char* out = 0;
    BlobHeader header;
    header.Read(work);
    int ok = header.storedSize == (uint32_t)storedLength
          // The stream must lie inside the deciphered blob.
          && header.packedSize <= (uint32_t)storedLength - kBlobHeaderSize
          && Crc32(0, work + kBlobHeaderSize, header.packedSize) == header.packedCrc
          && header.size <= kMaxDecodedSize
          && (uint64_t)header.size <= (uint64_t)header.packedSize * kMaxInflateRatio;
    if (ok) {
        out = (unsigned char*)malloc((size_t)(header.size & ~1u) + 2);
        ok = out != 0
          && Inflate(work + kBlobHeaderSize, header.packedSize, out, header.size)
          && Crc32(0, out, header.size) == header.dataCrc;
    }

    memset(work, 0, rounded);
    free(work);
    if (!ok) {
        free(out);
        return 0;
    }
    if (itemCount)
        *itemCount = (int)header.itemCount;
    *length = (int)header.size;
    return out;
}
