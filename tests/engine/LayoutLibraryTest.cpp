// Layout library selection, paths and patching with the real layout libraries of this build and
// their real patterns (the files-fixture store), in the test's own prefix.
#include <windows.h>
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "core/Install.h"
#include "payload/AssetStore.h"
#include "tests/engine/FilesTestUtil.h"

using namespace filetest;

namespace
{
const wchar_t kRoot[] = L"C:\\kbdlayout";
const wchar_t kLibraryName[] = L"kbdfxtst.dll";  // fixture string 83

class LayoutLibrary : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(1, install.Init(GetModuleHandleW(nullptr)));
        RemoveTree(kRoot);
        ASSERT_TRUE(CreateDirectoryW(kRoot, nullptr));
        install.m_programFolder.AssignWide(kRoot);
        install.m_layoutVariant = 0;
        install.m_decimalVariant = 1;
    }
    void TearDown() override { RemoveTree(kRoot); }
    std::wstring Path(const wchar_t* name) { return std::wstring(kRoot) + L"\\" + name; }

    // Assignments on a few keys of every kind the patcher handles.
    void AssignKeys()
    {
        struct
        {
            uint16_t scanCode, virtualKey;
        } assignments[] = {
            {0x10, 0x5A},    // Q -> Z: scan-code table
            {0x1E, 0x41},    // A -> A: written, changes nothing
            {0x2C, 0x51},    // Z -> Q
            {0xE01C, 0x1AB}, // keypad Enter: E0 list
            {0xE035, 0x1CD}, // keypad divide: E0 list
            {0xE11D, 0x0EF}, // Pause: E1 list
        };
        for (auto& a : assignments)
        {
            KeyEntry* key = install.FindKey(a.scanCode);
            ASSERT_NE(nullptr, key) << std::hex << a.scanCode;
            key->virtualKey = a.virtualKey;
        }
    }

    // Stages cell (set, row, slot) to a test path and checks the staged bytes against the
    // independently patched library: exactly the intended bytes differ.
    void StageAndCompare(int set, int row, int slot, bool decimal)
    {
        SCOPED_TRACE(testing::Message() << "cell " << set << "/" << row << "/" << slot
                                        << " decimal " << decimal);
        const unsigned char* blob = g_layoutCatalogue.blob[set][row][slot];
        const int size = g_layoutCatalogue.length[set][row][slot];
        install.m_layoutVariant = row;
        install.m_decimalVariant = decimal ? 0 : 1;
        ExpectedLibrary expected = Expect(install, blob, size, row, decimal, install.m_keys,
                                          install.m_keyCount);
        ASSERT_FALSE(expected.original.empty());
        ASSERT_GE(expected.scanTable, 0);
        // The located tables are what they claim to be in the unpatched library.
        EXPECT_EQ(VK_RETURN, U16(expected.original, expected.scanTable + 2 * 0x1C));
        EXPECT_EQ(VK_SPACE, U16(expected.original, expected.scanTable + 2 * 0x39));
        if (decimal)
        {
            ASSERT_GE(expected.decimal, 0);
            EXPECT_EQ(L'.', U16(expected.original, expected.decimal));
            EXPECT_EQ(L'.', U16(expected.original, expected.decimal + 2));
        }

        const std::wstring staging = Path(L"staged.dll");
        const std::wstring target = Path(L"target.dll");
        DeleteFileW(staging.c_str());
        ASSERT_EQ(1, install.StageLayoutLibrary(target.c_str(), staging.c_str(), blob, size));
        Bytes staged;
        ASSERT_TRUE(ReadBytes(staging, &staged));
        ASSERT_EQ(expected.patched.size(), staged.size());
        EXPECT_TRUE(expected.patched == staged);

        std::vector<size_t> changed = Differences(expected.original, staged);
        std::vector<size_t> intended;
        auto add = [&](long at) {
            for (long i = at; i < at + 2; i++)
            {
                if (expected.original[i] != expected.patched[i])
                    intended.push_back(i);
            }
        };
        add(expected.scanTable + 2 * 0x10);
        add(expected.scanTable + 2 * 0x2C);
        if (decimal)
        {
            add(expected.decimal);
            add(expected.decimal + 2);
        }
        for (size_t r = expected.e0List; expected.original[r]; r += 4)
        {
            if (expected.original[r] == 0x1C || expected.original[r] == 0x35)
                add(static_cast<long>(r + 2));
        }
        for (size_t r = expected.e1List; expected.original[r]; r += 4)
        {
            if (expected.original[r] == 0x1D)
                add(static_cast<long>(r + 2));
        }
        std::sort(intended.begin(), intended.end());
        EXPECT_EQ(intended, changed);
        EXPECT_EQ(0x5A, U16(staged, expected.scanTable + 2 * 0x10));
        EXPECT_EQ(0x51, U16(staged, expected.scanTable + 2 * 0x2C));
        size_t enter = expected.e0List;
        while (expected.original[enter] && expected.original[enter] != 0x1C)
            enter += 4;
        ASSERT_EQ(0x1C, expected.original[enter]) << "keypad Enter is in the E0 list";
        EXPECT_EQ(0x1AB, U16(staged, enter + 2));
        ASSERT_EQ(0x1D, expected.original[expected.e1List]) << "Pause leads the E1 list";
        EXPECT_EQ(0x0EF, U16(staged, expected.e1List + 2));
        if (decimal)
        {
            EXPECT_EQ(44, staged[expected.decimal]);
            EXPECT_EQ(44, staged[expected.decimal + 2]);
        }
        EXPECT_TRUE(IsPending(staging, target)) << "the move at restart was requested";
    }

    COverrideInstall install;
};

// The slots of the selection table, written out row by row as the table reads.
void ExpectedSlots(int version, int arch, int* first, int* second, bool* refused)
{
    *second = -1;
    *refused = false;
    switch (version)
    {
    case 50: *first = 0; return;
    case 51: *first = 1; return;
    case 52:
        *first = 2;
        if (arch == 6) *second = 3;
        else if (arch == 9) *second = 4;
        else if (arch != 0) *refused = true;
        return;
    case 60:
        *first = 5;
        if (arch == 6) *second = 6;
        else if (arch == 9) *second = 7;
        else if (arch != 0) *refused = true;
        return;
    case 61:
        *first = 8;
        if (arch == 6) *second = 9;
        else if (arch == 9) *second = 10;
        else if (arch != 0) *refused = true;
        return;
    default:
        *first = 11;
        if (arch == 9) *second = 12;
        else if (arch != 0) *refused = true;
        return;
    }
}

TEST_F(LayoutLibrary, SelectionCoversEveryVersionArchitectureSetAndVariant)
{
    const int versions[] = {0, 40, 49, 50, 51, 52, 53, 55, 59, 60, 61, 62, 63, 100};
    const int archs[] = {0, 5, 6, 9, 12, 0xFFFF};
    const int flags[][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (int version : versions)
        for (int arch : archs)
            for (auto& flag : flags)
                for (int variant = 0; variant < 3; variant++)
                {
                    SCOPED_TRACE(testing::Message() << "version " << version << " arch " << arch
                                                    << " flags " << flag[0] << flag[1]
                                                    << " variant " << variant);
                    install.m_osVersionCode = version;
                    install.m_processorArchitecture = static_cast<uint16_t>(arch);
                    install.m_layoutSetFlagA = flag[0];
                    install.m_layoutSetFlagB = flag[1];
                    install.m_layoutVariant = variant;
                    int first, second;
                    bool refused;
                    ExpectedSlots(version, arch, &first, &second, &refused);
                    const unsigned char* primary = reinterpret_cast<const unsigned char*>(1);
                    const unsigned char* secondary = reinterpret_cast<const unsigned char*>(1);
                    int primarySize = 77, secondarySize = 77;
                    int result = install.SelectLayoutLibraries(&primary, &secondary, &primarySize,
                                                                &secondarySize);
                    if (refused)
                    {
                        EXPECT_EQ(0, result);
                        EXPECT_EQ(nullptr, primary);
                        EXPECT_EQ(nullptr, secondary);
                        EXPECT_EQ(-1, primarySize);
                        EXPECT_EQ(-1, secondarySize);
                        continue;
                    }
                    const int set = (flag[0] || flag[1]) ? 1 : 0;
                    ASSERT_EQ(1, result);
                    const int blob = CatalogueBlobNumber(set, variant, first);
                    EXPECT_EQ(StoreBlob(blob), primary);
                    EXPECT_EQ(StoreBlobLength(blob), primarySize);
                    if (second < 0)
                    {
                        EXPECT_EQ(nullptr, secondary);
                        EXPECT_EQ(-1, secondarySize);
                    }
                    else
                    {
                        const int other = CatalogueBlobNumber(set, variant, second);
                        EXPECT_EQ(StoreBlob(other), secondary);
                        EXPECT_EQ(StoreBlobLength(other), secondarySize);
                    }
                }

    // A row outside the catalogue has no cell.
    install.m_osVersionCode = 61;
    install.m_processorArchitecture = 0;
    install.m_layoutVariant = -1;
    const unsigned char *primary, *secondary;
    int primarySize, secondarySize;
    EXPECT_EQ(0, install.SelectLayoutLibraries(&primary, &secondary, &primarySize, &secondarySize));
}

TEST_F(LayoutLibrary, CatalogueCellsAreTheBuiltLibraries)
{
    // The host build's library file, reached through Wine's Z: drive.
    wchar_t host[MAX_PATH] = {0};
    ASSERT_NE(0u, GetEnvironmentVariableW(L"KBD_HOST_DIR", host, MAX_PATH));
    for (auto cell : {std::make_pair(1, 8), std::make_pair(2, 10)})
    {
        wchar_t name[64];
        wsprintfW(name, L"/layouts/s0r%dc%02d.dll", cell.first, cell.second);
        Bytes file;
        ASSERT_TRUE(ReadBytes(std::wstring(L"Z:") + host + name, &file));
        EXPECT_EQ(file, DecodeBlob(install, g_layoutCatalogue.blob[0][cell.first][cell.second],
                                   g_layoutCatalogue.length[0][cell.first][cell.second]));
    }
}

TEST_F(LayoutLibrary, PathsOn64BitAnd32BitSystems)
{
    // The prefix is a 64-bit Windows, as the probe finds it.
    install.ProbeSystem(58, 144);
    ASSERT_EQ(9, install.m_processorArchitecture);
    ASSERT_EQ(1, install.m_is64BitOs);
    GString target1, target2, staging1, staging2;
    ASSERT_EQ(1, install.GetLayoutLibraryPaths(target1, target2, &staging1, &staging2));
    EXPECT_EQ(Lower(Wow64Folder() + L"\\" + kLibraryName), Lower(Wide(target1)));
    EXPECT_EQ(Lower(SystemFolder() + L"\\" + kLibraryName), Lower(Wide(target2)));
    EXPECT_EQ(Path(kLibraryName), Wide(staging1));
    EXPECT_EQ(Path(kLibraryName) + L"64", Wide(staging2));
    EXPECT_NE(Lower(Wide(target1)), Lower(Wide(target2)));

    install.m_is64BitOs = 0;
    GString other2;
    other2.AssignWide(L"untouched");
    ASSERT_EQ(1, install.GetLayoutLibraryPaths(target1, target2, &staging1, &other2));
    EXPECT_EQ(Lower(SystemFolder() + L"\\" + kLibraryName), Lower(Wide(target1)));
    EXPECT_EQ(0, target2.length);
    EXPECT_EQ(L"untouched", Wide(other2)) << "no second staging path on a 32-bit system";
    ASSERT_EQ(1, install.GetLayoutLibraryPaths(target1, target2, nullptr, nullptr));

    // Where the 32-bit system folder cannot be asked for, no path is built.
    install.m_is64BitOs = 1;
    install.Override(60, "NoSuchFunction");
    EXPECT_EQ(0, install.GetLayoutLibraryPaths(target1, target2, nullptr, nullptr));
    EXPECT_EQ(0, target1.length);
    install.Override(60, "GetSystemWow64DirectoryW");
    install.Override(83, "");
    EXPECT_EQ(0, install.GetLayoutLibraryPaths(target1, target2, nullptr, nullptr));
}

TEST_F(LayoutLibrary, StagedLibraryCarriesExactlyTheAssignmentsAndTheDecimalKey)
{
    AssignKeys();
    StageAndCompare(0, 0, 8, false);
    StageAndCompare(0, 1, 10, true);
    StageAndCompare(1, 2, 12, true);
    StageAndCompare(1, 0, 2, true);
    StageAndCompare(0, 1, 9, true);  // IA64
}

TEST_F(LayoutLibrary, KeysOutsideTheTablesAndUnassignedKeysChangeNothing)
{
    const unsigned char* blob = g_layoutCatalogue.blob[0][0][11];
    const int size = g_layoutCatalogue.length[0][0][11];
    const Bytes original = DecodeBlob(install, blob, size);
    const std::wstring staging = Path(L"staged.dll");

    // Untouched table: the three patterns must be there, the image stays as it is.
    ASSERT_EQ(1, install.StageLayoutLibrary(Path(L"t.dll").c_str(), staging.c_str(), blob, size));
    Bytes staged;
    ASSERT_TRUE(ReadBytes(staging, &staged));
    EXPECT_TRUE(original == staged);

    // Scan codes 0x7F and 0x00FF are in no table; 0xE0FF is in no list.
    install.m_keys[0].scanCode = 0x7F;
    install.m_keys[0].virtualKey = 0x41;
    install.m_keys[1].scanCode = 0x00FF;
    install.m_keys[1].virtualKey = 0x42;
    install.m_keys[2].scanCode = 0xE0FF;
    install.m_keys[2].virtualKey = 0x43;
    ASSERT_EQ(1, install.StageLayoutLibrary(Path(L"t.dll").c_str(), staging.c_str(), blob, size));
    ASSERT_TRUE(ReadBytes(staging, &staged));
    EXPECT_TRUE(original == staged);

    // Without a key table no pattern is needed.
    install.Override(147, nullptr);
    install.Override(150, nullptr);
    install.Override(151, nullptr);
    KeyEntry* keys = install.m_keys;
    install.m_keys = nullptr;
    EXPECT_EQ(1, install.StageLayoutLibrary(Path(L"t.dll").c_str(), staging.c_str(), blob, size));
    install.m_keys = keys;
    install.m_keyCount = 0;
    EXPECT_EQ(1, install.StageLayoutLibrary(Path(L"t.dll").c_str(), staging.c_str(), blob, size));
    install.m_keyCount = kKeyTableRows;
}

TEST_F(LayoutLibrary, APatternThatIsMissingOrWrongWritesNothing)
{
    AssignKeys();
    const unsigned char* blob = g_layoutCatalogue.blob[0][0][8];
    const int size = g_layoutCatalogue.length[0][0][8];
    const Bytes original = DecodeBlob(install, blob, size);
    ASSERT_GT(original.size(), 64u);
    const std::wstring staging = Path(L"staged.dll");
    const std::wstring target = Path(L"never moved.dll");
    struct Case
    {
        int id;
        const char* text;  // null: the id has no text
        int decimalVariant;
    } cases[] = {
        {147, nullptr, 1},        {147, "", 1},         {147, "DEADBEEFDEADBEEF", 1},
        {150, nullptr, 1},        {150, "1000b1011900b001", 1},
        {151, "0102030405060708", 1},
        {146, nullptr, 0},        {146, "2C002C00FFFF", 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.id << " " << (c.text ? c.text : "(none)"));
        COverrideInstall fresh;
        ASSERT_EQ(1, fresh.Init(GetModuleHandleW(nullptr)));
        fresh.m_programFolder.AssignWide(kRoot);
        fresh.m_layoutVariant = 0;
        fresh.m_decimalVariant = c.decimalVariant;
        for (int k = 0; k < install.m_keyCount; k++)
            fresh.m_keys[k] = install.m_keys[k];
        fresh.Override(c.id, c.text);
        // A staging file of an earlier run stays as it was.
        WriteBytesTo(staging, Bytes{'o', 'l', 'd'});
        EXPECT_EQ(0, fresh.StageLayoutLibrary(target.c_str(), staging.c_str(), blob, size));
        Bytes after;
        ASSERT_TRUE(ReadBytes(staging, &after));
        EXPECT_EQ((Bytes{'o', 'l', 'd'}), after);
        EXPECT_FALSE(IsPendingAtAll(target));
    }

    // The decimal pattern is not looked up unless the decimal variant is 0.
    for (int variant : {1, -1})
    {
        install.m_decimalVariant = variant;
        install.Override(146, nullptr);
        EXPECT_EQ(1, install.StageLayoutLibrary(target.c_str(), staging.c_str(), blob, size));
    }
}

// A pattern found so near the end of the image that its table would run past it is refused:
// the fixture's document stands in for a library, its last bytes for the patterns.
TEST_F(LayoutLibrary, ATableThatWouldRunPastTheImageIsRefused)
{
    const unsigned char* blob = StoreBlob(kBlobDocMain);
    const int size = StoreBlobLength(kBlobDocMain);
    const Bytes document = DecodeBlob(install, blob, size);
    ASSERT_GT(document.size(), 8u);
    auto hex = [&document](size_t from, size_t count) {
        std::string text;
        for (size_t i = from; i < from + count; i++)
        {
            char digits[3];
            wsprintfA(digits, "%02X", document[i]);
            text += digits;
        }
        return text;
    };
    const std::wstring staging = Path(L"staged.dll");
    const std::wstring target = Path(L"past the end.dll");
    const std::string lastEight = hex(document.size() - 8, 8);
    const std::string lastTwo = hex(document.size() - 2, 2);
    // Both runs occur first where they end the document.
    ASSERT_EQ(static_cast<long>(document.size() - 8),
              FindOnce(document, Bytes(document.end() - 8, document.end())));
    ASSERT_EQ(static_cast<long>(document.size() - 2),
              FindOnce(document, Bytes(document.end() - 2, document.end())));
    struct Case
    {
        int id;
        std::string text;
        int keyCount;
        int result;
    } cases[] = {
        {147, lastEight, kKeyTableRows, 0},
        {146, lastTwo, 0, 0},
        {146, hex(0, 2), 0, 1},  // the same patch away from the end
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text);
        install.m_keys[0].virtualKey = 0x41;
        install.m_keyCount = c.keyCount;
        install.m_decimalVariant = 0;
        install.Override(c.id, c.text.c_str());
        DeleteFileW(staging.c_str());
        EXPECT_EQ(c.result, install.StageLayoutLibrary(target.c_str(), staging.c_str(), blob, size));
        EXPECT_EQ(c.result == 1, Exists(staging));
        install.Override(c.id, nullptr);
    }
    Bytes staged;
    ASSERT_TRUE(ReadBytes(staging, &staged));
    Bytes expected = document;
    expected[0] = 44;
    expected[2] = 44;
    EXPECT_TRUE(expected == staged);
    install.m_keyCount = kKeyTableRows;
}

TEST_F(LayoutLibrary, RefusesBadArgumentsAndABadBlob)
{
    const unsigned char* blob = g_layoutCatalogue.blob[0][0][8];
    const int size = g_layoutCatalogue.length[0][0][8];
    const std::wstring staging = Path(L"staged.dll");
    const std::wstring target = Path(L"refused.dll");
    EXPECT_EQ(0, install.StageLayoutLibrary(nullptr, staging.c_str(), blob, size));
    EXPECT_EQ(0, install.StageLayoutLibrary(target.c_str(), nullptr, blob, size));
    EXPECT_EQ(0, install.StageLayoutLibrary(target.c_str(), staging.c_str(), nullptr, size));
    EXPECT_EQ(0, install.StageLayoutLibrary(L"", staging.c_str(), blob, size));
    Bytes corrupt(blob, blob + size);
    corrupt[size / 2] ^= 1;
    EXPECT_EQ(0, install.StageLayoutLibrary(target.c_str(), staging.c_str(), corrupt.data(), size));
    EXPECT_EQ(0, install.StageLayoutLibrary(target.c_str(), Path(L"no folder\\x.dll").c_str(),
                                            blob, size));
    EXPECT_FALSE(Exists(staging));
    EXPECT_FALSE(IsPendingAtAll(target));
}

TEST_F(LayoutLibrary, InstallStagesWhatTheSystemNeeds)
{
    AssignKeys();
    // 64-bit Windows 7: the 32-bit library for syswow64, the native one for system32.
    install.m_osVersionCode = 61;
    install.m_processorArchitecture = 9;
    install.m_is64BitOs = 1;
    install.m_layoutVariant = 1;
    install.m_decimalVariant = 0;
    ASSERT_EQ(1, install.InstallLayoutLibraries());
    const std::wstring staging1 = Path(kLibraryName);
    const std::wstring staging2 = staging1 + L"64";
    const std::wstring target1 = Wow64Folder() + L"\\" + kLibraryName;
    const std::wstring target2 = SystemFolder() + L"\\" + kLibraryName;
    Bytes staged;
    ASSERT_TRUE(ReadBytes(staging1, &staged));
    EXPECT_TRUE(staged == Expect(install, g_layoutCatalogue.blob[0][1][8],
                                 g_layoutCatalogue.length[0][1][8], 1, true, install.m_keys,
                                 install.m_keyCount).patched);
    ASSERT_TRUE(ReadBytes(staging2, &staged));
    EXPECT_TRUE(staged == Expect(install, g_layoutCatalogue.blob[0][1][10],
                                 g_layoutCatalogue.length[0][1][10], 1, true, install.m_keys,
                                 install.m_keyCount).patched);
    EXPECT_TRUE(IsPending(staging1, target1));
    EXPECT_TRUE(IsPending(staging2, target2));
    EXPECT_FALSE(Exists(target1)) << "replaced at the restart, not now";

    // 64-bit processor with Windows 2000's version code: no second cell, so the second step fails.
    DeleteFileW(staging1.c_str());
    DeleteFileW(staging2.c_str());
    install.m_osVersionCode = 50;
    EXPECT_EQ(0, install.InstallLayoutLibraries());
    EXPECT_TRUE(Exists(staging1)) << "the first library stays staged";
    EXPECT_FALSE(Exists(staging2));

    // 32-bit Windows: one library, for the system folder.
    DeleteFileW(staging1.c_str());
    install.m_is64BitOs = 0;
    install.m_processorArchitecture = 0;
    install.m_osVersionCode = 52;
    ASSERT_EQ(1, install.InstallLayoutLibraries());
    EXPECT_TRUE(Exists(staging1));
    EXPECT_FALSE(Exists(staging2));

    // A refused system stages nothing.
    DeleteFileW(staging1.c_str());
    install.m_processorArchitecture = 6;
    install.m_osVersionCode = 62;
    EXPECT_EQ(0, install.InstallLayoutLibraries());
    EXPECT_FALSE(Exists(staging1));
}
}
