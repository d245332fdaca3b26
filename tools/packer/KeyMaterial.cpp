#include "tools/packer/KeyMaterial.h"

#include <cstring>

namespace {

// splitmix64: small, well mixed and fixed forever, which is all a reproducible draw needs.
struct Draw
{
    uint64_t state;
    uint64_t Next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // In [low, high].
    int Between(int low, int high) { return low + (int)(Next() % (uint64_t)(high - low + 1)); }
};

uint64_t Fnv1a64(const std::string& bytes)
{
    uint64_t h = 0xCBF29CE484222325ull;
    for (unsigned char c : bytes)
        h = (h ^ c) * 0x100000001B3ull;
    return h;
}

} // namespace

int DeriveKeyMaterial(const std::string& seed, KeyMaterial* m, std::string* why)
{
    Draw draw{ Fnv1a64(seed) };
    const int L = kKeyBlobLength, K = kCipherKeyLength;

    m->scrambled.resize(L);
    for (auto& b : m->scrambled)
        b = (unsigned char)draw.Next();

    GuardParameters& p = m->parameters;
    // Room on both sides of the key for the XOR key byte.
    p.keyOffset = draw.Between(64, L - K - 64);
    // Move 1 overlaps forward (target below source), move 2 backward; both land inside the key.
    p.move1Count = draw.Between(96, 160);
    p.move1Target = draw.Between(p.keyOffset, p.keyOffset + K - p.move1Count);
    p.move1Source = p.move1Target + draw.Between(8, 64);
    p.move2Count = draw.Between(96, 160);
    p.move2Target = draw.Between(p.keyOffset + 64, p.keyOffset + K - p.move2Count);
    p.move2Source = p.move2Target - draw.Between(8, 64);
    // The XOR span covers the whole key; its key byte lies outside the span and the moves.
    p.xorStart = p.keyOffset - draw.Between(0, 32);
    p.xorCount = p.keyOffset + K + draw.Between(0, 32) - p.xorStart;
    p.xorKeyPos = (draw.Next() & 1) ? draw.Between(0, p.xorStart - 1) : draw.Between(p.xorStart + p.xorCount, L - 1);
    if (m->scrambled[p.xorKeyPos] == 0)
        m->scrambled[p.xorKeyPos] = 0xA5;

    CGuard guard(p);
    if (!guard.Load(m->scrambled.data(), L)) {
        *why = "the key holder refused the derived key blob";
        return 0;
    }
    m->key.assign(guard.keyBlob + p.keyOffset, guard.keyBlob + p.keyOffset + K);
    if (std::memcmp(m->key.data(), m->scrambled.data() + p.keyOffset, K) == 0) {
        *why = "the scrambling left the key unchanged";
        return 0;
    }
    return 1;
}
