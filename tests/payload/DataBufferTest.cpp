#include "payload/BlobHeader.h"
#include "payload/DataBuffer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Builds a table by hand: each entry is (id, offset in the pool); the pool is given raw.
unsigned char* Table(const std::vector<std::pair<uint32_t, uint32_t>>& index, const std::vector<unsigned char>& pool, int* length)
{
    *length = (int)(index.size() * 8 + pool.size());
    unsigned char* t = (unsigned char*)malloc(*length ? *length : 1);
    for (size_t i = 0; i < index.size(); ++i) {
        WriteLe32(t + 8 * i, index[i].first);
        WriteLe32(t + 8 * i + 4, index[i].second);
    }
    if (!pool.empty())
        std::memcpy(t + 8 * index.size(), pool.data(), pool.size());
    return t;
}

std::vector<unsigned char> Entry(uint32_t header, const char* text, size_t bytes)
{
    std::vector<unsigned char> e(4 + bytes);
    WriteLe32(e.data(), header);
    std::memcpy(e.data() + 4, text, bytes);
    return e;
}

} // namespace

TEST(DataBuffer, AttachRefusesWhatItCannotIndex)
{
    DataBuffer b;
    int length = 0;
    unsigned char* t = Table({ { 1, 0 }, { 2, 0 } }, Entry(0x80000001u, "a", 1), &length);
    EXPECT_EQ(0, b.Attach(nullptr, 2, length));
    EXPECT_EQ(0, b.Attach(t, 0, length));
    EXPECT_EQ(0, b.Attach(t, -1, length));
    EXPECT_EQ(0, b.Attach(t, 3, 23));  // three index entries do not fit in 23 bytes
    EXPECT_EQ(nullptr, b.data);
    ASSERT_EQ(1, b.Attach(t, 2, length));
    EXPECT_EQ(t, b.data);
    EXPECT_EQ(t, b.index);
    EXPECT_EQ(t + 16, b.pool);
    EXPECT_EQ(2, b.count);
    b.Release();
    EXPECT_EQ(nullptr, b.data);
    EXPECT_EQ(0, b.count);
    EXPECT_EQ(nullptr, b.Lookup(1));
}

TEST(DataBuffer, LookupTreatsEntriesReachingOutsideAsMissing)
{
    // Pool: narrow "abc" at 0 (7 bytes), wide "hi" at 8 (8 bytes); 16 bytes in all.
    std::vector<unsigned char> pool = Entry(0x80000003u, "abc", 3);
    pool.push_back(0);
    std::vector<unsigned char> wide = Entry(0x00000002u, "h\0i\0", 4);
    pool.insert(pool.end(), wide.begin(), wide.end());
    ASSERT_EQ(16u, pool.size());
    struct { uint32_t id, offset; bool found; } cases[] = {
        { 10, 0, true },
        { 20, 8, true },
        { 30, 12, true },    // header 0x00690068 ('h','i' read as a header): too long, missing
        { 40, 13, false },   // header would cross the end
        { 50, 16, false },   // offset at the end
        { 60, 0xFFFFFFFCu, false },
    };
    std::vector<std::pair<uint32_t, uint32_t>> index;
    for (auto c : cases)
        index.push_back({ c.id, c.offset });
    int length = 0;
    unsigned char* t = Table(index, pool, &length);
    DataBuffer b;
    ASSERT_EQ(1, b.Attach(t, (int)index.size(), length));
    EXPECT_EQ(b.pool, b.Lookup(10));
    EXPECT_EQ(b.pool + 8, b.Lookup(20));
    EXPECT_EQ(nullptr, b.Lookup(30));
    EXPECT_EQ(nullptr, b.Lookup(40));
    EXPECT_EQ(nullptr, b.Lookup(50));
    EXPECT_EQ(nullptr, b.Lookup(60));
    EXPECT_EQ(nullptr, b.Lookup(15));
}

TEST(DataBuffer, LookupComparesIdsUnsigned)
{
    const uint32_t ids[] = { 0, 1, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu };
    std::vector<std::pair<uint32_t, uint32_t>> index;
    std::vector<unsigned char> pool;
    for (uint32_t id : ids) {
        index.push_back({ id, (uint32_t)pool.size() });
        std::vector<unsigned char> e = Entry(0x80000004u, (const char*)&id, 4);
        pool.insert(pool.end(), e.begin(), e.end());
    }
    int length = 0;
    unsigned char* t = Table(index, pool, &length);
    DataBuffer b;
    ASSERT_EQ(1, b.Attach(t, 5, length));
    for (uint32_t id : ids) {
        const unsigned char* e = b.Lookup(id);
        ASSERT_NE(nullptr, e) << std::hex << id;
        EXPECT_EQ(id, ReadLe32(e + 4));
    }
    EXPECT_EQ(nullptr, b.Lookup(2));
    EXPECT_EQ(nullptr, b.Lookup(0x80000001u));
}
