#include "tests/payload/BlobFactory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

using namespace blobtest;

namespace {

// Bytes in use on the heap, where the C library can tell; -1 elsewhere.
long long HeapInUse()
{
#if defined(__GLIBC__)
    return (long long)mallinfo2().uordblks;
#else
    return -1;
#endif
}

Bytes Text(size_t n)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = (unsigned char)("layout key table "[i % 17] + (i / 97) % 3);
    return b;
}

struct Loaded
{
    CGuard guard{ Parameters() };
    Loaded()
    {
        Bytes blob = ScrambledKeyBlob();
        EXPECT_EQ(1, guard.Load(blob.data(), (int)blob.size()));
    }
};

} // namespace

TEST(Decode, RoundTripsAndReportsSizeAndItemCount)
{
    for (size_t n : { size_t(0), size_t(1), size_t(7), size_t(70000) }) {
        Loaded k;
        Bytes data = Text(n);
        Bytes blob = Seal(data, 42);
        int length = (int)blob.size(), items = -1;
        unsigned char* out = k.guard.Decode(blob.data(), &length, &items);
        ASSERT_NE(nullptr, out) << n;
        EXPECT_EQ((int)n, length);
        EXPECT_EQ(42, items);
        EXPECT_TRUE(n == 0 || std::memcmp(out, data.data(), n) == 0);
        free(out);
    }
}

TEST(Decode, LeavesTheStoredBlobUnchanged)
{
    Loaded k;
    Bytes blob = Seal(Text(300), 0);
    const Bytes copy = blob;
    int length = (int)blob.size();
    free(k.guard.Decode(blob.data(), &length, nullptr));
    EXPECT_EQ(copy, blob);
}

struct Failure
{
    const char* name;
    std::function<void(BlobHeader&, Bytes&)> damage;
    int lengthDelta;    // added to the stored length passed in
    int forcedLength;   // passed instead, when not 0
};

TEST(Decode, EveryFailureReturnsNullAndKeepsLengthAndLeaksNothing)
{
    const Failure failures[] = {
        { "stored size differs from the length", [](BlobHeader& h, Bytes&) { h.storedSize += 8; }, 0, 0 },
        { "length differs from the stored size", nullptr, -8, 0 },
        { "stream checksum off by one bit", [](BlobHeader& h, Bytes&) { h.packedCrc ^= 1; }, 0, 0 },
        { "data checksum off by one bit", [](BlobHeader& h, Bytes&) { h.dataCrc ^= 0x80000000u; }, 0, 0 },
        { "stream one byte short",
          [](BlobHeader& h, Bytes& plain) {
              h.packedSize -= 1;
              h.packedCrc = Crc32(0, plain.data() + 24, h.packedSize);
          }, 0, 0 },
        { "inflates to one byte fewer than size", [](BlobHeader& h, Bytes&) { h.size += 1; }, 0, 0 },
        { "size one byte smaller than the data", [](BlobHeader& h, Bytes&) { h.size -= 1; }, 0, 0 },
        { "stream reaches past the blob",
          [](BlobHeader& h, Bytes& plain) {
              // The bytes really are there in the buffer, past the stored length, with a matching
              // checksum: only the bounds check can refuse it.
              h.storedSize = 32;
              (void)plain;
          }, 0, 32 },
        { "packed size wraps 24 + packedSize", [](BlobHeader& h, Bytes&) { h.packedSize = 0xFFFFFFF0u; }, 0, 0 },
        { "size near 4 GiB", [](BlobHeader& h, Bytes&) { h.size = 0xFFFFFFFFu; }, 0, 0 },
        { "size beyond any DEFLATE ratio", [](BlobHeader& h, Bytes&) { h.size = h.packedSize * 2000u; }, 0, 0 },
    };
    for (const Failure& f : failures) {
        Loaded k;
        Bytes blob = Seal(Text(500), 9, f.damage);
        blob.resize(blob.size() + 64, 0);  // room so a bad length can never read outside the test's buffer
        int length = f.forcedLength ? f.forcedLength : (int)(blob.size() - 64) + f.lengthDelta;
        const int before = length;
        int items = -7;
        const long long heap = HeapInUse();
        unsigned char* out = k.guard.Decode(blob.data(), &length, &items);
        EXPECT_EQ(nullptr, out) << f.name;
        EXPECT_EQ(heap, HeapInUse()) << f.name;
        EXPECT_EQ(before, length) << f.name;
        EXPECT_EQ(-7, items) << f.name;
        free(out);
    }
}

TEST(Decode, RefusesWithoutKeyOrWithImpossibleLengths)
{
    Bytes blob = Seal(Text(100), 0);
    CGuard empty{ Parameters() };
    int length = (int)blob.size();
    EXPECT_EQ(nullptr, empty.Decode(blob.data(), &length, nullptr));
    EXPECT_EQ((int)blob.size(), length);

    Loaded k;
    for (int bad : { 0, -8, 16, 23 }) {
        length = bad;
        EXPECT_EQ(nullptr, k.guard.Decode(blob.data(), &length, nullptr)) << bad;
        EXPECT_EQ(bad, length);
    }
    length = (int)blob.size();
    EXPECT_EQ(nullptr, k.guard.Decode(nullptr, &length, nullptr));
    EXPECT_EQ(nullptr, k.guard.Decode(blob.data(), nullptr, nullptr));
}
