// The layout's registration, the scan-code map, the hotkey values and the input-language
// settings files, against the real Wine registry and a command that records what it is given.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Install.h"
#include "tests/engine/InstallTestUtil.h"

using namespace insttest;

namespace
{
class Registration : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        Wipe();
        InstallRecorder();
        Start(install);
    }
    void TearDown() override
    {
        Wipe();
        CoUninitialize();
    }
    CInstall install;
};

Bytes MapBytes(const std::vector<uint32_t>& words)
{
    Bytes bytes;
    for (uint32_t w : words)
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<unsigned char>(w >> (8 * i)));
    return bytes;
}

void ClearRemaps(CInstall& install)
{
    for (int i = 0; i < install.m_keyCount; ++i)
        install.m_keys[i].remapTo = 0;
}
}

TEST_F(Registration, RegisterWritesTheFourValuesInTheNativeView)
{
    ASSERT_EQ(1, install.m_is64BitOs) << "the Wine prefix is a 64-bit system";
    ASSERT_EQ(1, install.RegisterLayout());
    struct Value
    {
        const wchar_t* name;
        const wchar_t* text;
    } values[] = {
        {L"Layout Text", L"Acme Keys"},
        {L"Layout Display Name", L"@%SystemRoot%\\system32\\kbdacme.dll,-1000"},
        {L"Layout Id", L"03a7"},
        {L"Layout File", L"kbdacme.dll"},
    };
    for (const Value& v : values)
        EXPECT_EQ(std::wstring(v.text), ReadString(HKEY_LOCAL_MACHINE, kLayoutKey, v.name))
            << Narrow(v.name);
}

TEST_F(Registration, UnregisterRemovesOursAndLeavesAnotherLayoutAlone)
{
    struct Case
    {
        const char* what;
        const wchar_t* plantedFile;  // null: no key planted
        int expected;
        bool keyRemains;
    } cases[] = {
        {"our registration", L"kbdacme.dll", 1, false},
        {"ours in other letter case", L"KBDACME.DLL", 1, false},
        {"a key without a library value", L"", 1, false},
        {"another layout under our key name", L"kbdother.dll", 1, true},
        {"no key", nullptr, 0, false},
    };
    for (const Case& c : cases)
    {
        DeleteTree(HKEY_LOCAL_MACHINE, kLayoutKey);
        if (c.plantedFile)
        {
            WriteString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout Text", L"Planted");
            if (*c.plantedFile)
                WriteString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout File", c.plantedFile);
        }
        EXPECT_EQ(c.expected, install.UnregisterLayout()) << c.what;
        EXPECT_EQ(c.keyRemains, KeyExists(HKEY_LOCAL_MACHINE, kLayoutKey)) << c.what;
        if (c.keyRemains)
        {
            EXPECT_EQ(L"Planted", ReadString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout Text")) << c.what;
            EXPECT_EQ(c.plantedFile, ReadString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout File")) << c.what;
        }
    }
}

TEST_F(Registration, RegisterRefusesAKeyHoldingAnotherLayout)
{
    WriteString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout Text", L"Other Keys");
    WriteString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout File", L"kbdother.dll");
    WriteString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout Id", L"0a11");
    EXPECT_EQ(1, install.IsLayoutKeyForeign());
    EXPECT_EQ(0, install.RegisterLayout());
    EXPECT_EQ(L"Other Keys", ReadString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout Text"));
    EXPECT_EQ(L"kbdother.dll", ReadString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout File"));
    EXPECT_EQ(L"0a11", ReadString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout Id"));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout Display Name"));

    // An older registration of our own library is taken over.
    WriteString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout File", L"kbdacme.dll");
    EXPECT_EQ(0, install.IsLayoutKeyForeign());
    EXPECT_EQ(1, install.RegisterLayout());
    EXPECT_EQ(L"Acme Keys", ReadString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout Text"));
    EXPECT_EQ(L"03a7", ReadString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout Id"));
}

TEST_F(Registration, ScancodeMapCases)
{
    // A remap names its key by scan code, or by row (scan code 0) for the rows after the table's
    // end mark.
    struct Remap
    {
        uint16_t scanCode;
        int row;
        uint16_t remapTo;
    };
    struct Case
    {
        const char* what;
        std::vector<Remap> remaps;
        int mapReadAtStart;
        int expected;
        bool written;
        std::vector<uint32_t> words;
    } cases[] = {
        {"a remap and a disabled key", {{0x3A, 0, 0x1D}, {0x46, 0, 255}}, 0, 1, true,
         {0, 0, 3, 0x003A001D, 0x00460000, 0}},
        {"no remaps, no map at start", {}, 0, 1, false, {}},
        {"no remaps, a map at start", {}, 1, 1, true, {0, 0, 1, 0}},
        {"rows after the end mark are not read", {{0, 144, 0x1D}, {0, 145, 0x2A}}, 1, 1, true,
         {0, 0, 1, 0}},
        {"an extended key", {{0xE05B, 0, 0x1D}}, 0, 1, true, {0, 0, 2, 0xE05B001D, 0}},
    };
    ASSERT_EQ(0, install.m_keys[144].scanCode);
    ASSERT_EQ(0, install.m_keys[145].scanCode);
    for (const Case& c : cases)
    {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMapKey, 0, KEY_SET_VALUE, &key));
        RegDeleteValueW(key, kMapValue);
        RegCloseKey(key);
        ClearRemaps(install);
        for (const Remap& r : c.remaps)
        {
            KeyEntry* entry = r.scanCode ? install.FindKey(r.scanCode) : &install.m_keys[r.row];
            ASSERT_NE(nullptr, entry);
            entry->remapTo = r.remapTo;
        }
        install.m_scancodeMapRead = c.mapReadAtStart;
        EXPECT_EQ(c.expected, install.WriteScancodeMap()) << c.what;
        bool found = false;
        const Bytes map = ReadBinary(HKEY_LOCAL_MACHINE, kMapKey, kMapValue, &found);
        EXPECT_EQ(c.written, found) << c.what;
        if (c.written)
        {
            EXPECT_EQ(MapBytes(c.words), map) << c.what;
        }
    }
}

TEST_F(Registration, ScancodeMapWithoutTableFails)
{
    install.m_keyCount = 0;
    install.m_scancodeMapRead = 1;
    EXPECT_EQ(0, install.WriteScancodeMap());
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kMapKey, kMapValue));
    install.m_keyCount = 146;
}

TEST_F(Registration, HotkeyValuesSwitchTheThreeHotkeysOff)
{
    struct Case
    {
        const char* what;
        bool keyPresent;
    } cases[] = {
        {"the user's key with a hotkey set", true},
        {"a profile without the key", false},
    };
    for (const Case& c : cases)
    {
        DeleteTree(HKEY_CURRENT_USER, kToggleKey);
        if (c.keyPresent)
            WriteString(HKEY_CURRENT_USER, kToggleKey, L"Hotkey", L"1");
        ASSERT_EQ(1, install.WriteHotkeyValues()) << c.what;
        for (const wchar_t* name : {L"Hotkey", L"Language Hotkey", L"Layout Hotkey"})
            EXPECT_EQ(L"3", ReadString(HKEY_CURRENT_USER, kToggleKey, name)) << c.what << " " << Narrow(name);
    }
}

TEST_F(Registration, AddInputLanguageComposesTheFileForTheVersion)
{
    struct Case
    {
        int version;
        uint16_t language;
        int setAsDefault;
        const char* expected;  // null: the command is not run
    } cases[] = {
        {50, 0x0415, 1, nullptr},
        {52, 0x0415, 1, nullptr},
        {60, 0x0415, 1, "add 62: language 0415, layout a0030415, default [default]"},
        {61, 0x0407, 0, "add 62: language 0407, layout a0030415, default []"},
        {62, 0x0415, 1,
         "add 63: extra [user], language 0415, layout a0030415, default [default], again 0415 0415"},
        {100, 0x0415, 0,
         "add 63: extra [user], language 0415, layout a0030415, default [], again 0415 0415"},
    };
    size_t recorded = 0;
    for (const Case& c : cases)
    {
        install.m_osVersionCode = c.version;
        EXPECT_EQ(1, install.AddInputLanguage(c.language, c.setAsDefault)) << c.version;
        const std::vector<std::string> texts = RecordedSettings();
        const std::vector<std::wstring> paths = RecordedPaths();
        if (!c.expected)
        {
            EXPECT_EQ(recorded, texts.size()) << c.version;
            continue;
        }
        ASSERT_EQ(recorded + 1, texts.size()) << c.version;
        EXPECT_EQ(c.expected, texts.back()) << c.version;
        // The settings file lay in the temporary folder and is gone again.
        ASSERT_EQ(texts.size(), paths.size());
        wchar_t temp[MAX_PATH + 1] = {0};
        GetTempPathW(MAX_PATH, temp);
        EXPECT_EQ(0u, paths.back().find(temp)) << Narrow(paths.back());
        EXPECT_NE(std::wstring::npos, paths.back().find(L"kbd")) << "prefix of string 47";
        EXPECT_FALSE(FileExists(paths.back())) << Narrow(paths.back());
        recorded = texts.size();
    }
}

TEST_F(Registration, RemoveInputLanguageRunsForTheLastInstallation)
{
    struct Case
    {
        int version;
        int installCount;
        const char* expected;  // null: nothing is run
    } cases[] = {
        {100, 2, nullptr},
        {100, 1, "remove 66: []"},
        {61, 0, "remove 66: []"},
        {50, 1, "remove 65: [] []"},
    };
    size_t recorded = 0;
    for (const Case& c : cases)
    {
        install.m_osVersionCode = c.version;
        install.m_installCount = c.installCount;
        EXPECT_EQ(1, install.RemoveInputLanguage()) << c.version << "/" << c.installCount;
        const std::vector<std::string> texts = RecordedSettings();
        if (!c.expected)
        {
            EXPECT_EQ(recorded, texts.size());
            continue;
        }
        ASSERT_EQ(recorded + 1, texts.size()) << c.version << "/" << c.installCount;
        EXPECT_EQ(c.expected, texts.back());
        // The command may still read it: it goes at the restart.
        const std::wstring path = RecordedPaths().back();
        EXPECT_TRUE(HasPendingDeletion(path)) << Narrow(path);
        recorded = texts.size();
    }
}
