// Phases of one installation's life, run in turn by install_restart.sh with a restart of the
// Wine prefix (wineboot -r) between them: what the restart does with the requests the install
// and the uninstall left.
#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Install.h"
#include "tests/engine/InstallTestUtil.h"

using namespace insttest;

namespace
{
class Phase : public ::testing::Test
{
protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    void TearDown() override { CoUninitialize(); }
};

std::wstring Join(const std::wstring& a, const std::wstring& b)
{
    return a + L"\\" + b;
}

std::vector<size_t> Differences(const Bytes& a, const Bytes& b)
{
    std::vector<size_t> places;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i])
            places.push_back(i);
    return places;
}
}

TEST_F(Phase, Install)
{
    Wipe();
    InstallRecorder();
    CInstall install;
    Start(install);
    install.SetDecimalVariant(0);
    AssignTestKeys(install);
    ASSERT_EQ(1, install.Install());
    EXPECT_FALSE(FileExists(Join(SystemFolder(), kLibraryName)));
    EXPECT_FALSE(FileExists(Join(Wow64Folder(), kLibraryName)));
}

TEST_F(Phase, AfterInstallRestart)
{
    CInstall install;
    Start(install);
    ASSERT_EQ(190u, install.m_installedVersion);
    ASSERT_EQ(0, install.m_decimalVariant) << "read back from the record";
    // The key assignments come back from the record; the images are patched for them.
    int primarySlot = 0, secondarySlot = 0;
    LibrarySlots(install, &primarySlot, &secondarySlot);
    struct Library
    {
        std::wstring path;
        int slot;
    } libraries[] = {
        {Join(Wow64Folder(), kLibraryName), primarySlot},
        {Join(SystemFolder(), kLibraryName), secondarySlot},
    };
    for (const Library& l : libraries)
    {
        bool found = false;
        const Bytes installed = ReadFileBytes(l.path, &found);
        ASSERT_TRUE(found) << Narrow(l.path);
        const Bytes stored = DecodeCell(install, 0, 0, l.slot);
        std::vector<size_t> patched;
        const Bytes expected = ExpectedPatchedImage(install, stored, 0, 0, &patched);
        EXPECT_EQ(expected, installed) << Narrow(l.path);
        ASSERT_EQ(stored.size(), installed.size());
        // The bytes differ from the stored ones exactly where a patch changed them.
        std::vector<size_t> changed;
        for (size_t at : patched)
            if (stored[at] != expected[at])
                changed.push_back(at);
        EXPECT_FALSE(changed.empty());
        EXPECT_EQ(changed, Differences(stored, installed)) << Narrow(l.path);
    }
    // The staging files were moved, and no request is left.
    const ExpectedPaths p = Paths();
    EXPECT_FALSE(FileExists(Join(p.programFolder, kLibraryName)));
    EXPECT_FALSE(FileExists(Join(p.programFolder, std::wstring(kLibraryName) + L"64")));
    EXPECT_TRUE(PendingOperations().empty());
}

TEST_F(Phase, Uninstall)
{
    CInstall install;
    Start(install);
    ASSERT_EQ(190u, install.m_installedVersion);
    ASSERT_EQ(1, install.m_installCount);
    ASSERT_EQ(1, install.m_docMainUseCount);
    ASSERT_EQ(1, install.Uninstall());
    // The libraries wait for the restart.
    EXPECT_TRUE(FileExists(Join(SystemFolder(), kLibraryName)));
    EXPECT_TRUE(FileExists(Join(Wow64Folder(), kLibraryName)));
}

TEST_F(Phase, AfterUninstallRestart)
{
    const ExpectedPaths p = Paths();
    // Nothing of the installation is left.
    for (const std::wstring& file : {Join(SystemFolder(), kLibraryName), Join(Wow64Folder(), kLibraryName),
                                     p.docMainDesktopLink, p.docSecondDesktopLink,
                                     p.textFileDesktopLink, p.pageDesktopLink})
        EXPECT_FALSE(FileExists(file)) << Narrow(file);
    for (const std::wstring& folder : {p.programParent, p.programFolder, p.menuParent, p.menuFolder})
        EXPECT_FALSE(FolderExists(folder)) << Narrow(folder);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kVendorKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kLayoutKey));
    EXPECT_TRUE(PendingOperations().empty());
    CInstall install;
    Start(install);
    EXPECT_EQ(0u, install.m_installedVersion);

    // Kept on purpose: the machine's scan-code map (the remaps stay until the user changes them)
    // and the user's hotkey values.
    const Bytes map = {0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0x1D, 0, 0x3A, 0, 0, 0, 0x46, 0, 0, 0, 0, 0};
    EXPECT_EQ(map, ReadBinary(HKEY_LOCAL_MACHINE, kMapKey, kMapValue));
    for (const wchar_t* name : {L"Hotkey", L"Language Hotkey", L"Layout Hotkey"})
        EXPECT_EQ(L"3", ReadString(HKEY_CURRENT_USER, kToggleKey, name)) << Narrow(name);
}
