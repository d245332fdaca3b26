// The install procedure driven through the installer's own operations, without the wizard:
// first installation, re-installation, upgrade of an older copy, options-only mode, a layout key
// held by another layout, and the failures that stop it.
#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Install.h"
#include "payload/AssetStore.h"
#include "tests/engine/InstallTestUtil.h"

using namespace insttest;

namespace
{
const char kManual[] = "Manual of the Acme Keys layout (install fixture).\n";
const char kChart[] = "Chart of the Acme Keys layout (install fixture).\n";
const char kPage[] =
    "<!DOCTYPE html>\n<html><head><title>Acme Keys</title></head><body>Acme Keys</body></html>\n";
const char kTextFile[] = "Acme Keys: the layout is installed.\nRestart Windows to use it.\n";

class InstallProcedure : public ::testing::Test
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

    // A first installation as the setup page would start it.
    void FirstInstall(int desktopShortcuts)
    {
        CInstall install;
        Start(install);
        ASSERT_EQ(0u, install.m_installedVersion);
        install.m_desktopShortcuts = desktopShortcuts;
        ASSERT_EQ(1, install.Install());
    }
};

std::wstring Join(const std::wstring& a, const std::wstring& b)
{
    return a + L"\\" + b;
}

}

TEST_F(InstallProcedure, FirstInstallationLeavesEverythingInPlace)
{
    CInstall install;
    Start(install);
    ASSERT_EQ(0u, install.m_installedVersion);
    ASSERT_EQ(9, install.m_processorArchitecture);
    ASSERT_GE(install.m_osVersionCode, 52);
    int primarySlot = 0, secondarySlot = 0;
    LibrarySlots(install, &primarySlot, &secondarySlot);
    ASSERT_EQ(0, install.m_layoutVariant);
    install.SetDecimalVariant(0);
    AssignTestKeys(install);
    ASSERT_EQ(1, install.Install());
    EXPECT_EQ(1, install.m_installed);
    EXPECT_EQ(1, install.m_installCount);
    EXPECT_EQ(1, install.m_docMainUseCount);

    const ExpectedPaths p = Paths();
    for (const std::wstring& folder : {p.programParent, p.programFolder, p.menuParent, p.menuFolder})
        EXPECT_TRUE(FolderExists(folder)) << Narrow(folder);

    // Files and their bytes.
    const std::string pageLink = "[InternetShortcut]\nURL=file:///" + Narrow(p.programFolder) +
                                 "\\acme-keys.html\n";
    struct File
    {
        std::wstring path;
        std::string text;
    } files[] = {
        {p.docMain, kManual},       {p.docSecond, kChart},           {p.pageFile, kPage},
        {p.textFile, kTextFile},    {p.pageMenuLink, pageLink},      {p.pageDesktopLink, pageLink},
    };
    for (const File& f : files)
        EXPECT_EQ(f.text, ReadFileText(f.path)) << Narrow(f.path);
    EXPECT_EQ(ReadFileBytes(OwnPath()), ReadFileBytes(p.setupCopy)) << "the setup copy";

    // Shortcuts, loaded back through the shell.
    const std::wstring icon = L"shell32.dll";
    struct Link
    {
        std::wstring link, target, description, icon;
    } links[] = {
        {p.docMainMenuLink, p.docMain, L"Manual of the Acme Keys layout", L""},
        {p.docMainDesktopLink, p.docMain, L"Manual of the Acme Keys layout", L""},
        {p.docSecondMenuLink, p.docSecond, L"Chart of the Acme Keys layout", L""},
        {p.docSecondDesktopLink, p.docSecond, L"Chart of the Acme Keys layout", L""},
        {p.textFileMenuLink, p.textFile, L"Read me first", icon},
        {p.textFileDesktopLink, p.textFile, L"Read me first", icon},
        {p.setupMenuLink, p.setupCopy, L"Acme Keys Setup", p.setupCopy},
    };
    for (const Link& l : links)
    {
        const Shortcut s = ReadShortcut(l.link);
        ASSERT_TRUE(s.loaded) << Narrow(l.link);
        EXPECT_TRUE(SameText(l.target, s.target)) << Narrow(l.link) << " -> " << Narrow(s.target);
        EXPECT_EQ(l.description, s.description) << Narrow(l.link);
        EXPECT_TRUE(SameText(l.icon, s.icon)) << Narrow(l.link) << " icon " << Narrow(s.icon);
        if (!l.icon.empty())
        {
            EXPECT_EQ(0, s.iconIndex) << Narrow(l.link);
        }
    }

    // The layout's registration, the scan-code map and the hotkey values.
    EXPECT_EQ(L"Acme Keys", ReadString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout Text"));
    EXPECT_EQ(L"@%SystemRoot%\\system32\\kbdacme.dll,-1000",
              ReadString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout Display Name"));
    EXPECT_EQ(L"03a7", ReadString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout Id"));
    EXPECT_EQ(L"kbdacme.dll", ReadString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout File"));
    const Bytes map = {0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0x1D, 0, 0x3A, 0, 0, 0, 0x46, 0, 0, 0, 0, 0};
    EXPECT_EQ(map, ReadBinary(HKEY_LOCAL_MACHINE, kMapKey, kMapValue));
    for (const wchar_t* name : {L"Hotkey", L"Language Hotkey", L"Layout Hotkey"})
        EXPECT_EQ(L"3", ReadString(HKEY_CURRENT_USER, kToggleKey, name)) << Narrow(name);

    // The settings file handed to the command.
    const std::vector<std::string> settings = RecordedSettings();
    ASSERT_EQ(1u, settings.size());
    EXPECT_EQ(ExpectedAddSettings(install, 0x0415, 1), settings[0]);

    // The installed-state record.
    wchar_t layoutName[KL_NAMELENGTH] = {0};
    ASSERT_TRUE(GetKeyboardLayoutNameW(layoutName));
    wchar_t original[64];
    swprintf(original, 64, L"%04X:%ls", static_cast<unsigned>(GetUserDefaultLangID()), layoutName);
    struct Text
    {
        const wchar_t* key;
        const wchar_t* name;
        std::wstring text;
    } texts[] = {
        {kRecordKey, L"Original Layout", original},
        {kRecordKey, L"Text File", p.textFile},
        {kRecordKey, L"Text File Menu Link", p.textFileMenuLink},
        {kRecordKey, L"Text File Desktop Link", p.textFileDesktopLink},
        {kRecordKey, L"Page Menu Link", p.pageMenuLink},
        {kRecordKey, L"Page Desktop Link", p.pageDesktopLink},
        {kRecordKey, L"Page File", p.pageFile},
        {kRecordKey, L"Chart", p.docSecond},
        {kRecordKey, L"Chart Menu Link", p.docSecondMenuLink},
        {kRecordKey, L"Chart Desktop Link", p.docSecondDesktopLink},
        {kDocKey, L"File", p.docMain},
        {kDocKey, L"Menu Link", p.docMainMenuLink},
        {kDocKey, L"Desktop Link", p.docMainDesktopLink},
        {kInstallKey, L"Setup Copy", p.setupCopy},
        {kInstallKey, L"Setup Menu Link", p.setupMenuLink},
    };
    for (const Text& t : texts)
        EXPECT_TRUE(SameText(t.text, ReadString(HKEY_LOCAL_MACHINE, t.key, t.name)))
            << Narrow(t.name) << ": " << Narrow(ReadString(HKEY_LOCAL_MACHINE, t.key, t.name));
    struct Number
    {
        const wchar_t* key;
        const wchar_t* name;
        uint32_t value;
    } numbers[] = {
        {kRecordKey, L"Install Count", 1},  {kRecordKey, L"Chart Version", 190},
        {kDocKey, L"Version", 190},         {kDocKey, L"Use Count", 1},
        {kInstallKey, L"Version", 190},     {kInstallKey, L"Layout Variant", 0},
        {kInstallKey, L"Decimal Variant", 0}, {kInstallKey, L"Catalogue Set A", 0},
        {kInstallKey, L"Catalogue Set B", 0},
    };
    for (const Number& n : numbers)
        EXPECT_EQ(n.value, ReadDword(HKEY_LOCAL_MACHINE, n.key, n.name)) << Narrow(n.name);
    const Bytes assignments = {0x10, 0, 0x41, 0, 0x1E, 0, 0x42, 0, 0x1C, 0xE0, 0x0D, 0,
                               0x1D, 0xE1, 0x91, 0};
    EXPECT_EQ(assignments, ReadBinary(HKEY_LOCAL_MACHINE, kInstallKey, L"Key Assignments"));

    // The staged libraries, patched, each with its replace-at-restart request.
    const std::wstring staging1 = Join(p.programFolder, kLibraryName);
    const std::wstring staging2 = staging1 + L"64";
    const Bytes primary = DecodeCell(install, 0, 0, primarySlot);
    const Bytes secondary = DecodeCell(install, 0, 0, secondarySlot);
    ASSERT_FALSE(primary.empty());
    ASSERT_FALSE(secondary.empty());
    EXPECT_EQ(ExpectedPatchedImage(install, primary, 0, 0, nullptr), ReadFileBytes(staging1));
    EXPECT_EQ(ExpectedPatchedImage(install, secondary, 0, 0, nullptr), ReadFileBytes(staging2));
    EXPECT_TRUE(HasPendingMove(staging1, Join(Wow64Folder(), kLibraryName)));
    EXPECT_TRUE(HasPendingMove(staging2, Join(SystemFolder(), kLibraryName)));
}

TEST_F(InstallProcedure, DesktopLinksOnlyWhenAsked)
{
    FirstInstall(0);
    const ExpectedPaths p = Paths();
    for (const std::wstring& link : {p.docMainDesktopLink, p.docSecondDesktopLink, p.textFileDesktopLink})
        EXPECT_FALSE(FileExists(link)) << Narrow(link);
    // The page's link file is made whatever the option says.
    EXPECT_TRUE(FileExists(p.pageDesktopLink));
    for (const wchar_t* name : {L"Desktop Link"})
        EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kDocKey, name));
    for (const wchar_t* name : {L"Text File Desktop Link", L"Chart Desktop Link"})
        EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRecordKey, name)) << Narrow(name);
    EXPECT_TRUE(FileExists(p.docMainMenuLink));
}

TEST_F(InstallProcedure, ReinstallWithTheSamePathsKeepsCountersAndSharedFiles)
{
    FirstInstall(1);
    const ExpectedPaths p = Paths();
    // The user's own changes show which files a re-installation writes again.
    for (const std::wstring& path : {p.docMain, p.docSecond, p.textFile, p.pageMenuLink, p.pageFile})
        WriteFileText(path, "changed by the user");

    CInstall again;
    Start(again);
    ASSERT_EQ(190u, again.m_installedVersion);
    ASSERT_EQ(1, again.m_installCount);
    ASSERT_EQ(1, again.m_docMainUseCount);
    ASSERT_EQ(1, again.Install());
    EXPECT_EQ(1, again.m_installCount);
    EXPECT_EQ(1, again.m_docMainUseCount);
    EXPECT_EQ(1u, ReadDword(HKEY_LOCAL_MACHINE, kRecordKey, L"Install Count"));
    EXPECT_EQ(1u, ReadDword(HKEY_LOCAL_MACHINE, kDocKey, L"Use Count"));

    struct Case
    {
        std::wstring path;
        std::string text;
    } cases[] = {
        {p.docMain, kManual},  // the main document is written every time
        {p.docSecond, "changed by the user"},
        {p.textFile, "changed by the user"},
        {p.pageMenuLink, "changed by the user"},
        {p.pageFile, "changed by the user"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.text, ReadFileText(c.path)) << Narrow(c.path);
    for (const std::wstring& link : {p.docMainMenuLink, p.docMainDesktopLink, p.setupMenuLink})
        EXPECT_TRUE(ReadShortcut(link).loaded) << Narrow(link);
    EXPECT_TRUE(FileExists(p.setupCopy));
}

TEST_F(InstallProcedure, ReinstallWithAnotherMainDocumentMovesItAndItsDesktopLink)
{
    FirstInstall(1);
    const ExpectedPaths p = Paths();

    CInstall again;
    Start(again);
    ASSERT_EQ(190u, again.m_installedVersion);
    const std::wstring docMain = Join(p.programFolder, L"Acme Keys Handbook.pdf");
    const std::wstring menuLink = Join(p.menuFolder, L"Acme Keys Handbook.lnk");
    const std::wstring desktopLink = Join(p.desktop, L"Acme Keys Handbook.lnk");
    again.m_docMain.AssignWide(docMain.c_str());
    again.m_docMainMenuLink.AssignWide(menuLink.c_str());
    again.m_docMainDesktopLink.AssignWide(desktopLink.c_str());
    // The option is off now; the desktop link the user had is made again at its new place.
    again.m_desktopShortcuts = 0;
    ASSERT_EQ(1, again.Install());

    for (const std::wstring& old : {p.docMain, p.docMainMenuLink, p.docMainDesktopLink})
        EXPECT_FALSE(FileExists(old)) << Narrow(old);
    EXPECT_EQ(kManual, ReadFileText(docMain));
    EXPECT_TRUE(SameText(docMain, ReadShortcut(menuLink).target));
    EXPECT_TRUE(SameText(docMain, ReadShortcut(desktopLink).target));
    EXPECT_EQ(docMain, ReadString(HKEY_LOCAL_MACHINE, kDocKey, L"File"));
    EXPECT_EQ(menuLink, ReadString(HKEY_LOCAL_MACHINE, kDocKey, L"Menu Link"));
    EXPECT_EQ(desktopLink, ReadString(HKEY_LOCAL_MACHINE, kDocKey, L"Desktop Link"));
    EXPECT_EQ(1u, ReadDword(HKEY_LOCAL_MACHINE, kDocKey, L"Use Count"));
    EXPECT_EQ(1u, ReadDword(HKEY_LOCAL_MACHINE, kRecordKey, L"Install Count"));
    // The second document's group was in place already and stays.
    EXPECT_TRUE(FileExists(p.docSecondDesktopLink));
}

TEST_F(InstallProcedure, UpgradeOverAnOlderCopy)
{
    // An older copy: its registration and four files in the user's folders, and no record.
    const std::vector<std::wstring> oldFiles = SeedOlderCopy();

    CInstall install;
    Start(install);
    ASSERT_EQ(130u, install.m_installedVersion);
    ASSERT_EQ(1, install.Install());
    for (const std::wstring& f : oldFiles)
        EXPECT_FALSE(FileExists(f)) << Narrow(f);
    EXPECT_EQ(1, install.m_installCount);
    EXPECT_EQ(1u, ReadDword(HKEY_LOCAL_MACHINE, kRecordKey, L"Install Count"));
    EXPECT_EQ(190u, ReadDword(HKEY_LOCAL_MACHINE, kInstallKey, L"Version"));
    EXPECT_EQ(L"@%SystemRoot%\\system32\\kbdacme.dll,-1000",
              ReadString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout Display Name"));
}

TEST_F(InstallProcedure, OptionsOnlyTouchesOnlyTheOptionsAndTheLibraries)
{
    FirstInstall(1);
    const ExpectedPaths p = Paths();
    const std::wstring staging1 = Join(p.programFolder, kLibraryName);
    const std::wstring staging2 = staging1 + L"64";
    // Marks that a rewrite of the files or of the registration would undo.
    WriteFileText(p.docMain, "changed by the user");
    WriteFileText(p.textFile, "changed by the user");
    DeleteFileW(p.setupMenuLink.c_str());
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kLayoutKey, 0,
                                           KEY_SET_VALUE | KEY_WOW64_64KEY, &key));
    RegDeleteValueW(key, L"Layout Display Name");
    RegCloseKey(key);
    WriteDword(HKEY_LOCAL_MACHINE, kRecordKey, L"Install Count", 7);

    CInstall modify;
    Start(modify);
    ASSERT_EQ(190u, modify.m_installedVersion);
    modify.SetModifyOnly(1);
    modify.SetLayoutVariant(2);
    modify.SetDecimalVariant(0);
    modify.SetLayoutSetFlag(1);
    AssignTestKeys(modify);
    ASSERT_EQ(1, modify.Install());
    EXPECT_EQ(0, modify.m_installed);

    EXPECT_EQ(2u, ReadDword(HKEY_LOCAL_MACHINE, kInstallKey, L"Layout Variant"));
    EXPECT_EQ(0u, ReadDword(HKEY_LOCAL_MACHINE, kInstallKey, L"Decimal Variant"));
    EXPECT_EQ(1u, ReadDword(HKEY_LOCAL_MACHINE, kInstallKey, L"Catalogue Set B"));
    EXPECT_EQ(16u, ReadBinary(HKEY_LOCAL_MACHINE, kInstallKey, L"Key Assignments").size());
    EXPECT_EQ(7u, ReadDword(HKEY_LOCAL_MACHINE, kRecordKey, L"Install Count"));
    EXPECT_EQ("changed by the user", ReadFileText(p.docMain));
    EXPECT_EQ("changed by the user", ReadFileText(p.textFile));
    EXPECT_FALSE(FileExists(p.setupMenuLink));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout Display Name"));

    // The libraries of the new choice: set 1, variant 2, with the decimal patch.
    int primarySlot = 0, secondarySlot = 0;
    LibrarySlots(modify, &primarySlot, &secondarySlot);
    EXPECT_EQ(ExpectedPatchedImage(modify, DecodeCell(modify, 1, 2, primarySlot), 2, 0, nullptr),
              ReadFileBytes(staging1));
    EXPECT_EQ(ExpectedPatchedImage(modify, DecodeCell(modify, 1, 2, secondarySlot), 2, 0, nullptr),
              ReadFileBytes(staging2));
}

TEST_F(InstallProcedure, AnotherLayoutUnderOurKeyNameStopsTheInstallationBeforeAnything)
{
    WriteString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout Text", L"Other Keys");
    WriteString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout File", L"kbdother.dll");
    WriteString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout Id", L"0a11");

    CInstall install;
    Start(install);
    EXPECT_EQ(0u, install.m_installedVersion);
    EXPECT_EQ(0, install.Install());
    EXPECT_EQ(0, install.m_installed);
    EXPECT_FALSE(FolderExists(Paths().programParent));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kVendorKey));
    EXPECT_EQ(L"Other Keys", ReadString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout Text"));
    EXPECT_EQ(L"kbdother.dll", ReadString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout File"));
    EXPECT_EQ(L"0a11", ReadString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout Id"));
}

TEST_F(InstallProcedure, FailuresStopAndLeaveWhatWasDone)
{
    enum Failure
    {
        kMissingParentFolder,
        kCorruptPrimaryLibrary,
        kCorruptSecondaryLibrary,
        kNoSecondaryCellOnVersion50,
        kMissingSetupProgram,
        kNoLayoutsKey,
    };
    struct Case
    {
        const char* what;
        Failure failure;
        bool filesWritten;
        bool setupCopied;
        int librariesStaged;
        bool recordWritten;
        bool registered;
    } cases[] = {
        {"a folder that cannot be created", kMissingParentFolder, false, false, 0, false, false},
        {"a setup program that cannot be copied", kMissingSetupProgram, true, false, 0, false, false},
        {"a corrupted primary library", kCorruptPrimaryLibrary, true, true, 0, false, false},
        {"a corrupted secondary library", kCorruptSecondaryLibrary, true, true, 1, false, false},
        {"a 64-bit system on version 50", kNoSecondaryCellOnVersion50, true, true, 1, false, false},
        // The registration fails after the record: the record describes a complete installation.
        {"no keyboard-layout key to register in", kNoLayoutsKey, true, true, 2, true, false},
    };
    for (const Case& c : cases)
    {
        Wipe();
        InstallRecorder();
        CInstall install;
        Start(install);
        const ExpectedPaths p = Paths();
        unsigned char* corrupted = nullptr;
        DWORD protection = 0;
        switch (c.failure)
        {
        case kMissingParentFolder:
            install.m_programParent.AssignWide(L"C:\\no such folder\\Acme");
            install.m_programFolder.AssignWide(L"C:\\no such folder\\Acme\\Acme Keys");
            break;
        case kCorruptPrimaryLibrary:
        case kCorruptSecondaryLibrary:
        {
            int primarySlot = 0, secondarySlot = 0;
            LibrarySlots(install, &primarySlot, &secondarySlot);
            const int slot = c.failure == kCorruptPrimaryLibrary ? primarySlot : secondarySlot;
            // One flipped byte in the middle of the stored blob: its checksum no longer holds.
            corrupted = const_cast<unsigned char*>(g_layoutCatalogue.blob[0][0][slot]) +
                        g_layoutCatalogue.length[0][0][slot] / 2;
            ASSERT_TRUE(VirtualProtect(corrupted, 1, PAGE_READWRITE, &protection));
            *corrupted ^= 0x5A;
            break;
        }
        case kNoSecondaryCellOnVersion50:
            install.m_osVersionCode = 50;
            break;
        case kNoLayoutsKey:
            DeleteTree(HKEY_LOCAL_MACHINE, kLayoutsKey);
            break;
        case kMissingSetupProgram:
            install.m_setupPath.AssignWide(L"C:\\no such folder\\setup.exe");
            break;
        }

        EXPECT_EQ(0, install.Install()) << c.what;
        if (corrupted)
        {
            *corrupted ^= 0x5A;
            DWORD ignored = 0;
            VirtualProtect(corrupted, 1, protection, &ignored);
        }
        EXPECT_EQ(0, install.m_installed) << c.what;
        EXPECT_EQ(c.filesWritten, FileExists(p.docMain)) << c.what;
        EXPECT_EQ(c.filesWritten, FileExists(p.textFile)) << c.what;
        EXPECT_EQ(c.setupCopied, FileExists(p.setupCopy)) << c.what;
        const std::wstring staging1 = Join(p.programFolder, kLibraryName);
        const std::wstring staging2 = staging1 + L"64";
        EXPECT_EQ(c.librariesStaged >= 1, FileExists(staging1)) << c.what;
        EXPECT_EQ(c.librariesStaged >= 1, HasPendingMove(staging1, Join(Wow64Folder(), kLibraryName)))
            << c.what;
        EXPECT_EQ(c.librariesStaged >= 2, FileExists(staging2)) << c.what;
        EXPECT_EQ(c.librariesStaged >= 2, HasPendingMove(staging2, Join(SystemFolder(), kLibraryName)))
            << c.what;
        EXPECT_EQ(c.recordWritten, KeyExists(HKEY_LOCAL_MACHINE, kInstallKey)) << c.what;
        if (c.recordWritten)
        {
            EXPECT_EQ(190u, ReadDword(HKEY_LOCAL_MACHINE, kInstallKey, L"Version")) << c.what;
            EXPECT_EQ(1u, ReadDword(HKEY_LOCAL_MACHINE, kRecordKey, L"Install Count")) << c.what;
        }
        EXPECT_EQ(c.registered, KeyExists(HKEY_LOCAL_MACHINE, kLayoutKey)) << c.what;
    }
}
