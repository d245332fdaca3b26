// The installed-state record against the real registry: records planted as another run (or an
// older copy) would leave them, the writer's output read back, and the final value.
#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/Install.h"
#include "tests/engine/RegistryTestUtil.h"

using namespace regtest;

namespace
{
// Texts of the fixture's key names: 7\8\10, 24\23, 36\89, 3\85 and 4.
const wchar_t kVendor[] = L"SOFTWARE\\Acme";
const std::wstring kRecord = L"SOFTWARE\\Acme\\Acme Keys";
const std::wstring kDocGroup = kRecord + L"\\Documents";
const std::wstring kDocSub = kDocGroup + L"\\Manual";
const std::wstring kInstallGroup = kRecord + L"\\Installation";
const std::wstring kInstallSub = kInstallGroup + L"\\Layout";
const std::wstring kLayoutEntry = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\a0000c1a";
const wchar_t kFinalKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const wchar_t kFinalValue[] = L"Acme Keys Setup";
const wchar_t kFinalLater[] = L"\"C:\\Program Files\\Acme\\Keys\\setup.exe\" /done";
const wchar_t kFinalEarly[] = L"\"C:\\Program Files\\Acme\\Keys\\setup.exe\" /done /legacy";

// One value of a planted record: where it lives, its name, type and bytes.
struct Value
{
    std::wstring key;
    std::wstring name;
    DWORD type;
    Bytes data;
};

Value Sz(const std::wstring& key, const std::wstring& name, const std::wstring& text)
{
    return Value{key, name, REG_SZ, WideBytes(text, true)};
}

Value Dw(const std::wstring& key, const std::wstring& name, uint32_t value)
{
    return Value{key, name, REG_DWORD, DwordBytes(value)};
}

// A complete record as a full install of this version leaves it.
std::vector<Value> FullRecord()
{
    return {
        Sz(kRecord, L"Original Layout", L"0415:00000415"),
        Dw(kRecord, L"Install Count", 2),
        Sz(kRecord, L"Text File", L"C:\\Program Files\\Acme Keys\\Read me.txt"),
        Sz(kRecord, L"Text File Menu Link", L"C:\\Menu\\Acme Keys\\Read me.lnk"),
        Sz(kRecord, L"Text File Desktop Link", L"C:\\Desktop\\Read me.lnk"),
        Sz(kRecord, L"Page Menu Link", L"C:\\Menu\\Acme Keys\\Home page.lnk"),
        Sz(kRecord, L"Page Desktop Link", L"C:\\Desktop\\Home page.url"),
        Sz(kRecord, L"Page File", L"C:\\Program Files\\Acme Keys\\index.html"),
        Sz(kRecord, L"Chart", L"C:\\Program Files\\Acme Keys\\Chart.pdf"),
        Sz(kRecord, L"Chart Menu Link", L"C:\\Menu\\Acme Keys\\Chart.lnk"),
        Sz(kRecord, L"Chart Desktop Link", L"C:\\Desktop\\Chart.lnk"),
        Dw(kRecord, L"Chart Version", 190),
        Sz(kDocSub, L"File", L"C:\\Program Files\\Acme Keys\\Manual.pdf"),
        Sz(kDocSub, L"Menu Link", L"C:\\Menu\\Acme Keys\\Manual.lnk"),
        Sz(kDocSub, L"Desktop Link", L"C:\\Desktop\\Manual.lnk"),
        Dw(kDocSub, L"Version", 190),
        Dw(kDocSub, L"Use Count", 3),
        Sz(kInstallSub, L"Setup Copy", L"C:\\Program Files\\Acme Keys\\setup.exe"),
        Sz(kInstallSub, L"Setup Menu Link", L"C:\\Menu\\Acme Keys\\Remove Acme Keys.lnk"),
        Dw(kInstallSub, L"Version", 190),
        Value{kInstallSub, L"Key Assignments", REG_BINARY,
              Bytes{0x10, 0x00, 0x41, 0x00, 0x1D, 0xE0, 0xA2, 0x01}},
        Dw(kInstallSub, L"Layout Variant", 2),
        Dw(kInstallSub, L"Decimal Variant", 0),
        Dw(kInstallSub, L"Catalogue Set A", 1),
        Dw(kInstallSub, L"Catalogue Set B", 1),
    };
}

void PlantRecord(const std::vector<Value>& values)
{
    for (const Value& v : values)
    {
        HKEY key = MakeKey(HKEY_LOCAL_MACHINE, v.key);
        ASSERT_NE(nullptr, key);
        Plant(key, v.name.c_str(), v.type, v.data);
        RegCloseKey(key);
    }
}

std::vector<Value> Without(std::vector<Value> values, const std::wstring& key, const std::wstring& name)
{
    for (size_t i = 0; i < values.size(); ++i)
    {
        if (values[i].key == key && values[i].name == name)
        {
            values.erase(values.begin() + static_cast<long>(i));
            return values;
        }
    }
    ADD_FAILURE() << "no such value in the record";
    return values;
}

std::vector<Value> Replaced(std::vector<Value> values, const Value& replacement)
{
    for (Value& v : values)
    {
        if (v.key == replacement.key && v.name == replacement.name)
        {
            v = replacement;
            return values;
        }
    }
    values.push_back(replacement);
    return values;
}

std::vector<Value> WithoutKey(std::vector<Value> values, const std::wstring& prefix)
{
    std::vector<Value> kept;
    for (const Value& v : values)
    {
        if (v.key.compare(0, prefix.size(), prefix) != 0)
            kept.push_back(v);
    }
    return kept;
}

class InstalledState : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DeleteTree(HKEY_LOCAL_MACHINE, kVendor);
        DeleteTree(HKEY_LOCAL_MACHINE, kLayoutEntry.c_str());
        ASSERT_EQ(1, install.Init(GetModuleHandleW(nullptr)));
        // What Init's variant defaults would be; fixed here so that the record alone decides.
        install.m_layoutVariant = 0;
        install.m_decimalVariant = 1;
    }
    void TearDown() override
    {
        DeleteTree(HKEY_LOCAL_MACHINE, kVendor);
        DeleteTree(HKEY_LOCAL_MACHINE, kLayoutEntry.c_str());
    }
    CInstall install;
};

std::wstring Text(const GString& text)
{
    return Wide(text);
}
}

TEST_F(InstalledState, NoRecordAndNoLayoutMeansNothingInstalled)
{
    install.ReadInstalledState();
    EXPECT_EQ(0u, install.m_installedVersion);
    EXPECT_EQ(0, install.m_installCount);
    EXPECT_EQ(0, install.m_installedTextFile.length);
    EXPECT_EQ(0, install.m_layoutVariant);
    EXPECT_EQ(1, install.m_decimalVariant);
}

TEST_F(InstalledState, AFullRecordFillsEveryMember)
{
    PlantRecord(FullRecord());
    install.ReadInstalledState();
    EXPECT_EQ(190u, install.m_installedVersion);
    EXPECT_EQ(L"0415:00000415", Text(install.m_storedOriginalLayout));
    EXPECT_EQ(2, install.m_installCount);
    EXPECT_EQ(L"C:\\Program Files\\Acme Keys\\Read me.txt", Text(install.m_installedTextFile));
    EXPECT_EQ(L"C:\\Menu\\Acme Keys\\Read me.lnk", Text(install.m_installedTextFileMenuLink));
    EXPECT_EQ(L"C:\\Desktop\\Read me.lnk", Text(install.m_installedTextFileDesktopLink));
    EXPECT_EQ(L"C:\\Menu\\Acme Keys\\Home page.lnk", Text(install.m_installedPageMenuLink));
    EXPECT_EQ(L"C:\\Desktop\\Home page.url", Text(install.m_installedPageDesktopLink));
    EXPECT_EQ(L"C:\\Program Files\\Acme Keys\\index.html", Text(install.m_installedPageFile));
    EXPECT_EQ(L"C:\\Program Files\\Acme Keys\\Chart.pdf", Text(install.m_installedDocSecond));
    EXPECT_EQ(L"C:\\Menu\\Acme Keys\\Chart.lnk", Text(install.m_installedDocSecondMenuLink));
    EXPECT_EQ(L"C:\\Desktop\\Chart.lnk", Text(install.m_installedDocSecondDesktopLink));
    EXPECT_EQ(190u, install.m_docSecondVersion);
    EXPECT_EQ(L"C:\\Program Files\\Acme Keys\\Manual.pdf", Text(install.m_installedDocMain));
    EXPECT_EQ(L"C:\\Menu\\Acme Keys\\Manual.lnk", Text(install.m_installedDocMainMenuLink));
    EXPECT_EQ(L"C:\\Desktop\\Manual.lnk", Text(install.m_installedDocMainDesktopLink));
    EXPECT_EQ(190u, install.m_docMainVersion);
    EXPECT_EQ(3, install.m_docMainUseCount);
    EXPECT_EQ(L"C:\\Program Files\\Acme Keys\\setup.exe", Text(install.m_installedSetupCopy));
    EXPECT_EQ(L"C:\\Menu\\Acme Keys\\Remove Acme Keys.lnk", Text(install.m_installedSetupMenuLink));
    EXPECT_EQ(0x0041, install.FindKey(0x0010)->virtualKey);
    EXPECT_EQ(0x01A2, install.FindKey(0xE01D)->virtualKey);
    EXPECT_EQ(2, install.m_layoutVariant);
    EXPECT_EQ(0, install.m_decimalVariant);
    EXPECT_EQ(1, install.m_layoutSetFlagA);
    EXPECT_EQ(1, install.m_layoutSetFlagB);
}

TEST_F(InstalledState, DamagedRecordsStopWhereTheyAreDamaged)
{
    const std::vector<Value> full = FullRecord();
    struct Case
    {
        const char* what;
        std::vector<Value> record;
        uint32_t version;
        int installCount;      // read before any stop in the main values
        bool docMainRead;      // m_installedDocMain filled
        bool setupCopyRead;    // m_installedSetupCopy filled
        int layoutVariant;
    } cases[] = {
        {"optional 73 missing", Without(full, kRecord, L"Text File Menu Link"), 190, 2, true, true, 2},
        {"optional 33 missing", Without(full, kRecord, L"Chart Desktop Link"), 190, 2, true, true, 2},
        {"no key 24", WithoutKey(full, kDocGroup), 190, 2, false, true, 2},
        {"key 24 without key 23", Replaced(WithoutKey(full, kDocGroup), Dw(kDocGroup, L"Other", 1)),
         190, 2, false, true, 2},
        {"28 missing", Without(full, kDocSub, L"Version"), 0, 2, true, false, 0},
        {"11 missing", Without(full, kRecord, L"Original Layout"), 0, 0, false, false, 0},
        {"79 missing", Without(full, kRecord, L"Page File"), 0, 2, false, false, 0},
        {"21 as binary", Replaced(full, Value{kRecord, L"Install Count", REG_BINARY, DwordBytes(2)}),
         0, 0, false, false, 0},
        {"34 of two bytes", Replaced(full, Value{kRecord, L"Chart Version", REG_DWORD, Bytes{190, 0}}),
         0, 2, false, false, 0},
        {"72 expandable", Replaced(full, Value{kRecord, L"Text File", REG_EXPAND_SZ,
                                               WideBytes(L"%ProgramFiles%\\Read me.txt", true)}),
         0, 2, false, false, 0},
        {"39 missing", Without(full, kInstallSub, L"Version"), 0, 2, true, true, 0},
        {"no key 36", WithoutKey(full, kInstallSub), 0, 2, true, false, 0},
        {"key 36 without key 89", Replaced(WithoutKey(full, kInstallSub), Dw(kInstallGroup, L"Other", 1)),
         0, 2, true, false, 0},
        {"158 = 3", Replaced(full, Dw(kInstallSub, L"Layout Variant", 3)), 190, 2, true, true, 0},
        {"158 = -1", Replaced(full, Dw(kInstallSub, L"Layout Variant", 0xFFFFFFFF)), 190, 2, true, true, 0},
        {"158 as binary", Replaced(full, Value{kInstallSub, L"Layout Variant", REG_BINARY, DwordBytes(2)}),
         190, 2, true, true, 0},
        {"158 = 1", Replaced(full, Dw(kInstallSub, L"Layout Variant", 1)), 190, 2, true, true, 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        DeleteTree(HKEY_LOCAL_MACHINE, kVendor);
        PlantRecord(c.record);
        CInstall fresh;
        ASSERT_EQ(1, fresh.Init(GetModuleHandleW(nullptr)));
        fresh.m_layoutVariant = 0;
        fresh.ReadInstalledState();
        EXPECT_EQ(c.version, fresh.m_installedVersion);
        EXPECT_EQ(c.installCount, fresh.m_installCount);
        EXPECT_EQ(c.docMainRead, fresh.m_installedDocMain.length > 0);
        EXPECT_EQ(c.setupCopyRead, fresh.m_installedSetupCopy.length > 0);
        EXPECT_EQ(c.layoutVariant, fresh.m_layoutVariant);
    }
}

TEST_F(InstalledState, OutOfRangeOptionsKeepTheirDefaults)
{
    std::vector<Value> record = FullRecord();
    record = Replaced(record, Dw(kInstallSub, L"Decimal Variant", 2));
    record = Replaced(record, Dw(kInstallSub, L"Catalogue Set A", 2));
    record = Replaced(record, Value{kInstallSub, L"Catalogue Set B", REG_DWORD, Bytes{1, 0, 0, 0, 0}});
    // Six bytes: one whole pair and half of another.
    record = Replaced(record, Value{kInstallSub, L"Key Assignments", REG_BINARY,
                                    Bytes{0x10, 0x00, 0x41, 0x00, 0x11, 0x00}});
    PlantRecord(record);
    install.ReadInstalledState();
    EXPECT_EQ(190u, install.m_installedVersion);
    EXPECT_EQ(1, install.m_decimalVariant);
    EXPECT_EQ(0, install.m_layoutSetFlagA);
    EXPECT_EQ(0, install.m_layoutSetFlagB);
    EXPECT_EQ(0x0041, install.FindKey(0x0010)->virtualKey);
    EXPECT_EQ(0, install.FindKey(0x0011)->virtualKey);
}

TEST_F(InstalledState, AnOlderCopyIsRecognisedByItsExactLayoutRegistration)
{
    struct Case
    {
        const char* what;
        const wchar_t* text;
        const wchar_t* file;
        const wchar_t* id;
        DWORD fileType;
        uint32_t version;
    } cases[] = {
        {"exact", L"Acme Keys", L"kbdacme.dll", L"00c0", REG_SZ, 130},
        {"text case", L"Acme keys", L"kbdacme.dll", L"00c0", REG_SZ, 0},
        {"file case", L"Acme Keys", L"KBDACME.DLL", L"00c0", REG_SZ, 0},
        {"id case", L"Acme Keys", L"kbdacme.dll", L"00C0", REG_SZ, 0},
        {"file expandable", L"Acme Keys", L"kbdacme.dll", L"00c0", REG_EXPAND_SZ, 0},
    };
    for (int osVersion : {50, 61})
    {
        for (const Case& c : cases)
        {
            SCOPED_TRACE(c.what);
            DeleteTree(HKEY_LOCAL_MACHINE, kLayoutEntry.c_str());
            HKEY entry = MakeKey(HKEY_LOCAL_MACHINE, kLayoutEntry);
            ASSERT_NE(nullptr, entry);
            PlantString(entry, L"Layout Text", c.text);
            Plant(entry, L"Layout File", c.fileType, WideBytes(c.file, true));
            PlantString(entry, L"Layout Id", c.id);
            RegCloseKey(entry);

            CInstall fresh;
            ASSERT_EQ(1, fresh.Init(GetModuleHandleW(nullptr)));
            fresh.m_osVersionCode = osVersion;
            fresh.ReadInstalledState();
            EXPECT_EQ(c.version, fresh.m_installedVersion) << "version code " << osVersion;
        }
    }
}

TEST_F(InstalledState, ARecordOfThisVersionWinsOverTheLayoutRegistration)
{
    std::vector<Value> record = Replaced(FullRecord(), Dw(kInstallSub, L"Version", 170));
    PlantRecord(record);
    HKEY entry = MakeKey(HKEY_LOCAL_MACHINE, kLayoutEntry);
    PlantString(entry, L"Layout Text", L"Acme Keys");
    PlantString(entry, L"Layout File", L"kbdacme.dll");
    PlantString(entry, L"Layout Id", L"00c0");
    RegCloseKey(entry);
    install.ReadInstalledState();
    EXPECT_EQ(170u, install.m_installedVersion);
}

namespace
{
void FillNewInstallation(CInstall& s)
{
    s.m_installCount = 1;
    s.m_docMainUseCount = 1;
    s.m_textFile.AssignWide(L"C:\\Program Files\\Acme Keys\\Read me.txt");
    s.m_textFileMenuLink.AssignWide(L"C:\\Menu\\Acme Keys\\Read me.lnk");
    s.m_textFileDesktopLink.AssignWide(L"C:\\Desktop\\Read me.lnk");
    s.m_pageMenuLink.AssignWide(L"C:\\Menu\\Acme Keys\\Home page.lnk");
    s.m_pageDesktopLink.AssignWide(L"C:\\Desktop\\Home page.url");
    s.m_pageFile.AssignWide(L"C:\\Program Files\\Acme Keys\\index.html");
    s.m_docSecond.AssignNarrow("C:\\Program Files\\Acme Keys\\Wykres \xC5\xBC.pdf");  // UTF-8
    s.m_docSecondMenuLink.AssignWide(L"C:\\Menu\\Acme Keys\\Chart.lnk");
    s.m_docSecondDesktopLink.AssignWide(L"C:\\Desktop\\Chart.lnk");
    s.m_docMain.AssignWide(L"C:\\Program Files\\Acme Keys\\Manual.pdf");
    s.m_docMainMenuLink.AssignWide(L"C:\\Menu\\Acme Keys\\Manual.lnk");
    s.m_docMainDesktopLink.AssignWide(L"C:\\Desktop\\Manual.lnk");
    s.m_setupCopy.AssignWide(L"C:\\Program Files\\Acme Keys\\setup.exe");
    s.m_setupMenuLink.AssignWide(L"C:\\Menu\\Acme Keys\\Remove Acme Keys.lnk");
    s.m_textFileDesktopLinkMade = 1;
    s.m_docMainDesktopLinkMade = 1;
    s.m_docSecondDesktopLinkMade = 1;
    s.m_layoutVariant = 1;
    s.m_decimalVariant = 0;
    s.m_layoutSetFlagA = 0;
    s.m_layoutSetFlagB = 1;
    s.FindKey(0x0010)->virtualKey = 0x0041;
    s.FindKey(0x0002)->virtualKey = 0x0031;  // the default, not stored
    s.FindKey(0xE11D)->virtualKey = 0x0C13;
}

std::wstring ExpectedOriginalLayout()
{
    wchar_t name[KL_NAMELENGTH] = {0};
    EXPECT_TRUE(GetKeyboardLayoutNameW(name));
    wchar_t text[64];
    swprintf(text, 64, L"%04X:%ls", static_cast<unsigned>(GetUserDefaultLangID()), name);
    return text;
}
}

TEST_F(InstalledState, AFullWriteReadsBackIntoTheSameMembers)
{
    FillNewInstallation(install);
    ASSERT_EQ(1, install.WriteInstalledState());

    CInstall back;
    ASSERT_EQ(1, back.Init(GetModuleHandleW(nullptr)));
    back.ReadInstalledState();
    EXPECT_EQ(190u, back.m_installedVersion);
    EXPECT_EQ(ExpectedOriginalLayout(), Text(back.m_storedOriginalLayout));
    EXPECT_EQ(1, back.m_installCount);
    EXPECT_EQ(1, back.m_docMainUseCount);
    EXPECT_EQ(190u, back.m_docMainVersion);
    EXPECT_EQ(190u, back.m_docSecondVersion);
    struct Pair
    {
        const GString& written;
        const GString& read;
    } pairs[] = {
        {install.m_textFile, back.m_installedTextFile},
        {install.m_textFileMenuLink, back.m_installedTextFileMenuLink},
        {install.m_textFileDesktopLink, back.m_installedTextFileDesktopLink},
        {install.m_pageMenuLink, back.m_installedPageMenuLink},
        {install.m_pageDesktopLink, back.m_installedPageDesktopLink},
        {install.m_pageFile, back.m_installedPageFile},
        {install.m_docSecond, back.m_installedDocSecond},
        {install.m_docSecondMenuLink, back.m_installedDocSecondMenuLink},
        {install.m_docSecondDesktopLink, back.m_installedDocSecondDesktopLink},
        {install.m_docMain, back.m_installedDocMain},
        {install.m_docMainMenuLink, back.m_installedDocMainMenuLink},
        {install.m_docMainDesktopLink, back.m_installedDocMainDesktopLink},
        {install.m_setupCopy, back.m_installedSetupCopy},
        {install.m_setupMenuLink, back.m_installedSetupMenuLink},
    };
    for (const Pair& p : pairs)
    {
        EXPECT_GT(p.read.length, 0);
        EXPECT_EQ(Text(p.written), Text(p.read));
    }
    EXPECT_EQ(L"C:\\Program Files\\Acme Keys\\Wykres \u017C.pdf", Text(back.m_installedDocSecond));
    EXPECT_EQ(1, back.m_layoutVariant);
    EXPECT_EQ(0, back.m_decimalVariant);
    EXPECT_EQ(0, back.m_layoutSetFlagA);
    EXPECT_EQ(1, back.m_layoutSetFlagB);
    for (int i = 0; i < kKeyTableRows; ++i)
        EXPECT_EQ(install.m_keys[i].virtualKey, back.m_keys[i].virtualKey) << "row " << i;

    HKEY sub = MakeKey(HKEY_LOCAL_MACHINE, kInstallSub);
    DWORD type = 0;
    Bytes data;
    ASSERT_TRUE(ReadRaw(sub, L"Key Assignments", &type, &data));
    RegCloseKey(sub);
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    EXPECT_TRUE(data == (Bytes{0x10, 0x00, 0x41, 0x00, 0x1D, 0xE1, 0x13, 0x0C}));
}

TEST_F(InstalledState, AFullWriteOverAnEarlierInstallKeepsWhatWasRecorded)
{
    FillNewInstallation(install);
    install.m_storedOriginalLayout.AssignWide(L"0415:00000415");
    install.m_installedTextFileMenuLink.AssignWide(L"C:\\Old\\Read me.lnk");
    install.m_installedPageMenuLink.AssignWide(L"C:\\Old\\Home page.lnk");
    install.m_docSecondVersion = 190;
    install.m_textFileDesktopLinkMade = 0;
    install.m_docMainDesktopLinkMade = 0;
    install.FindKey(0x0010)->virtualKey = 0;
    install.FindKey(0xE11D)->virtualKey = 0;
    ASSERT_EQ(1, install.WriteInstalledState());

    struct Case
    {
        std::wstring key;
        const wchar_t* name;
        bool written;
    } cases[] = {
        {kRecord, L"Original Layout", false},
        {kRecord, L"Install Count", true},
        {kRecord, L"Text File Menu Link", false},
        {kRecord, L"Text File", false},
        {kRecord, L"Text File Desktop Link", false},
        {kRecord, L"Page Menu Link", false},
        {kRecord, L"Page Desktop Link", false},
        {kRecord, L"Page File", false},
        {kRecord, L"Chart", false},
        {kRecord, L"Chart Version", false},
        {kDocSub, L"File", true},
        {kDocSub, L"Desktop Link", false},
        {kDocSub, L"Version", true},
        {kInstallSub, L"Version", true},
        {kInstallSub, L"Key Assignments", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.written, ValueExists(HKEY_LOCAL_MACHINE, c.key, c.name))
            << std::string(c.name, c.name + wcslen(c.name));

    HKEY sub = MakeKey(HKEY_LOCAL_MACHINE, kInstallSub);
    DWORD type = 0;
    Bytes data{1};
    ASSERT_TRUE(ReadRaw(sub, L"Key Assignments", &type, &data));
    RegCloseKey(sub);
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    EXPECT_TRUE(data.empty()) << "no assignments: an empty binary value";
}

TEST_F(InstalledState, AnOptionsOnlyWriteNeedsTheRecordAndTouchesOnlyTheOptions)
{
    install.m_modifyOnly = 1;
    install.m_layoutVariant = 2;
    EXPECT_EQ(0, install.WriteInstalledState());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kVendor)) << "keys are opened, never created";

    PlantRecord(FullRecord());
    install.m_layoutVariant = 1;
    install.m_decimalVariant = 1;
    install.m_layoutSetFlagA = 0;
    install.m_layoutSetFlagB = 0;
    install.FindKey(0x0011)->virtualKey = 0x0045;
    install.m_setupCopy.AssignWide(L"C:\\Elsewhere\\setup.exe");
    install.m_installCount = 9;
    ASSERT_EQ(1, install.WriteInstalledState());

    CInstall back;
    ASSERT_EQ(1, back.Init(GetModuleHandleW(nullptr)));
    back.ReadInstalledState();
    EXPECT_EQ(190u, back.m_installedVersion);
    EXPECT_EQ(1, back.m_layoutVariant);
    EXPECT_EQ(1, back.m_decimalVariant);
    EXPECT_EQ(0, back.m_layoutSetFlagA);
    EXPECT_EQ(0, back.m_layoutSetFlagB);
    EXPECT_EQ(0x0045, back.FindKey(0x0011)->virtualKey);
    EXPECT_EQ(0, back.FindKey(0x0010)->virtualKey) << "the list was replaced, not merged";
    EXPECT_EQ(L"C:\\Program Files\\Acme Keys\\setup.exe", Text(back.m_installedSetupCopy));
    EXPECT_EQ(2, back.m_installCount);

    DeleteTree(HKEY_LOCAL_MACHINE, kInstallSub.c_str());
    EXPECT_EQ(0, install.WriteInstalledState());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kInstallSub));
}

TEST_F(InstalledState, TheFinalValueFollowsTheVersionCodeAndNeedsItsKey)
{
    HKEY final = MakeKey(HKEY_LOCAL_MACHINE, kFinalKey);
    ASSERT_NE(nullptr, final);
    struct Case
    {
        int version;
        const wchar_t* text;
    } cases[] = {{50, kFinalEarly}, {51, kFinalLater}, {61, kFinalLater}, {0, kFinalEarly}};
    for (const Case& c : cases)
    {
        RegDeleteValueW(final, kFinalValue);
        install.m_osVersionCode = c.version;
        EXPECT_EQ(1, install.WriteFinalValue()) << c.version;
        DWORD type = 0;
        Bytes data;
        ASSERT_TRUE(ReadRaw(final, kFinalValue, &type, &data));
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
        EXPECT_TRUE(data == WideBytes(c.text, true)) << c.version;
    }
    RegCloseKey(final);

    DeleteTree(HKEY_LOCAL_MACHINE, kFinalKey);
    install.m_osVersionCode = 61;
    EXPECT_EQ(0, install.WriteFinalValue());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kFinalKey)) << "opened, never created";
}
