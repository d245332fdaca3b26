#include "payload/Guard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

GuardParameters NoScrambling()
{
    GuardParameters p{};
    p.keyOffset = 0;
    return p;
}

Bytes Pattern()
{
    Bytes b(kKeyBlobLength);
    for (int i = 0; i < kKeyBlobLength; ++i)
        b[i] = (unsigned char)(i * 7 + 3);
    return b;
}

struct Loaded
{
    CGuard guard;
    Bytes original = Pattern();
    explicit Loaded(const GuardParameters& p = NoScrambling()) : guard(p)
    {
        EXPECT_EQ(1, guard.Load(original.data(), kKeyBlobLength));
    }
    Bytes Now() const { return Bytes(guard.keyBlob, guard.keyBlob + kKeyBlobLength); }
};

} // namespace

TEST(Guard, LoadAcceptsExactly968Bytes)
{
    Bytes blob(kKeyBlobLength + 1, 0x5A);
    struct { int length; int result; } cases[] = { { 967, 0 }, { 968, 1 }, { 969, 0 }, { 0, 0 }, { -968, 0 } };
    for (auto c : cases) {
        CGuard guard(NoScrambling());
        EXPECT_EQ(c.result, guard.Load(blob.data(), c.length)) << c.length;
        EXPECT_EQ(c.result != 0, guard.keyBlob != nullptr) << c.length;
    }
    CGuard guard(NoScrambling());
    EXPECT_EQ(0, guard.Load(nullptr, kKeyBlobLength));
    EXPECT_EQ(nullptr, guard.keyBlob);
}

TEST(Guard, FailedLoadReleasesThePreviousBlob)
{
    Loaded k;
    Bytes blob(kKeyBlobLength - 1);
    EXPECT_EQ(0, k.guard.Load(blob.data(), (int)blob.size()));
    EXPECT_EQ(nullptr, k.guard.keyBlob);
}

TEST(Guard, MoveBytesIsAnOverlapSafeClippedMove)
{
    struct { int target, source, count, moved; } cases[] = {
        { 10, 12, 5, 5 },      // forward, overlapping
        { 12, 10, 5, 5 },      // backward, overlapping
        { 0, 960, 100, 8 },    // source runs off the end
        { 965, 0, 10, 3 },     // target runs off the end
        { 100, 500, 0, 0 },
        { -1, 0, 4, 0 }, { 0, -1, 4, 0 }, { 968, 0, 4, 0 }, { 0, 968, 4, 0 },
    };
    for (auto c : cases) {
        Loaded k;
        Bytes expected = k.original;
        if (c.moved)
            std::memmove(&expected[c.target], &k.original[c.source], c.moved);
        k.guard.MoveBytes(c.target, c.source, c.count);
        EXPECT_EQ(expected, k.Now()) << c.target << " <- " << c.source << " x" << c.count;
    }
}

TEST(Guard, XorSpanUsesTheKeyByteFromBeforeThePass)
{
    struct { int start, keyPos, count, xored; } cases[] = {
        { 10, 12, 5, 5 },     // key byte inside the span: all five bytes use its old value
        { 10, 500, 5, 5 },
        { 965, 0, 10, 3 },    // clipped at the end
        { -1, 0, 5, 0 }, { 968, 0, 5, 0 }, { 0, -1, 5, 0 }, { 0, 968, 5, 0 },
    };
    for (auto c : cases) {
        Loaded k;
        Bytes expected = k.original;
        for (int i = 0; i < c.xored; ++i)
            expected[c.start + i] ^= k.original[c.keyPos];
        k.guard.XorSpan(c.start, c.keyPos, c.count);
        EXPECT_EQ(expected, k.Now()) << c.start << " ^ [" << c.keyPos << "] x" << c.count;
        if (c.keyPos >= c.start && c.keyPos < c.start + c.xored) {
            EXPECT_EQ(0, k.Now()[c.keyPos]);
        }
    }
}

TEST(Guard, LoadMovesTwiceThenXors)
{
    GuardParameters p = NoScrambling();
    p.move1Target = 0, p.move1Source = 100, p.move1Count = 4;
    p.move2Target = 2, p.move2Source = 0, p.move2Count = 4;  // reads what move 1 wrote
    p.xorStart = 0, p.xorKeyPos = 500, p.xorCount = 6;
    Loaded k(p);
    const Bytes& o = k.original;
    const unsigned char x = o[500];
    const unsigned char expected[6] = {
        (unsigned char)(o[100] ^ x), (unsigned char)(o[101] ^ x), (unsigned char)(o[100] ^ x),
        (unsigned char)(o[101] ^ x), (unsigned char)(o[102] ^ x), (unsigned char)(o[103] ^ x),
    };
    EXPECT_EQ(0, std::memcmp(expected, k.guard.keyBlob, 6));
    EXPECT_EQ(o[6], k.guard.keyBlob[6]);
}

TEST(Guard, ReleaseForgetsTheBlob)
{
    Loaded k;
    k.guard.Release();
    EXPECT_EQ(nullptr, k.guard.keyBlob);
    k.guard.Release();
    k.guard.MoveBytes(0, 1, 1);  // nothing loaded: no effect, no crash
    EXPECT_EQ(nullptr, k.guard.keyBlob);
}
