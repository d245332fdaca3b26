// What a restart does with the requests of the file and layout operations. restart.sh runs the
// BeforeRestart cases, restarts the prefix with wineboot -r, then runs the AfterRestart cases.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "core/Install.h"
#include "payload/AssetStore.h"
#include "tests/engine/FilesTestUtil.h"

using namespace filetest;

namespace
{
const wchar_t kRoot[] = L"C:\\kbdrestart";
const wchar_t kLibraryName[] = L"kbdfxtst.dll";  // fixture string 83
const wchar_t kLocked[] = L"C:\\kbdrestart\\locked.txt";

// A 64-bit Windows 7 with the second variant, the decimal patch and a few assignments.
void Prepare(CInstall& install)
{
    ASSERT_EQ(1, install.Init(GetModuleHandleW(nullptr)));
    install.m_programFolder.AssignWide(kRoot);
    install.m_osVersionCode = 61;
    install.m_processorArchitecture = 9;
    install.m_is64BitOs = 1;
    install.m_layoutVariant = 2;
    install.m_decimalVariant = 0;
    const uint16_t assignments[][2] = {{0x10, 0x5A}, {0x2C, 0x51}, {0xE01C, 0x1AB}, {0xE11D, 0x0EF}};
    for (auto& a : assignments)
    {
        KeyEntry* key = install.FindKey(a[0]);
        ASSERT_NE(nullptr, key);
        key->virtualKey = a[1];
    }
}
}

TEST(BeforeRestart, LibrariesStagedAndLockedFileScheduled)
{
    CInstall install;
    Prepare(install);
    RemoveTree(kRoot);
    ASSERT_TRUE(CreateDirectoryW(kRoot, nullptr));
    ASSERT_EQ(1, install.InstallLayoutLibraries());
    const std::wstring staging = std::wstring(kRoot) + L"\\" + kLibraryName;
    EXPECT_TRUE(IsPending(staging, Wow64Folder() + L"\\" + kLibraryName));
    EXPECT_TRUE(IsPending(staging + L"64", SystemFolder() + L"\\" + kLibraryName));

    WriteBytesTo(kLocked, Bytes{'l'});
    HANDLE hold = CreateFileW(kLocked, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hold);
    EXPECT_EQ(1, install.DeleteOrSchedule(kLocked));
    CloseHandle(hold);
    EXPECT_TRUE(Exists(kLocked));
}

TEST(AfterRestart, LibrariesInTheSystemFoldersAndLockedFileGone)
{
    CInstall install;
    Prepare(install);
    const std::wstring staging = std::wstring(kRoot) + L"\\" + kLibraryName;
    struct
    {
        std::wstring target;
        int slot;
    } libraries[] = {{Wow64Folder() + L"\\" + kLibraryName, 8},
                     {SystemFolder() + L"\\" + kLibraryName, 10}};
    for (auto& library : libraries)
    {
        SCOPED_TRACE(Narrow(library.target));
        ExpectedLibrary expected =
            Expect(install, g_layoutCatalogue.blob[0][2][library.slot],
                   g_layoutCatalogue.length[0][2][library.slot], 2, true, install.m_keys,
                   install.m_keyCount);
        Bytes installed;
        ASSERT_TRUE(ReadBytes(library.target, &installed));
        EXPECT_TRUE(expected.patched == installed);
        EXPECT_FALSE(expected.original == installed);
        EXPECT_EQ(44, installed[expected.decimal]);
        EXPECT_EQ(0x5A, U16(installed, expected.scanTable + 2 * 0x10));
    }
    EXPECT_FALSE(Exists(staging)) << "moved, not copied";
    EXPECT_FALSE(Exists(staging + L"64"));
    EXPECT_FALSE(Exists(kLocked));
    EXPECT_FALSE(IsPendingAtAll(staging));
    EXPECT_FALSE(IsPendingAtAll(kLocked));
}
