// Runs under Wine against the fixture store linked into the program's x86_64 build: the packer's
// blobs must come back through the program's decoder and tables.
#include "payload/AssetStore.h"
#include "payload/BlobHeader.h"
#include "payload/DataBuffer.h"
#include "payload/Guard.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

extern "C" const unsigned char* const kbdStoreRecords[kStoreRecordCount];

// A file of the build machine, through Wine's drive for the root of the file system.
Bytes HostFile(const char* variable, const std::string& relative)
{
    const char* root = std::getenv(variable);
    EXPECT_NE(nullptr, root) << variable;
    std::string path = std::string("Z:") + (root ? root : "") + "/" + relative;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    Bytes bytes;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    EXPECT_NE(nullptr, f) << path;
    if (!f)
        return bytes;
    unsigned char chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof(chunk), f)) > 0;)
        bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(f);
    return bytes;
}

struct Store : ::testing::Test
{
    CGuard guard;
    void SetUp() override { ASSERT_EQ(1, guard.Load(StoreBlob(kBlobKey), StoreBlobLength(kBlobKey))); }

    Bytes DecodeBlob(const unsigned char* blob, int length, int* items = nullptr)
    {
        unsigned char* out = guard.Decode(blob, &length, items);
        EXPECT_NE(nullptr, out);
        Bytes bytes = out ? Bytes(out, out + length) : Bytes();
        std::free(out);
        return bytes;
    }

    std::string Text(const unsigned char* entry)
    {
        if (!entry)
            return "(missing)";
        const uint32_t word = ReadLe32(entry);
        EXPECT_TRUE(word & kStoredNarrowBit);
        return std::string((const char*)entry + 4, word & kStoredLengthMask);
    }

    void AttachTable(int blob, DataBuffer* table)
    {
        int length = StoreBlobLength(blob), items = 0;
        unsigned char* data = guard.Decode(StoreBlob(blob), &length, &items);
        ASSERT_NE(nullptr, data);
        ASSERT_EQ(1, table->Attach(data, items, length));
    }
};

} // namespace

TEST_F(Store, DocumentsDecodeToTheirInputsEmptyTinyAndLarge)
{
    struct { int blob; const char* variable; const char* file; } cases[] = {
        { kBlobPageFile, "KBD_SOURCE_DIR", "tests/payload/fixture/docs/empty.txt" },
        { kBlobDocSecond, "KBD_SOURCE_DIR", "tests/payload/fixture/docs/tiny.txt" },
        { kBlobDocMain, "KBD_HOST_DIR", "tests/payload/fixture/large.bin" },
    };
    for (auto c : cases) {
        const Bytes expected = HostFile(c.variable, c.file);
        EXPECT_EQ(expected, DecodeBlob(StoreBlob(c.blob), StoreBlobLength(c.blob))) << c.file;
    }
    EXPECT_GE(HostFile("KBD_HOST_DIR", "tests/payload/fixture/large.bin").size(), 1000000u);
}

TEST_F(Store, StringTablesLookUpByUnsignedId)
{
    DataBuffer common, setup;
    AttachTable(kBlobCommonStrings, &common);
    AttachTable(kBlobSetupStrings, &setup);
    EXPECT_EQ(6, common.count);
    EXPECT_EQ("zero", Text(common.Lookup(0)));
    EXPECT_EQ("last", Text(common.Lookup(0xFFFFFFFFu)));
    EXPECT_EQ("below the sign bit", Text(common.Lookup(0x7FFFFFFFu)));
    EXPECT_EQ("above the sign bit", Text(common.Lookup(0x80000000u)));
    EXPECT_EQ("0415", Text(common.Lookup(86)));
    EXPECT_EQ(nullptr, common.Lookup(2));
    EXPECT_EQ(nullptr, common.Lookup(0x80000001u));

    EXPECT_EQ(1, setup.count);
    EXPECT_EQ("the only setup text", Text(setup.Lookup(7)));
    for (uint32_t other : { 0u, 6u, 8u, 0xFFFFFFFFu })
        EXPECT_EQ(nullptr, setup.Lookup(other)) << other;
}

TEST_F(Store, UiTablesHoldTheirOwnLanguage)
{
    DataBuffer ui0, ui1;
    AttachTable(kBlobUiStrings0, &ui0);
    AttachTable(kBlobUiStrings1, &ui1);
    EXPECT_EQ("Fixture caption", Text(ui0.Lookup(93)));
    EXPECT_EQ("Podpis pr\xC3\xB3" "bny", Text(ui1.Lookup(93)));
    EXPECT_EQ("only in language 0", Text(ui0.Lookup(500)));
    EXPECT_EQ(nullptr, ui1.Lookup(500));
}

TEST_F(Store, CatalogueCellsPointAtTheirBlobs)
{
    const unsigned char* record3 = kbdStoreRecords[3];
    const unsigned char* record41 = kbdStoreRecords[41];
    EXPECT_EQ(record3 + 8, g_layoutCatalogue.blob[0][0][0]);
    EXPECT_EQ((int)ReadLe32(record3), g_layoutCatalogue.length[0][0][0]);
    EXPECT_EQ(record41 + 8 + ReadLe32(record41), g_layoutCatalogue.blob[1][2][12]);
    EXPECT_EQ((int)ReadLe32(record41 + 4), g_layoutCatalogue.length[1][2][12]);
    EXPECT_EQ(StoreBlob(83), g_layoutCatalogue.blob[1][2][12]);
    EXPECT_EQ(StoreBlob(6), g_layoutCatalogue.blob[0][0][0]);

    // Every cell decodes to the stand-in library the packer was given for that cell.
    for (int s = 0; s < kCatalogueSets; ++s)
        for (int r = 0; r < kCatalogueRows; ++r)
            for (int c = 0; c < kCatalogueSlots; ++c) {
                char expected[80];
                std::snprintf(expected, sizeof(expected), "fixture layout library: set %d, row %d, slot %d\n", s, r, c);
                const Bytes got = DecodeBlob(g_layoutCatalogue.blob[s][r][c], g_layoutCatalogue.length[s][r][c]);
                EXPECT_EQ(std::string(expected), std::string(got.begin(), got.end()));
            }
}

TEST_F(Store, LicenceTableFollowsTheInterfaceLanguage)
{
    EXPECT_EQ(StoreBlob(kBlobLicence0), LicenceTable[0].blob);
    EXPECT_EQ(StoreBlob(kBlobLicence1), LicenceTable[1].blob);
    const Bytes l0 = DecodeBlob(LicenceTable[0].blob, LicenceTable[0].length);
    const Bytes l1 = DecodeBlob(LicenceTable[1].blob, LicenceTable[1].length);
    EXPECT_EQ("Fixture licence, language 0.\n", std::string(l0.begin(), l0.end()));
    EXPECT_EQ("Licencja pr\xC3\xB3" "bna, j\xC4\x99zyk 1.\n", std::string(l1.begin(), l1.end()));
}

TEST_F(Store, KeyBlobIsStoredAsIs)
{
    EXPECT_EQ(kKeyBlobLength, StoreBlobLength(kBlobKey));
    EXPECT_EQ(nullptr, StoreBlob(-1));
    EXPECT_EQ(nullptr, StoreBlob(kStoreBlobCount));
    EXPECT_EQ(0, StoreBlobLength(kStoreBlobCount));
}
