#include "payload/Blowfish.h"
#include "payload/Crc32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

struct Vector
{
    uint64_t key, plain, cipher;
};

// Published Blowfish test vectors (8-byte keys), halves written most significant byte first.
const Vector kVectors[] = {
    { 0x0000000000000000ull, 0x0000000000000000ull, 0x4EF997456198DD78ull },
    { 0xFFFFFFFFFFFFFFFFull, 0xFFFFFFFFFFFFFFFFull, 0x51866FD5B85ECB8Aull },
    { 0x3000000000000000ull, 0x1000000000000001ull, 0x7D856F9A613063F2ull },
    { 0x0123456789ABCDEFull, 0x1111111111111111ull, 0x61F9C3802281B096ull },
    { 0xFEDCBA9876543210ull, 0x0123456789ABCDEFull, 0x0ACEAB0FC6A0A28Dull },
    { 0x7CA110454A1A6E57ull, 0x01A1D6D039776742ull, 0x59C68245EB05282Bull },
};

void KeyBytes(uint64_t key, unsigned char out[8])
{
    for (int i = 0; i < 8; ++i)
        out[i] = (unsigned char)(key >> (56 - 8 * i));
}

// The stored form: each half as a little-endian word.
void StoredBlock(uint64_t block, unsigned char out[8])
{
    const uint32_t halves[2] = { (uint32_t)(block >> 32), (uint32_t)block };
    for (int h = 0; h < 2; ++h)
        for (int i = 0; i < 4; ++i)
            out[4 * h + i] = (unsigned char)(halves[h] >> (8 * i));
}

} // namespace

TEST(Blowfish, PublishedVectorsOnWords)
{
    for (const Vector& v : kVectors) {
        BlowfishContext c;
        unsigned char key[8];
        KeyBytes(v.key, key);
        ASSERT_EQ(1, c.SetKey(key, 8));
        uint32_t l = (uint32_t)(v.plain >> 32), r = (uint32_t)v.plain;
        c.EncryptBlock(&l, &r);
        EXPECT_EQ(v.cipher, ((uint64_t)l << 32) | r) << std::hex << v.key;
        c.DecryptBlock(&l, &r);
        EXPECT_EQ(v.plain, ((uint64_t)l << 32) | r);
    }
}

TEST(Blowfish, PublishedVectorsOnStoredBytesInPlaceAndCopying)
{
    for (const Vector& v : kVectors) {
        BlowfishContext c;
        unsigned char key[8], cipher[8], plain[8];
        KeyBytes(v.key, key);
        c.SetKey(key, 8);
        StoredBlock(v.cipher, cipher);
        StoredBlock(v.plain, plain);

        unsigned char source[8], target[8] = { 0 };
        std::memcpy(source, cipher, 8);
        c.Decrypt(source, target, 8);
        EXPECT_EQ(0, std::memcmp(target, plain, 8));
        EXPECT_EQ(0, std::memcmp(source, cipher, 8)) << "the copying mode changed its source";

        c.Decrypt(source, source, 8);
        EXPECT_EQ(0, std::memcmp(source, plain, 8));

        c.Encrypt(source, source, 8);
        EXPECT_EQ(0, std::memcmp(source, cipher, 8));
    }
}

TEST(Blowfish, Only72KeyBytesMatter)
{
    std::vector<unsigned char> key(495);
    for (size_t i = 0; i < key.size(); ++i)
        key[i] = (unsigned char)(i * 13 + 1);
    BlowfishContext whole, first72;
    whole.SetKey(key.data(), 495);
    first72.SetKey(key.data(), 72);
    EXPECT_EQ(0, std::memcmp(whole.P, first72.P, 18 * 4));
    EXPECT_EQ(0, std::memcmp(whole.S, first72.S, 1024 * 4));
}

TEST(Blowfish, PartialLastBlockStaysInsideTheLength)
{
    BlowfishContext c;
    const unsigned char key[4] = { 1, 2, 3, 4 };
    c.SetKey(key, 4);
    unsigned char buffer[24];
    std::memset(buffer, 0xEE, sizeof(buffer));
    std::memset(buffer, 0x11, 13);
    c.Encrypt(buffer, buffer, 13);
    for (int i = 13; i < 24; ++i)
        EXPECT_EQ(0xEE, buffer[i]) << i;
    unsigned char copy[24];
    std::memset(copy, 0xCC, sizeof(copy));
    c.Decrypt(buffer, copy, 13);
    for (int i = 13; i < 24; ++i)
        EXPECT_EQ(0xCC, copy[i]) << i;
}

TEST(Crc32, CheckValueEmptyNullAndContinuation)
{
    EXPECT_EQ(0xCBF43926u, Crc32(0, "123456789", 9));
    EXPECT_EQ(0u, Crc32(0, "", 0));
    EXPECT_EQ(0u, Crc32(0, nullptr, 5));
    EXPECT_EQ(0xCBF43926u, Crc32(Crc32(0, "1234", 4), "56789", 5));
    EXPECT_EQ(0x414FA339u, Crc32(0, "The quick brown fox jumps over the lazy dog", 43));
}
