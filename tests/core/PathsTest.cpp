// The paths of an installation and the option defaults and setters, against the startup-fixture
// store (tests/core/startup-fixture/strings) and the special folders of a real Wine prefix.
#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/Install.h"

namespace
{
const wchar_t kReportVariable[] = L"KBD_PATHS_REPORT";
const wchar_t kDesktopValue[] = L"Common Desktop";
const wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

std::wstring Text(const GString& s)
{
    EXPECT_EQ(1, s.wide) << "paths are wide";
    return std::wstring(s.WideText(0), static_cast<size_t>(s.length));
}

// The roots through another shell call than the one under test.
std::wstring ShellFolder(int csidl)
{
    wchar_t path[MAX_PATH + 1] = {0};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, path)))
        return std::wstring();
    return path;
}

class Paths : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(1, install.Init(GetModuleHandleW(nullptr)));
    }
    CInstall install;
};

// A decoded string table of wide entries, in the program's format; ids sorted by the caller's
// order are re-sorted here.
struct Entry
{
    uint32_t id;
    const wchar_t* text;  // null: the id is left out
};

unsigned char* BuildTable(std::vector<Entry> entries, int* count, int* size)
{
    std::vector<Entry> present;
    for (const Entry& e : entries)
        if (e.text)
            present.push_back(e);
    std::sort(present.begin(), present.end(),
              [](const Entry& a, const Entry& b) { return a.id < b.id; });
    std::vector<unsigned char> index, pool;
    auto put32 = [](std::vector<unsigned char>& v, uint32_t x) {
        for (int i = 0; i < 4; ++i)
            v.push_back(static_cast<unsigned char>(x >> (8 * i)));
    };
    for (const Entry& e : present)
    {
        put32(index, e.id);
        put32(index, static_cast<uint32_t>(pool.size()));
        const size_t units = wcslen(e.text);
        put32(pool, static_cast<uint32_t>(units));  // bit 31 clear: UTF-16
        for (size_t i = 0; i < units; ++i)
        {
            pool.push_back(static_cast<unsigned char>(e.text[i]));
            pool.push_back(static_cast<unsigned char>(e.text[i] >> 8));
        }
    }
    *count = static_cast<int>(present.size());
    *size = static_cast<int>(index.size() + pool.size());
    unsigned char* table = static_cast<unsigned char*>(malloc(static_cast<size_t>(*size) + 1));
    if (!table)
        return nullptr;
    memcpy(table, index.data(), index.size());
    if (!pool.empty())
        memcpy(table + index.size(), pool.data(), pool.size());
    return table;
}
}

TEST_F(Paths, EveryPathMemberFromTheFixtureTexts)
{
    const std::wstring programFiles = ShellFolder(CSIDL_PROGRAM_FILES);
    const std::wstring programs = ShellFolder(CSIDL_COMMON_PROGRAMS);
    const std::wstring desktop = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    ASSERT_FALSE(programFiles.empty());
    ASSERT_FALSE(programs.empty());
    ASSERT_FALSE(desktop.empty());
    const std::wstring folder = programFiles + L"\\Acme Keys\\Layout 2.0";
    const std::wstring menu = programs + L"\\Acme Keys\\Layout 2.0";

    ASSERT_EQ(1, install.BuildPaths());

    struct Case
    {
        const char* member;
        GString CInstall::*path;
        std::wstring expected;
    } cases[] = {
        {"programParent", &CInstall::m_programParent, programFiles + L"\\Acme Keys"},
        {"programFolder", &CInstall::m_programFolder, folder},
        {"menuParent", &CInstall::m_menuParent, programs + L"\\Acme Keys"},
        {"menuFolder", &CInstall::m_menuFolder, menu},
        {"docMain", &CInstall::m_docMain, folder + L"\\Manual (English).txt"},
        {"docMainMenuLink", &CInstall::m_docMainMenuLink, menu + L"\\Manual (English).lnk"},
        {"docMainDesktopLink", &CInstall::m_docMainDesktopLink,
         desktop + L"\\Manual (English).lnk"},
        {"docSecond", &CInstall::m_docSecond, folder + L"\\Chart.txt"},
        {"docSecondMenuLink", &CInstall::m_docSecondMenuLink, menu + L"\\Chart.lnk"},
        {"docSecondDesktopLink", &CInstall::m_docSecondDesktopLink, desktop + L"\\Chart.lnk"},
        {"textFile", &CInstall::m_textFile, folder + L"\\Read me.asc"},
        {"textFileMenuLink", &CInstall::m_textFileMenuLink, menu + L"\\Read me.lnk"},
        {"textFileDesktopLink", &CInstall::m_textFileDesktopLink, desktop + L"\\Read me.lnk"},
        {"pageMenuLink", &CInstall::m_pageMenuLink, menu + L"\\Home page.url"},
        {"pageDesktopLink", &CInstall::m_pageDesktopLink, desktop + L"\\Home page.url"},
        {"pageFile", &CInstall::m_pageFile, folder + L"\\index.html"},
        {"setupLinkName", &CInstall::m_setupLinkName, L"Remove Acme Layout"},
        {"setupMenuLink", &CInstall::m_setupMenuLink, menu + L"\\Remove Acme Layout.lnk"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, Text(install.*c.path)) << c.member;

    // This program's own name, whatever form the harness gave the path in.
    const std::wstring setupPath = Text(install.m_setupPath);
    ASSERT_GE(setupPath.size(), 15u);
    EXPECT_EQ(0, _wcsicmp(L"core_paths.exe", setupPath.c_str() + setupPath.size() - 14));
    const std::wstring copy = Text(install.m_setupCopy);
    EXPECT_EQ(0, _wcsicmp((folder + L"\\core_paths.exe").c_str(), copy.c_str())) << copy.c_str();

    // The stored twins belong to the installed-state record.
    GString CInstall::*stored[] = {
        &CInstall::m_installedDocMain, &CInstall::m_installedDocMainMenuLink,
        &CInstall::m_installedDocMainDesktopLink, &CInstall::m_installedDocSecond,
        &CInstall::m_installedDocSecondMenuLink, &CInstall::m_installedDocSecondDesktopLink,
        &CInstall::m_installedTextFile, &CInstall::m_installedTextFileMenuLink,
        &CInstall::m_installedTextFileDesktopLink, &CInstall::m_installedPageMenuLink,
        &CInstall::m_installedPageDesktopLink, &CInstall::m_installedPageFile,
        &CInstall::m_installedSetupCopy, &CInstall::m_installedSetupMenuLink};
    for (GString CInstall::*s : stored)
        EXPECT_EQ(0, (install.*s).length);
}

// The common desktop is the root the prefix's registry names; a root that ends with a backslash
// gets no second one, and a root the shell cannot give leaves the joined components only.
TEST_F(Paths, DesktopRootFromTheRegistry)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kShellFolders, 0,
                                           KEY_QUERY_VALUE | KEY_SET_VALUE, &key));
    wchar_t original[MAX_PATH] = {0};
    DWORD originalType = 0, originalBytes = sizeof(original) - sizeof(wchar_t);
    const LONG hadValue = RegQueryValueExW(key, kDesktopValue, nullptr, &originalType,
                                           reinterpret_cast<BYTE*>(original), &originalBytes);
    struct Case
    {
        const wchar_t* root;
        int found;
        const wchar_t* prefix;  // of every desktop path
    } cases[] = {
        {L"C:\\", 1, L"C:\\"},
        {L"C:\\windows", 1, L"C:\\windows\\"},
        {L"C:\\kbd folder that does not exist", 0, L"\\"},
    };
    for (const Case& c : cases)
    {
        const DWORD bytes = static_cast<DWORD>((wcslen(c.root) + 1) * sizeof(wchar_t));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, kDesktopValue, 0, REG_EXPAND_SZ,
                                                reinterpret_cast<const BYTE*>(c.root), bytes));
        GString root;
        EXPECT_EQ(c.found, install.SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY, root)) << c.root;
        EXPECT_EQ(1, install.BuildPaths());
        const std::wstring prefix = c.prefix;
        EXPECT_EQ(prefix + L"Manual (English).lnk", Text(install.m_docMainDesktopLink)) << c.root;
        EXPECT_EQ(prefix + L"Chart.lnk", Text(install.m_docSecondDesktopLink)) << c.root;
        EXPECT_EQ(prefix + L"Read me.lnk", Text(install.m_textFileDesktopLink)) << c.root;
        EXPECT_EQ(prefix + L"Home page.url", Text(install.m_pageDesktopLink)) << c.root;
    }
    if (hadValue == ERROR_SUCCESS)
        RegSetValueExW(key, kDesktopValue, 0, originalType, reinterpret_cast<BYTE*>(original),
                       originalBytes);
    else
        RegDeleteValueW(key, kDesktopValue);
    RegCloseKey(key);
}

TEST_F(Paths, SpecialFolderOfAnUnknownFolderIsEmpty)
{
    GString out;
    out.AssignWide(L"left over");
    EXPECT_EQ(0, install.SpecialFolder(0x7F, out));
    EXPECT_EQ(0, out.length);
    EXPECT_EQ(1, install.SpecialFolder(CSIDL_PROGRAM_FILES, out));
    EXPECT_EQ(ShellFolder(CSIDL_PROGRAM_FILES), Text(out));
}

// Run only as the child of CommandLineSplit: reports what BuildPaths made of the command line
// the parent chose.
TEST(PathsChild, ReportSetupPaths)
{
    wchar_t report[MAX_PATH] = {0};
    if (!GetEnvironmentVariableW(kReportVariable, report, MAX_PATH))
        GTEST_SKIP() << "started by Paths.CommandLineSplit only";
    CInstall install;
    ASSERT_EQ(1, install.Init(GetModuleHandleW(nullptr)));
    const int built = install.BuildPaths();
    std::wstring out = std::to_wstring(built) + L"\n" + Text(install.m_setupPath) + L"\n" +
                       Text(install.m_setupCopy) + L"\n" + Text(install.m_setupMenuLink) + L"\n";
    HANDLE file = CreateFileW(report, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    const DWORD bytes = static_cast<DWORD>(out.size() * sizeof(wchar_t));
    EXPECT_TRUE(WriteFile(file, out.data(), bytes, &written, nullptr));
    EXPECT_EQ(bytes, written);
    CloseHandle(file);
}

TEST_F(Paths, CommandLineSplit)
{
    ASSERT_EQ(1, install.BuildPaths());
    const std::wstring folder = Text(install.m_programFolder);
    const std::wstring linkTail = L"\\Remove Acme Layout.lnk";
    const std::wstring menuLink = Text(install.m_menuFolder) + linkTail;

    wchar_t self[MAX_PATH] = {0};
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    wchar_t temp[MAX_PATH] = {0};
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring report = std::wstring(temp) + L"kbd-paths-report.txt";
    ASSERT_TRUE(SetEnvironmentVariableW(kReportVariable, report.c_str()));
    // The filter goes by the environment so that the command line is the case alone.
    ASSERT_TRUE(SetEnvironmentVariableW(L"GTEST_FILTER", L"PathsChild.ReportSetupPaths"));

    struct Case
    {
        const wchar_t* first;  // the child's whole command line
        const wchar_t* setupPath;
        const wchar_t* fileName;
    } cases[] = {
        {L"\"C:\\Some Folder\\My Setup.exe\"", L"C:\\Some Folder\\My Setup.exe", L"My Setup.exe"},
        {L"C:\\dir\\sub\\kbd.exe", L"C:\\dir\\sub\\kbd.exe", L"kbd.exe"},
        {L"setup.exe", L"setup.exe", L"setup.exe"},
        {L"\"plain name.exe\"", L"plain name.exe", L"plain name.exe"},
        {L"\"C:\\Some Folder\\My Setup.exe\" /S \"C:\\other\\x.exe\"",
         L"C:\\Some Folder\\My Setup.exe", L"My Setup.exe"},
        {L"\"D:\\a b\\c d\\\"", L"D:\\a b\\c d\\", L""},
    };
    for (const Case& c : cases)
    {
        DeleteFileW(report.c_str());
        std::wstring commandLine = c.first;
        std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
        writable.push_back(0);
        STARTUPINFOW si;
        ZeroMemory(&si, sizeof(si));
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi;
        ASSERT_TRUE(CreateProcessW(self, writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &si, &pi))
            << c.first;
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 60000)) << c.first;
        DWORD code = 1;
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        EXPECT_EQ(0u, code) << c.first;

        HANDLE file = CreateFileW(report.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                  nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file) << c.first;
        wchar_t buffer[4096] = {0};
        DWORD read = 0;
        ReadFile(file, buffer, sizeof(buffer) - sizeof(wchar_t), &read, nullptr);
        CloseHandle(file);
        const std::wstring expected = std::wstring(L"1\n") + c.setupPath + L"\n" + folder +
                                      L"\\" + c.fileName + L"\n" + menuLink + L"\n";
        EXPECT_EQ(expected, std::wstring(buffer, read / sizeof(wchar_t))) << c.first;
    }
    SetEnvironmentVariableW(kReportVariable, nullptr);
    SetEnvironmentVariableW(L"GTEST_FILTER", nullptr);
    DeleteFileW(report.c_str());
}

TEST_F(Paths, LayoutVariantDefaultFromTheFixture)
{
    // Language 0 names the layout "Beta": the first variant name holding it is 114.
    EXPECT_EQ(1, install.m_layoutVariant);
    // Language 1 has no layout name: the first variant stays.
    install.m_layoutVariant = -1;
    ASSERT_EQ(1, install.SetUiLanguage(1));
    EXPECT_EQ(0, install.GetLayoutVariant());
    EXPECT_EQ(0, install.m_layoutVariant);
}

TEST_F(Paths, LayoutVariantSearchesTheVariantNames)
{
    struct Case
    {
        const wchar_t* layoutName;  // string 88; null: absent
        const wchar_t* names[3];    // strings 113-115; null: absent
        int expected;
    } cases[] = {
        {L"Beta", {L"Alpha", L"Beta layout", L"Gamma"}, 1},
        {L"Gamma", {L"Alpha", L"Beta", L"the Gamma set"}, 2},
        {L"Alpha", {L"Alpha", L"Alpha", L"Alpha"}, 0},
        {L"Beta", {L"Alpha", L"Beta", L"Beta"}, 1},
        {L"Delta", {L"Alpha", L"Beta", L"Gamma"}, 0},
        {L"beta", {L"Alpha", L"Beta", L"Gamma"}, 0},
        {L"Beta layout, extended", {L"Alpha", L"Beta layout", L"Gamma"}, 0},
        {L"", {L"Alpha", L"Beta", L"Gamma"}, 0},
        {nullptr, {L"Alpha", L"Beta", L"Gamma"}, 0},
        {L"Gamma", {nullptr, nullptr, L"Gamma"}, 2},
        {L"Gamma", {nullptr, nullptr, nullptr}, 0},
    };
    ASSERT_EQ(1, install.SetUiLanguage(1));
    for (const Case& c : cases)
    {
        int count = 0, size = 0;
        unsigned char* table = BuildTable(
            {{88, c.layoutName}, {113, c.names[0]}, {114, c.names[1]}, {115, c.names[2]},
             {0x7FFF0000u, L"keeps the table non-empty"}},
            &count, &size);
        ASSERT_NE(nullptr, table);
        ASSERT_EQ(1, install.m_uiStrings[1].Attach(table, count, size));
        install.m_layoutVariant = -1;
        EXPECT_EQ(c.expected, install.GetLayoutVariant()) << (c.layoutName ? c.layoutName : L"-");
        EXPECT_EQ(c.expected, install.m_layoutVariant);
    }
}

TEST_F(Paths, LayoutVariantOnceKnownReadsNoText)
{
    EXPECT_EQ(2, install.SetLayoutVariant(2));
    install.ReleaseResources();
    EXPECT_EQ(2, install.GetLayoutVariant());
    EXPECT_EQ(0, install.SetLayoutVariant(0));
    EXPECT_EQ(0, install.GetLayoutVariant());
}

TEST_F(Paths, SettersStoreOnlyValidValues)
{
    struct Case
    {
        int value;
        int layoutAfter;   // from a layout variant of 1
        int decimalAfter;  // from a decimal variant of 1
    } cases[] = {
        {0, 0, 0}, {1, 1, 1}, {2, 2, 1}, {3, 1, 1}, {-1, 1, 1}, {INT_MIN, 1, 1}, {INT_MAX, 1, 1},
    };
    for (const Case& c : cases)
    {
        install.m_layoutVariant = 1;
        install.m_decimalVariant = 1;
        EXPECT_EQ(c.value, install.SetLayoutVariant(c.value));
        EXPECT_EQ(c.value, install.SetDecimalVariant(c.value));
        EXPECT_EQ(c.layoutAfter, install.m_layoutVariant) << c.value;
        EXPECT_EQ(c.decimalAfter, install.m_decimalVariant) << c.value;
        EXPECT_EQ(c.layoutAfter, install.GetLayoutVariant()) << c.value;
        EXPECT_EQ(c.decimalAfter, install.GetDecimalVariant()) << c.value;
    }

    for (int flag : {1, 0, 7, -3})
    {
        EXPECT_EQ(flag, install.SetLayoutSetFlag(flag));
        EXPECT_EQ(flag, install.m_layoutSetFlagB);
        EXPECT_EQ(flag, install.GetLayoutSetFlag());
        EXPECT_EQ(0, install.m_layoutSetFlagA);
    }
}

TEST_F(Paths, ModifyOnlyAcceptsTheLicence)
{
    struct Case
    {
        int value;
        int licenceBefore;
        int licenceAfter;
    } cases[] = {
        {0, 0, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}, {5, 0, 1}, {-1, 0, 1},
    };
    for (const Case& c : cases)
    {
        install.m_modifyOnly = 9;
        install.m_licenceAccepted = c.licenceBefore;
        EXPECT_EQ(c.value, install.SetModifyOnly(c.value));
        EXPECT_EQ(c.value, install.m_modifyOnly);
        EXPECT_EQ(c.licenceAfter, install.m_licenceAccepted) << c.value << "/" << c.licenceBefore;
    }
}

// The user's decimal separator, changed the way the regional settings change it.
TEST_F(Paths, DecimalVariantFollowsTheSeparator)
{
    wchar_t original[8] = {0};
    ASSERT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, original, 8), 0);
    struct Case
    {
        const wchar_t* separator;
        int expected;
    } cases[] = {
        {L",", 0}, {L".", 1}, {L", ", 1}, {L",,", 1}, {L"\x066B", 1},
    };
    for (const Case& c : cases)
    {
        ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, c.separator));
        wchar_t now[8] = {0};
        ASSERT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, now, 8), 0);
        ASSERT_STREQ(c.separator, now) << "the separator did not change";
        install.m_decimalVariant = -1;
        EXPECT_EQ(c.expected, install.GetDecimalVariant()) << c.separator;
        EXPECT_EQ(c.expected, install.m_decimalVariant);
        // Known once: a later change of the separator is not looked at.
        SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, c.expected == 0 ? L"." : L",");
        EXPECT_EQ(c.expected, install.GetDecimalVariant());
    }
    SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, original);
}

// Under the locale the harness script gives the Wine process (see startup_versions.sh), Init's
// default decimal variant is the one the locale's separator implies.
TEST_F(Paths, DecimalVariantDefaultOfTheLocale)
{
    wchar_t expected[8] = {0};
    if (!GetEnvironmentVariableW(L"KBD_EXPECT_DECIMAL_VARIANT", expected, 8))
        GTEST_SKIP() << "run by startup_versions.sh with a chosen locale";
    EXPECT_EQ(_wtoi(expected), install.m_decimalVariant);
}
