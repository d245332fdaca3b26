// The uninstall procedure after a real installation of the fixture: the counters that protect
// shared files, a record that lost its installation key, and an older copy without a record.
#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/Install.h"
#include "tests/engine/InstallTestUtil.h"

using namespace insttest;

namespace
{
class UninstallProcedure : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        Wipe();
        InstallRecorder();
    }
    void TearDown() override
    {
        Wipe();
        CoUninitialize();
    }

    void InstallFixture()
    {
        CInstall install;
        Start(install);
        AssignTestKeys(install);
        ASSERT_EQ(1, install.Install());
    }
};

std::wstring Join(const std::wstring& a, const std::wstring& b)
{
    return a + L"\\" + b;
}

std::vector<std::wstring> FolderContents(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Join(folder, L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do
    {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}
}

TEST_F(UninstallProcedure, CountersDecideWhatGoes)
{
    struct Case
    {
        uint32_t installCount, useCount;
        bool sharedGoes;   // text file, page files, second document
        bool documentGoes; // main document
    } cases[] = {
        {1, 1, true, true},
        {2, 2, false, false},
        {2, 1, false, true},
        {1, 2, true, false},
    };
    for (const Case& c : cases)
    {
        const std::string what = std::to_string(c.installCount) + "/" + std::to_string(c.useCount);
        Wipe();
        InstallRecorder();
        InstallFixture();
        const size_t addCommands = RecordedSettings().size();
        // Another installation shares the files.
        WriteDword(HKEY_LOCAL_MACHINE, kRecordKey, L"Install Count", c.installCount);
        WriteDword(HKEY_LOCAL_MACHINE, kDocKey, L"Use Count", c.useCount);

        CInstall install;
        Start(install);
        ASSERT_EQ(190u, install.m_installedVersion) << what;
        ASSERT_EQ(1, install.Uninstall()) << what;
        EXPECT_EQ(1, install.m_uninstalled) << what;
        EXPECT_EQ(static_cast<int>(c.installCount) - 1, install.m_installCount) << what;
        EXPECT_EQ(static_cast<int>(c.useCount) - 1, install.m_docMainUseCount) << what;

        const ExpectedPaths p = Paths();
        // Always: the libraries at the restart, the registration, the setup copy and its link.
        EXPECT_TRUE(HasPendingDeletion(Join(Wow64Folder(), kLibraryName))) << what;
        EXPECT_TRUE(HasPendingDeletion(Join(SystemFolder(), kLibraryName))) << what;
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kLayoutKey)) << what;
        EXPECT_FALSE(FileExists(p.setupCopy)) << what;
        EXPECT_FALSE(FileExists(p.setupMenuLink)) << what;
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kInstallGroupKey)) << what;

        for (const std::wstring& f : {p.docMain, p.docMainMenuLink, p.docMainDesktopLink})
            EXPECT_EQ(!c.documentGoes, FileExists(f)) << what << " " << Narrow(f);
        for (const std::wstring& f : {p.textFile, p.textFileMenuLink, p.textFileDesktopLink,
                                      p.pageMenuLink, p.pageDesktopLink, p.docSecond,
                                      p.docSecondMenuLink, p.docSecondDesktopLink, p.pageFile})
            EXPECT_EQ(!c.sharedGoes, FileExists(f)) << what << " " << Narrow(f);

        // The record keeps the parts whose counter is still above zero.
        EXPECT_EQ(!c.documentGoes, KeyExists(HKEY_LOCAL_MACHINE, kDocGroupKey)) << what;
        if (!c.documentGoes)
        {
            EXPECT_EQ(c.useCount - 1, ReadDword(HKEY_LOCAL_MACHINE, kDocKey, L"Use Count")) << what;
        }
        if (c.sharedGoes && c.documentGoes)
        {
            EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kVendorKey)) << what;
        }
        if (c.sharedGoes)
        {
            EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRecordKey, L"Text File")) << what;
        }
        else
        {
            EXPECT_EQ(c.installCount - 1, ReadDword(HKEY_LOCAL_MACHINE, kRecordKey, L"Install Count"))
                << what;
        }

        // Folders go only when empty. Before the restart the staged libraries still wait in the
        // program folder for their move.
        EXPECT_EQ(!(c.sharedGoes && c.documentGoes), FolderExists(p.menuFolder)) << what;
        if (c.sharedGoes && c.documentGoes)
        {
            EXPECT_EQ((std::vector<std::wstring>{kLibraryName, std::wstring(kLibraryName) + L"64"}),
                      FolderContents(p.programFolder))
                << what;
        }

        // The input language is taken away only with the last installation.
        const std::vector<std::string> settings = RecordedSettings();
        ASSERT_EQ(addCommands + (c.sharedGoes ? 1 : 0), settings.size()) << what;
        if (c.sharedGoes)
        {
            EXPECT_EQ("remove 66: []", settings.back()) << what;
        }
    }
}

TEST_F(UninstallProcedure, AnInstallCountOfZeroStaysZeroAndCountsAsTheLast)
{
    InstallFixture();
    WriteDword(HKEY_LOCAL_MACHINE, kRecordKey, L"Install Count", 0);

    CInstall install;
    Start(install);
    ASSERT_EQ(190u, install.m_installedVersion);
    ASSERT_EQ(0, install.m_installCount);
    ASSERT_EQ(1, install.Uninstall());
    EXPECT_EQ(0, install.m_installCount);
    EXPECT_FALSE(FileExists(Paths().textFile));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kRecordKey));
}

TEST_F(UninstallProcedure, ARecordWithoutItsInstallationKeyIsLeftAsItIs)
{
    InstallFixture();
    CInstall install;
    Start(install);
    ASSERT_EQ(190u, install.m_installedVersion);
    // Key 89 goes after the start-up read it.
    DeleteTree(HKEY_LOCAL_MACHINE, kInstallKey);

    EXPECT_EQ(0, install.RemoveInstalledState());
    ASSERT_EQ(1, install.Uninstall());
    EXPECT_EQ(1, install.m_uninstalled);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kInstallGroupKey));
    EXPECT_EQ(1u, ReadDword(HKEY_LOCAL_MACHINE, kRecordKey, L"Install Count"));
    EXPECT_EQ(1u, ReadDword(HKEY_LOCAL_MACHINE, kDocKey, L"Use Count"));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kRecordKey, L"Text File"));
    // Everything else went.
    const ExpectedPaths p = Paths();
    EXPECT_FALSE(FileExists(p.docMain));
    EXPECT_FALSE(FileExists(p.textFile));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kLayoutKey));
}

TEST_F(UninstallProcedure, AnOlderCopyLosesItsFilesLibrariesAndRegistrationOnly)
{
    const std::vector<std::wstring> oldFiles = SeedOlderCopy();
    // A record too incomplete to be read: an older copy's uninstall leaves it alone.
    WriteDword(HKEY_LOCAL_MACHINE, kRecordKey, L"Install Count", 5);

    CInstall install;
    Start(install);
    ASSERT_EQ(130u, install.m_installedVersion);
    ASSERT_EQ(1, install.Uninstall());
    EXPECT_EQ(1, install.m_uninstalled);
    for (const std::wstring& f : oldFiles)
        EXPECT_FALSE(FileExists(f)) << Narrow(f);
    EXPECT_TRUE(HasPendingDeletion(Join(Wow64Folder(), kLibraryName)));
    EXPECT_TRUE(HasPendingDeletion(Join(SystemFolder(), kLibraryName)));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kLayoutKey));
    EXPECT_EQ(5u, ReadDword(HKEY_LOCAL_MACHINE, kRecordKey, L"Install Count"));
    const std::vector<std::string> settings = RecordedSettings();
    ASSERT_EQ(1u, settings.size());
    EXPECT_EQ("remove 66: []", settings[0]);
}
