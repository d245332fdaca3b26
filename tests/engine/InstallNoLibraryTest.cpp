// An installation whose catalogue cell holds no layout pattern: the files are in place, the
// library is not staged, and nothing after the libraries happens.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "core/Install.h"
#include "tests/engine/InstallTestUtil.h"

using namespace insttest;

TEST(InstallWithoutPatterns, StopsAtTheLibrariesAndLeavesTheFiles)
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    Wipe();
    InstallRecorder();
    WriteString(HKEY_CURRENT_USER, kToggleKey, L"Hotkey", L"1");
    {
        CInstall install;
        Start(install);
        EXPECT_EQ(0, install.Install());
        EXPECT_EQ(0, install.m_installed);
        // What was done before the libraries stays.
        const ExpectedPaths p = Paths();
        EXPECT_TRUE(FileExists(p.docMain));
        EXPECT_TRUE(FileExists(p.textFile));
        EXPECT_TRUE(FileExists(p.setupCopy));
        // A library whose patterns are missing is not written at all.
        const std::wstring staging = p.programFolder + L"\\" + kLibraryName;
        EXPECT_FALSE(FileExists(staging));
        EXPECT_FALSE(HasPendingMove(staging, Wow64Folder() + L"\\" + kLibraryName));
        // Nothing after the libraries: no record, no registration, no map, no input language.
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kVendorKey));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kLayoutKey));
        EXPECT_TRUE(RecordedSettings().empty());
        EXPECT_EQ(L"1", ReadString(HKEY_CURRENT_USER, kToggleKey, L"Hotkey"));
    }
    Wipe();
    CoUninitialize();
}
