#include "tools/packer/BlobEncoder.h"

#include "payload/BlobHeader.h"
#include "payload/Blowfish.h"
#include "payload/Crc32.h"

#include <cstdlib>
#include <zlib.h>
#include <zopfli/zopfli.h>

Bytes DeflateZlib9(const Bytes& data)
{
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        std::abort();
    Bytes out(deflateBound(&z, data.size()) + 16);
    z.next_in = const_cast<unsigned char*>(data.data());
    z.avail_in = (uInt)data.size();
    z.next_out = out.data();
    z.avail_out = (uInt)out.size();
    if (deflate(&z, Z_FINISH) != Z_STREAM_END)
        std::abort();
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

Bytes DeflateZopfli(const Bytes& data)
{
    ZopfliOptions options;
    ZopfliInitOptions(&options);
    // The search cost grows with the input; large inputs get fewer passes to keep the build short.
    options.numiterations = data.size() > (256u << 10) ? 3 : data.size() > (32u << 10) ? 10 : 15;
    unsigned char* out = nullptr;
    size_t outSize = 0;
    ZopfliCompress(&options, ZOPFLI_FORMAT_DEFLATE, data.data(), data.size(), &out, &outSize);
    Bytes result(out, out + outSize);
    free(out);
    return result;
}

DeflateChoice DeflateBest(const Bytes& data, bool fast)
{
    DeflateChoice choice;
    Bytes zlib = DeflateZlib9(data);
    if (fast) {
        choice.zlibSize = zlib.size();
        choice.zopfliSize = 0;
        choice.stream = std::move(zlib);
        return choice;
    }
    Bytes zopfli = DeflateZopfli(data);
    choice.zlibSize = zlib.size();
    choice.zopfliSize = zopfli.size();
    if (zopfli.size() < zlib.size()) {
        choice.stream = std::move(zopfli);
        choice.used = Deflater::Zopfli;
    } else {
        choice.stream = std::move(zlib);
    }
    return choice;
}

Bytes SealBlob(const Bytes& data, const Bytes& stream, uint32_t itemCount, const unsigned char* key, int keyLength)
{
    const size_t stored = (kBlobHeaderSize + stream.size() + 7) & ~size_t(7);
    Bytes plain(stored, 0);
    BlobHeader header;
    header.storedSize = (uint32_t)stored;
    header.size = (uint32_t)data.size();
    header.packedSize = (uint32_t)stream.size();
    header.dataCrc = Crc32(0, data.data(), data.size());
    header.packedCrc = Crc32(0, stream.data(), stream.size());
    header.itemCount = itemCount;
    header.Write(plain.data());
    std::copy(stream.begin(), stream.end(), plain.begin() + kBlobHeaderSize);

    BlowfishContext context;
    if (!context.SetKey(key, keyLength))
        std::abort();
    Bytes sealed(stored);
    context.Encrypt(plain.data(), sealed.data(), stored);
    return sealed;
}
