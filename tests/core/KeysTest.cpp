// The working key table: searches, normalisation, the stored assignment list, and the system
// scan-code map read from the real registry, including maps whose count field lies.
#include <windows.h>
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <vector>

#include "core/Install.h"
#include "tests/engine/RegistryTestUtil.h"

using namespace regtest;

namespace
{
// Texts of fixture strings 5 and 6.
const wchar_t kMapKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout";
const wchar_t kMapValue[] = L"Scancode Map";

unsigned char* MallocCopy(const Bytes& bytes)
{
    unsigned char* copy = static_cast<unsigned char*>(malloc(bytes.empty() ? 1 : bytes.size()));
    if (copy && !bytes.empty())
        memcpy(copy, bytes.data(), bytes.size());
    return copy;
}

Bytes Pairs(std::initializer_list<std::pair<uint16_t, uint16_t>> pairs)
{
    Bytes bytes;
    for (const auto& p : pairs)
    {
        bytes.push_back(static_cast<unsigned char>(p.first));
        bytes.push_back(static_cast<unsigned char>(p.first >> 8));
        bytes.push_back(static_cast<unsigned char>(p.second));
        bytes.push_back(static_cast<unsigned char>(p.second >> 8));
    }
    return bytes;
}

// A scan-code map: header with the given count, then (source, target) entries as given; no
// terminator is added, so that a test can make the count disagree with the data.
Bytes Map(uint32_t count, std::initializer_list<std::pair<uint16_t, uint16_t>> entries)
{
    Bytes bytes = DwordBytes(0);
    Bytes flags = DwordBytes(0);
    Bytes n = DwordBytes(count);
    bytes.insert(bytes.end(), flags.begin(), flags.end());
    bytes.insert(bytes.end(), n.begin(), n.end());
    for (const auto& e : entries)
    {
        Bytes word = DwordBytes(static_cast<uint32_t>(e.second) | (static_cast<uint32_t>(e.first) << 16));
        bytes.insert(bytes.end(), word.begin(), word.end());
    }
    return bytes;
}

class Keys : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(1, install.Init(GetModuleHandleW(nullptr)));
        ASSERT_NE(nullptr, install.m_keys);
    }
    uint16_t VirtualKeyOf(uint16_t scanCode)
    {
        KeyEntry* entry = install.FindKey(scanCode);
        return entry ? entry->virtualKey : 0xDEAD;
    }
    uint16_t RemapOf(uint16_t scanCode)
    {
        KeyEntry* entry = install.FindKey(scanCode);
        return entry ? entry->remapTo : 0xDEAD;
    }
    CInstall install;
};
}

TEST_F(Keys, FindKeyStopsAtTheEndRowAndTellsExtendedKeysApart)
{
    EXPECT_EQ(nullptr, install.FindKey(0)) << "two rows have scan code 0, neither is found";
    EXPECT_EQ(nullptr, install.FindDefaultKey(0));
    EXPECT_EQ(nullptr, install.FindKey(0x0054)) << "not in the table";
    EXPECT_EQ(nullptr, install.FindKey(0xE01E));

    struct Case
    {
        uint16_t scanCode;
        uint16_t nameId;
        uint16_t defaultVirtualKey;
    } cases[] = {
        {0x0001, 175, 0x001B}, {0x001D, 282, 0x00A2}, {0xE01D, 283, 0x01A3},
        {0x00FF, 326, 0x00FF}, {0xE11D, 173, 0x0013}, {0x0059, 168, 0x000C},
    };
    for (const Case& c : cases)
    {
        KeyEntry* entry = install.FindKey(c.scanCode);
        ASSERT_NE(nullptr, entry) << std::hex << c.scanCode;
        EXPECT_EQ(c.scanCode, entry->scanCode);
        EXPECT_EQ(c.nameId, entry->nameId);
        EXPECT_GE(entry, install.m_keys);
        EXPECT_LT(entry, install.m_keys + install.m_keyCount);
        const KeyEntry* row = install.FindDefaultKey(c.scanCode);
        ASSERT_NE(nullptr, row);
        EXPECT_EQ(c.defaultVirtualKey, row->virtualKey);
        EXPECT_GE(row, DefaultKeyTable);
        EXPECT_LT(row, DefaultKeyTable + kKeyTableRows);
    }
}

TEST_F(Keys, NormalizeClearsSelfRemapsAndDefaultAssignmentsOnly)
{
    install.FindKey(0x001D)->remapTo = 0x001D;  // to itself
    install.FindKey(0x003A)->remapTo = 0x001D;  // a real remap
    install.FindKey(0x0002)->virtualKey = 0x0031;  // the default
    install.FindKey(0x0003)->virtualKey = 0x0031;  // not this key's default
    install.FindKey(0xE01D)->virtualKey = 0x00A2;  // the left key's default, not its own
    EXPECT_EQ(1, install.NormalizeKeys());
    EXPECT_EQ(0, RemapOf(0x001D));
    EXPECT_EQ(0x001D, RemapOf(0x003A));
    EXPECT_EQ(0, VirtualKeyOf(0x0002));
    EXPECT_EQ(0x0031, VirtualKeyOf(0x0003));
    EXPECT_EQ(0x00A2, VirtualKeyOf(0xE01D));

    KeyEntry* keys = install.m_keys;
    install.m_keys = nullptr;
    EXPECT_EQ(0, install.NormalizeKeys());
    install.m_keys = keys;
    install.m_keyCount = 0;
    EXPECT_EQ(0, install.NormalizeKeys());
    install.m_keyCount = kKeyTableRows;
}

TEST_F(Keys, AssignmentsSurviveExportAndApply)
{
    Bytes stored = Pairs({{0x0010, 0x0041},     // Q gives A
                          {0x0002, 0x0031},     // the default: cleared, not exported
                          {0xE01D, 0x01A2},     // the right Control, not the left one
                          {0x0011, 0x0000},     // no virtual key: ignored
                          {0x7777, 0x0042},     // unknown scan code: ignored
                          {0xE11D, 0x0C13}});
    EXPECT_EQ(1, install.ApplyKeyAssignments(MallocCopy(stored), static_cast<int>(stored.size())));
    EXPECT_EQ(0x0041, VirtualKeyOf(0x0010));
    EXPECT_EQ(0, VirtualKeyOf(0x0002));
    EXPECT_EQ(0x01A2, VirtualKeyOf(0xE01D));
    EXPECT_EQ(0, VirtualKeyOf(0x001D));
    EXPECT_EQ(0, VirtualKeyOf(0x0011));

    int length = -1;
    unsigned char* list = install.ExportKeyAssignments(&length);
    ASSERT_NE(nullptr, list);
    Bytes expected = Pairs({{0x0010, 0x0041}, {0xE01D, 0x01A2}, {0xE11D, 0x0C13}});
    ASSERT_EQ(static_cast<int>(expected.size()), length);
    EXPECT_TRUE(Bytes(list, list + length) == expected) << "table order, little-endian";

    CInstall other;
    EXPECT_EQ(1, other.ApplyKeyAssignments(list, length));
    for (int i = 0; i < kKeyTableRows; ++i)
        EXPECT_EQ(install.m_keys[i].virtualKey, other.m_keys[i].virtualKey) << "row " << i;
}

TEST_F(Keys, ExportWithoutAssignmentsGivesAnEmptyListThatIsNotNull)
{
    int length = -1;
    unsigned char* list = install.ExportKeyAssignments(&length);
    EXPECT_NE(nullptr, list);
    EXPECT_EQ(0, length);
    free(list);
}

TEST_F(Keys, ApplyTakesWholePairsOfAnyLength)
{
    Bytes two = Pairs({{0x0010, 0x0041}, {0x0011, 0x0042}});
    struct Case
    {
        int length;
        int result;
        uint16_t first;   // virtual key of scan code 0x10 afterwards
        uint16_t second;  // of 0x11
    } cases[] = {
        {3, 1, 0, 0}, {4, 1, 0x0041, 0}, {5, 1, 0x0041, 0}, {7, 1, 0x0041, 0}, {8, 1, 0x0041, 0x0042},
    };
    for (const Case& c : cases)
    {
        CInstall fresh;
        Bytes part(two.begin(), two.begin() + c.length);
        EXPECT_EQ(c.result, fresh.ApplyKeyAssignments(MallocCopy(part), c.length)) << c.length;
        EXPECT_EQ(c.first, fresh.FindKey(0x0010)->virtualKey) << c.length;
        EXPECT_EQ(c.second, fresh.FindKey(0x0011)->virtualKey) << c.length;
    }

    EXPECT_EQ(0, install.ApplyKeyAssignments(nullptr, 8));
    unsigned char* kept = MallocCopy(two);
    EXPECT_EQ(0, install.ApplyKeyAssignments(kept, 0)) << "an empty list is refused, not taken";
    free(kept);
    // A negative length is nothing to apply, but the list was handed over all the same.
    EXPECT_EQ(0, install.ApplyKeyAssignments(MallocCopy(two), -4));
    EXPECT_EQ(0, VirtualKeyOf(0x0010));
}

class ScancodeMap : public Keys
{
protected:
    void SetUp() override
    {
        Keys::SetUp();
        map = MakeKey(HKEY_LOCAL_MACHINE, kMapKey);
        ASSERT_NE(nullptr, map);
        RegDeleteValueW(map, kMapValue);
    }
    void TearDown() override
    {
        RegDeleteValueW(map, kMapValue);
        RegCloseKey(map);
    }
    HKEY map = nullptr;
};

TEST_F(ScancodeMap, ReadsTheMapsEntriesIntoRemapTargets)
{
    Bytes valid = Map(5, {{0x001D, 0x003A},   // left Control gives Caps Lock
                          {0x003A, 0x0000},   // Caps Lock disabled
                          {0xE01D, 0x001D},   // right Control gives left Control
                          {0x0054, 0x001E},   // a key the table does not know
                          {0x0000, 0x0000}});
    Plant(map, kMapValue, REG_BINARY, valid);
    EXPECT_EQ(0, install.ReadScancodeMap());
    EXPECT_EQ(1, install.m_scancodeMapRead);
    EXPECT_EQ(0x003A, RemapOf(0x001D));
    EXPECT_EQ(kRemapDisabled, RemapOf(0x003A));
    EXPECT_EQ(0x001D, RemapOf(0xE01D));
    int remapped = 0;
    for (int i = 0; i < kKeyTableRows; ++i)
        remapped += install.m_keys[i].remapTo != 0;
    EXPECT_EQ(3, remapped);
}

TEST_F(ScancodeMap, ASelfMappingIsNormalisedAway)
{
    Plant(map, kMapValue, REG_BINARY, Map(3, {{0x001D, 0x001D}, {0x0010, 0x0011}, {0, 0}}));
    install.ReadScancodeMap();
    EXPECT_EQ(0, RemapOf(0x001D));
    EXPECT_EQ(0x0011, RemapOf(0x0010));
}

TEST_F(ScancodeMap, MapsThatDoNotHoldWhatTheySayAreIgnored)
{
    struct Case
    {
        const char* what;
        DWORD type;
        Bytes data;
        int read;  // m_scancodeMapRead afterwards
    } cases[] = {
        {"count 0", REG_BINARY, Map(0, {{0x001D, 0x003A}, {0, 0}}), 1},
        {"count 1", REG_BINARY, Map(1, {{0x001D, 0x003A}, {0, 0}}), 1},
        {"count larger than the data", REG_BINARY, Map(4, {{0x001D, 0x003A}, {0, 0}}), 1},
        {"count 0x7FFFFFFF", REG_BINARY, Map(0x7FFFFFFF, {{0x001D, 0x003A}, {0, 0}}), 1},
        // 4 * n + 12 wraps to 16 and to 28 in 32 bits: exactly these value lengths.
        {"count 0x40000001, 16 bytes", REG_BINARY, Map(0x40000001, {{0x001D, 0x003A}}), 1},
        {"count 0x40000004, 28 bytes", REG_BINARY,
         Map(0x40000004, {{0x001D, 0x003A}, {0x0010, 0x0011}, {0x0011, 0x0012}, {0, 0}}), 1},
        {"count -1", REG_BINARY, Map(0xFFFFFFFF, {{0x001D, 0x003A}, {0, 0}}), 1},
        {"count 0x80000000", REG_BINARY, Map(0x80000000, {{0x001D, 0x003A}, {0, 0}}), 1},
        {"count 0xC0000004", REG_BINARY, Map(0xC0000004, {{0x001D, 0x003A}, {0, 0}}), 1},
        {"twelve bytes", REG_BINARY, Map(2, {}), 1},
        {"fifteen bytes", REG_BINARY, Bytes{0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0x3A, 0, 0x1D}, 1},
        {"type dword", REG_DWORD, DwordBytes(0x001D003A), 0},
        {"type string", REG_SZ, WideBytes(L"0000000000000000", true), 0},
        {"empty", REG_BINARY, Bytes(), 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        CInstall fresh;
        ASSERT_EQ(1, fresh.Init(GetModuleHandleW(nullptr)));
        Plant(map, kMapValue, c.type, c.data);
        EXPECT_EQ(0, fresh.ReadScancodeMap());
        EXPECT_EQ(c.read, fresh.m_scancodeMapRead);
        for (int i = 0; i < kKeyTableRows; ++i)
            ASSERT_EQ(0, fresh.m_keys[i].remapTo) << "row " << i;
    }
}

TEST_F(ScancodeMap, AMissingValueLeavesTheFlagClear)
{
    EXPECT_EQ(0, install.ReadScancodeMap());
    EXPECT_EQ(0, install.m_scancodeMapRead);
}

TEST_F(ScancodeMap, ExactlyAsLongAsTheCountRequiresIsEnough)
{
    // Two entries and the terminator: 12 + 3 * 4 = 24 bytes; the terminator itself is not read.
    Plant(map, kMapValue, REG_BINARY, Map(3, {{0x001D, 0x003A}, {0x0010, 0x0000}, {0x0011, 0x0012}}));
    install.ReadScancodeMap();
    EXPECT_EQ(0x003A, RemapOf(0x001D));
    EXPECT_EQ(kRemapDisabled, RemapOf(0x0010));
    EXPECT_EQ(0, RemapOf(0x0011)) << "the n-th entry is the terminator's place";
}
