// The registry layer against the real registry of the test's own prefix: guards, the type and
// size rules of each read, and the by-id variants, which must touch nothing for an id without
// text.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "core/Install.h"
#include "tests/engine/RegistryTestUtil.h"

using namespace regtest;

namespace
{
const wchar_t kScratch[] = L"SOFTWARE\\Acme Registry Test";  // text of fixture string 1100
const int kIdScratchKey = 1100;
const int kIdSample = 1101;        // "Sample"
const int kIdEmptyText = 1102;     // present, empty
const int kIdSampleData = 1103;    // "Sample data"
const int kIdMissing = 9999;

class Registry : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(1, install.Init(GetModuleHandleW(nullptr)));
        DeleteTree(HKEY_LOCAL_MACHINE, kScratch);
        key = MakeKey(HKEY_LOCAL_MACHINE, kScratch);
        ASSERT_NE(nullptr, key);
    }
    void TearDown() override
    {
        if (key)
            RegCloseKey(key);
        DeleteTree(HKEY_LOCAL_MACHINE, kScratch);
    }

    // Values and sub-keys of the scratch key: what "touched nothing" is measured by.
    void ExpectScratchEmpty()
    {
        DWORD subKeys = 99, values = 99;
        ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr,
                                                  nullptr, &values, nullptr, nullptr, nullptr,
                                                  nullptr));
        EXPECT_EQ(0u, subKeys);
        EXPECT_EQ(0u, values);
    }

    CInstall install;
    HKEY key = nullptr;
};
}

TEST_F(Registry, GuardsRefuseNullHandlesAndNullOrEmptyNamesWithoutTouchingAnything)
{
    GString text;
    text.AssignWide(L"data");
    // An empty name would otherwise open the root itself or write its default value.
    EXPECT_EQ(nullptr, install.OpenKey(nullptr, L"Sub", KEY_READ));
    EXPECT_EQ(nullptr, install.OpenKey(key, nullptr, KEY_READ));
    EXPECT_EQ(nullptr, install.OpenKey(key, L"", KEY_READ));
    EXPECT_EQ(nullptr, install.CreateKey(nullptr, L"Sub", KEY_WRITE));
    EXPECT_EQ(nullptr, install.CreateKey(key, nullptr, KEY_WRITE));
    EXPECT_EQ(nullptr, install.CreateKey(key, L"", KEY_WRITE));
    EXPECT_EQ(0, install.SetStringValue(nullptr, L"Name", text));
    EXPECT_EQ(0, install.SetStringValue(key, nullptr, text));
    EXPECT_EQ(0, install.SetStringValue(key, L"", text));
    EXPECT_EQ(0, install.DeleteValue(nullptr, L"Name"));
    EXPECT_EQ(0, install.DeleteValue(key, L""));
    ExpectScratchEmpty();

    PlantString(key, L"Name", L"stored");
    GString out;
    out.AssignNarrow("left over");
    EXPECT_EQ(0, install.QueryStringValue(nullptr, L"Name", out));
    EXPECT_EQ(0, install.QueryStringValue(key, L"", out));
    EXPECT_EQ(0, install.QueryStringValue(key, nullptr, out));
    EXPECT_EQ(0, out.wide) << "a refused read leaves the out text as it was";
    EXPECT_EQ(std::string("left over"), std::string(out.NarrowText(), out.length));
}

TEST_F(Registry, QueryStringValueKeepsToTheReturnedBytes)
{
    std::wstring longText(100000, L'x');
    longText[0] = L'A';
    longText[longText.size() - 1] = L'Z';
    Bytes odd = WideBytes(L"abcd", false);
    odd.push_back('e');
    struct Case
    {
        const char* what;
        DWORD type;
        Bytes data;
        int result;
        std::wstring text;
    } cases[] = {
        {"zero bytes", REG_SZ, Bytes(), 1, L""},
        {"with terminator", REG_SZ, WideBytes(L"abcd", true), 1, L"abcd"},
        {"without terminator", REG_SZ, WideBytes(L"abcd", false), 1, L"abc"},
        {"odd length", REG_SZ, odd, 1, L"abcd"},
        {"one byte", REG_SZ, Bytes{'a'}, 1, L""},
        {"embedded zero", REG_SZ, WideBytes(std::wstring(L"ab\0cd", 5), true), 1,
         std::wstring(L"ab\0cd", 5)},
        {"longer than any path", REG_SZ, WideBytes(longText, true), 1, longText},
        {"beyond the limit", REG_SZ, WideBytes(std::wstring((1 << 19) + 1, L'y'), true), 0, L""},
        {"expandable", REG_EXPAND_SZ, WideBytes(L"%TEMP%", true), 0, L""},
        {"multi", REG_MULTI_SZ, WideBytes(std::wstring(L"a\0b\0", 4), true), 0, L""},
        {"binary", REG_BINARY, WideBytes(L"abcd", true), 0, L""},
        {"dword", REG_DWORD, DwordBytes(0x00410041), 0, L""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        Plant(key, L"Value", c.type, c.data);
        GString out;
        out.AssignNarrow("left over");
        EXPECT_EQ(c.result, install.QueryStringValue(key, L"Value", out));
        EXPECT_EQ(1, out.wide);
        EXPECT_TRUE(c.text == Wide(out)) << "length " << out.length;
    }

    GString out;
    out.AssignWide(L"left over");
    EXPECT_EQ(0, install.QueryStringValue(key, L"Missing", out));
    EXPECT_EQ(0, out.length);
}

TEST_F(Registry, QueryBinaryValueReturnsWholeBinaryValuesOnly)
{
    Bytes big(70000);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<unsigned char>(i * 7);
    struct Case
    {
        const char* what;
        DWORD type;
        Bytes data;
        bool found;
        uint32_t size;
    } cases[] = {
        {"zero bytes", REG_BINARY, Bytes(), false, 0},
        {"five bytes", REG_BINARY, Bytes{1, 2, 3, 4, 5}, true, 5},
        {"large", REG_BINARY, big, true, 70000},
        {"dword", REG_DWORD, DwordBytes(7), false, 0},
        {"string", REG_SZ, WideBytes(L"ab", true), false, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        Plant(key, L"Value", c.type, c.data);
        uint32_t size = 1234;
        unsigned char* block = install.QueryBinaryValue(key, L"Value", &size);
        EXPECT_EQ(c.found, block != nullptr);
        EXPECT_EQ(c.size, size);
        if (block)
        {
            EXPECT_TRUE(Bytes(block, block + size) == c.data);
        }
        free(block);
    }
    uint32_t size = 1234;
    EXPECT_EQ(nullptr, install.QueryBinaryValue(key, L"Missing", &size));
    EXPECT_EQ(0u, size);
}

TEST_F(Registry, QueryDwordValueTakesOnlyFourByteDwords)
{
    struct Case
    {
        const char* what;
        DWORD type;
        Bytes data;
        int result;
    } cases[] = {
        {"dword", REG_DWORD, DwordBytes(0x12345678), 1},
        {"binary of four bytes", REG_BINARY, DwordBytes(0x12345678), 0},
        {"dword of two bytes", REG_DWORD, Bytes{0x78, 0x56}, 0},
        {"dword of eight bytes", REG_DWORD, Bytes{0x78, 0x56, 0x34, 0x12, 0, 0, 0, 0}, 0},
        {"dword of zero bytes", REG_DWORD, Bytes(), 0},
        {"big-endian dword", REG_DWORD_BIG_ENDIAN, DwordBytes(0x12345678), 0},
        {"string", REG_SZ, WideBytes(L"1", true), 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        Plant(key, L"Value", c.type, c.data);
        uint32_t value = 0xCAFEF00D;
        EXPECT_EQ(c.result, install.QueryDwordValue(key, L"Value", &value));
        EXPECT_EQ(c.result ? 0x12345678u : 0xCAFEF00Du, value) << "the out value changes only on success";
    }
    uint32_t value = 5;
    EXPECT_EQ(0, install.QueryDwordValue(key, L"Missing", &value));
    EXPECT_EQ(5u, value);
}

TEST_F(Registry, WritesStoreTheExpectedTypesAndBytes)
{
    GString empty;
    empty.AssignNarrow("");
    EXPECT_EQ(1, install.SetStringValue(key, L"Empty", empty));
    GString narrow;
    narrow.AssignNarrow("Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87");  // UTF-8
    EXPECT_EQ(1, install.SetStringValue(key, L"Text", narrow));
    EXPECT_EQ(1, narrow.wide) << "the caller's text is left wide";
    EXPECT_EQ(1, install.SetDwordValue(key, L"Number", 0xA1B2C3D4));
    const unsigned char blob[] = {9, 8, 7};
    EXPECT_EQ(1, install.SetBinaryValue(key, L"Blob", blob, 3));
    EXPECT_EQ(1, install.SetBinaryValue(key, L"NoBytes", nullptr, 0));
    EXPECT_EQ(0, install.SetBinaryValue(key, L"Negative", blob, -1));
    EXPECT_EQ(0, install.SetBinaryValue(key, L"NoData", nullptr, 4));

    struct Case
    {
        const wchar_t* name;
        DWORD type;
        Bytes data;
    } cases[] = {
        {L"Empty", REG_SZ, Bytes{0, 0}},
        {L"Text", REG_SZ, WideBytes(L"Za\u017C\u00F3\u0142\u0107", true)},
        {L"Number", REG_DWORD, DwordBytes(0xA1B2C3D4)},
        {L"Blob", REG_BINARY, Bytes{9, 8, 7}},
        {L"NoBytes", REG_BINARY, Bytes()},
    };
    for (const Case& c : cases)
    {
        DWORD type = 0;
        Bytes data;
        ASSERT_TRUE(ReadRaw(key, c.name, &type, &data)) << std::string(c.name, c.name + wcslen(c.name));
        EXPECT_EQ(c.type, type);
        EXPECT_TRUE(c.data == data);
    }
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kScratch, L"Negative"));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kScratch, L"NoData"));

    EXPECT_EQ(1, install.DeleteValue(key, L"Blob"));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kScratch, L"Blob"));
    EXPECT_EQ(0, install.DeleteValue(key, L"Blob"));
}

TEST_F(Registry, StringValueEqualsIsExactAndCaseSensitive)
{
    PlantString(key, L"Name", L"Acme Keys");
    struct Case
    {
        const char* narrow;      // given as UTF-8 when set
        const wchar_t* wide;     // otherwise as UTF-16
        const wchar_t* valueName;
        int result;
    } cases[] = {
        {nullptr, L"Acme Keys", L"Name", 1},
        {"Acme Keys", nullptr, L"Name", 1},
        {nullptr, L"acme keys", L"Name", 0},
        {"ACME KEYS", nullptr, L"Name", 0},
        {nullptr, L"Acme Key", L"Name", 0},
        {nullptr, L"Acme Keys ", L"Name", 0},
        {nullptr, L"Acme Keys", L"Missing", 0},
    };
    for (const Case& c : cases)
    {
        GString given;
        if (c.narrow)
            given.AssignNarrow(c.narrow);
        else
            given.AssignWide(c.wide);
        EXPECT_EQ(c.result, install.StringValueEquals(key, c.valueName, given))
            << (c.narrow ? c.narrow : "wide case");
    }
}

TEST_F(Registry, KeysOpenCreateAndDeleteById)
{
    HKEY opened = install.OpenKeyById(HKEY_LOCAL_MACHINE, kIdScratchKey, KEY_READ);
    ASSERT_NE(nullptr, opened);
    RegCloseKey(opened);

    HKEY created = install.CreateKeyById(key, kIdSample, KEY_WRITE);
    ASSERT_NE(nullptr, created);
    RegCloseKey(created);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kScratch) + L"\\Sample"));
    EXPECT_EQ(nullptr, install.OpenKeyById(key, kIdSampleData, KEY_READ)) << "no such key";

    EXPECT_EQ(1, install.DeleteKeyById(key, kIdSample));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kScratch) + L"\\Sample"));
    EXPECT_EQ(0, install.DeleteKeyById(key, kIdSample));
}

TEST_F(Registry, ValuesByIdRoundTrip)
{
    EXPECT_EQ(1, install.SetStringValueByIds(key, kIdSample, kIdSampleData));
    GString text;
    EXPECT_EQ(1, install.QueryStringValueById(key, kIdSample, text));
    EXPECT_TRUE(Wide(text) == L"Sample data");
    GString same;
    same.AssignWide(L"Sample data");
    EXPECT_EQ(1, install.StringValueEqualsById(key, kIdSample, same));

    // The name lookup must not overwrite a text that lives in the scratch string itself.
    install.m_text.AssignWide(L"from the scratch text");
    EXPECT_EQ(1, install.SetStringValueById(key, kIdSample, install.m_text));
    DWORD type = 0;
    Bytes data;
    ASSERT_TRUE(ReadRaw(key, L"Sample", &type, &data));
    EXPECT_TRUE(data == WideBytes(L"from the scratch text", true));

    EXPECT_EQ(1, install.SetDwordValueById(key, kIdSample, 77));
    uint32_t value = 0;
    EXPECT_EQ(1, install.QueryDwordValueById(key, kIdSample, &value));
    EXPECT_EQ(77u, value);

    const unsigned char blob[] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(1, install.SetBinaryValueById(key, kIdSample, blob, 6));
    uint32_t size = 0;
    unsigned char* back = install.QueryBinaryValueById(key, kIdSample, &size);
    ASSERT_NE(nullptr, back);
    EXPECT_TRUE(Bytes(back, back + size) == Bytes(blob, blob + 6));
    free(back);

    EXPECT_EQ(1, install.DeleteValueById(key, kIdSample));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kScratch, L"Sample"));
}

TEST_F(Registry, IdsWithoutTextTouchNeitherTheRegistryNorTheOutArguments)
{
    const int ids[] = {kIdMissing, kIdEmptyText};
    const unsigned char blob[] = {1, 2, 3, 4};
    for (int id : ids)
    {
        SCOPED_TRACE(id);
        GString text;
        text.AssignWide(L"data");
        EXPECT_EQ(nullptr, install.OpenKeyById(key, id, KEY_READ));
        EXPECT_EQ(nullptr, install.CreateKeyById(key, id, KEY_WRITE));
        EXPECT_EQ(0, install.SetBinaryValueById(key, id, blob, 4));
        EXPECT_EQ(0, install.SetDwordValueById(key, id, 4));
        EXPECT_EQ(0, install.SetStringValueById(key, id, text));
        EXPECT_EQ(0, install.SetStringValueByIds(key, id, kIdSampleData));
        EXPECT_EQ(0, install.SetStringValueByIds(key, kIdSample, kIdMissing)) << "missing data text";
        EXPECT_EQ(0, install.DeleteValueById(key, id));
        EXPECT_EQ(0, install.DeleteKeyById(key, id));
        ExpectScratchEmpty();

        // The reads: their out arguments keep what they held.
        PlantString(key, L"", L"default value");
        uint32_t size = 42;
        EXPECT_EQ(nullptr, install.QueryBinaryValueById(key, id, &size));
        EXPECT_EQ(42u, size);
        uint32_t value = 42;
        EXPECT_EQ(0, install.QueryDwordValueById(key, id, &value));
        EXPECT_EQ(42u, value);
        GString out;
        out.AssignNarrow("kept");
        EXPECT_EQ(0, install.QueryStringValueById(key, id, out));
        EXPECT_EQ(0, out.wide);
        EXPECT_EQ(4, out.length);
        GString expected;
        expected.AssignWide(L"default value");
        EXPECT_EQ(0, install.StringValueEqualsById(key, id, expected));
        EXPECT_EQ(0, install.SetMachineStringByIds(id, kIdSample, kIdSampleData));
        EXPECT_EQ(0, install.SetMachineStringByIds(kIdScratchKey, id, kIdSampleData));
        ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueW(key, L""));
        ExpectScratchEmpty();
    }
}

TEST_F(Registry, SetMachineStringByIdsWritesIntoAnExistingKeyOnly)
{
    EXPECT_EQ(1, install.SetMachineStringByIds(kIdScratchKey, kIdSample, kIdSampleData));
    DWORD type = 0;
    Bytes data;
    ASSERT_TRUE(ReadRaw(key, L"Sample", &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_TRUE(data == WideBytes(L"Sample data", true));

    RegCloseKey(key);
    key = nullptr;
    DeleteTree(HKEY_LOCAL_MACHINE, kScratch);
    EXPECT_EQ(0, install.SetMachineStringByIds(kIdScratchKey, kIdSample, kIdSampleData));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kScratch)) << "the key is opened, never created";
}
