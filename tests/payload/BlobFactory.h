#ifndef KBD_TESTS_PAYLOAD_BLOBFACTORY_H
#define KBD_TESTS_PAYLOAD_BLOBFACTORY_H

// Stored blobs for the decoder tests, made with zlib and the program's own cipher so that the
// same tests run natively and under Wine. Each header field can be forced to a damaged value.

#include "payload/BlobHeader.h"
#include "payload/Blowfish.h"
#include "payload/Crc32.h"
#include "payload/Guard.h"

#include <cstring>
#include <functional>
#include <vector>
#include <zlib.h>

namespace blobtest {

using Bytes = std::vector<unsigned char>;

// A key holder whose scrambling is undone by a single XOR pass over the key.
inline GuardParameters Parameters()
{
    GuardParameters p{};
    p.keyOffset = 200;
    p.move1Source = 0, p.move1Target = 0, p.move1Count = 0;
    p.move2Source = 0, p.move2Target = 0, p.move2Count = 0;
    p.xorCount = kCipherKeyLength, p.xorStart = 200, p.xorKeyPos = 900;
    return p;
}

inline Bytes ScrambledKeyBlob()
{
    Bytes blob(kKeyBlobLength);
    for (int i = 0; i < kKeyBlobLength; ++i)
        blob[i] = (unsigned char)(i * 37 + 11);
    return blob;
}

inline Bytes UnscrambledKey()
{
    Bytes blob = ScrambledKeyBlob();
    for (int i = 200; i < 200 + kCipherKeyLength; ++i)
        blob[i] ^= blob[900];
    return Bytes(blob.begin() + 200, blob.begin() + 200 + kCipherKeyLength);
}

inline Bytes RawDeflate(const Bytes& data)
{
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, data.size()) + 16);
    z.next_in = const_cast<unsigned char*>(data.data());
    z.avail_in = (uInt)data.size();
    z.next_out = out.data();
    z.avail_out = (uInt)out.size();
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Header + stream + padding, the header passed through `damage` before enciphering. The buffer
// may be longer than the stored length (`extra` bytes of the plain blob enciphered beyond it).
inline Bytes Seal(const Bytes& data, uint32_t itemCount, const std::function<void(BlobHeader&, Bytes&)>& damage = nullptr)
{
    Bytes stream = RawDeflate(data);
    Bytes plain((24 + stream.size() + 7) & ~size_t(7), 0);
    BlobHeader h;
    h.storedSize = (uint32_t)plain.size();
    h.size = (uint32_t)data.size();
    h.packedSize = (uint32_t)stream.size();
    h.dataCrc = Crc32(0, data.data(), data.size());
    h.packedCrc = Crc32(0, stream.data(), stream.size());
    h.itemCount = itemCount;
    std::memcpy(plain.data() + 24, stream.data(), stream.size());
    if (damage)
        damage(h, plain);
    h.Write(plain.data());
    Bytes key = UnscrambledKey();
    BlowfishContext context;
    context.SetKey(key.data(), (int)key.size());
    Bytes sealed(plain.size());
    context.Encrypt(plain.data(), sealed.data(), plain.size());
    return sealed;
}

} // namespace blobtest

#endif
