// The installer object's phases against a small packed store whose texts name the table they
// come from.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "core/Install.h"
#include "payload/AssetStore.h"

namespace
{
std::wstring Text(CInstall& install, int id, int* found = nullptr)
{
    GString out;
    int result = install.LoadText(id, out);
    if (found)
        *found = result;
    if (result)
    {
        EXPECT_EQ(1, out.wide) << "texts from LoadText are wide";
    }
    return std::wstring(out.WideText(0), static_cast<size_t>(out.length));
}

class InstallLifecycle : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(1, install.Init(GetModuleHandleW(nullptr)));
    }
    CInstall install;
};
}

TEST_F(InstallLifecycle, InitDecodesTheFourStringTables)
{
    EXPECT_EQ(5, install.m_commonStrings.count);
    EXPECT_EQ(2, install.m_uiStrings[0].count);
    EXPECT_EQ(1, install.m_uiStrings[1].count);
    EXPECT_EQ(3, install.m_setupStrings.count);
    EXPECT_NE(nullptr, install.m_guard.keyBlob);
    EXPECT_NE(nullptr, install.m_app);
    EXPECT_EQ(0x0415, install.m_defaultLanguageId);
}

TEST_F(InstallLifecycle, LoadTextSearchesUiThenCommonThenSetup)
{
    struct Case
    {
        int language;
        int id;
        const wchar_t* text;
    } cases[] = {
        {0, 1000, L"ui0 1000"},
        {1, 1000, L"ui1 1000 za\u017c\u00f3\u0142\u0107"},
        {0, 1001, L"common 1001"},
        {1, 1001, L"common 1001"},
        {0, 1002, L"ui0 1002"},
        {1, 1002, L"common 1002"},
        {0, 1003, L"setup 1003"},
        {1, 1003, L"setup 1003"},
        {0, static_cast<int>(0x80000000u), L"common high"},
    };
    for (const Case& c : cases)
    {
        ASSERT_EQ(1, install.SetUiLanguage(c.language));
        int found = 0;
        EXPECT_EQ(c.text, Text(install, c.id, &found)) << "id " << c.id << " language " << c.language;
        EXPECT_EQ(1, found);
    }
}

TEST_F(InstallLifecycle, UnknownIdGivesZeroAndAnEmptyText)
{
    GString out;
    out.AssignWide(L"left over");
    EXPECT_EQ(0, install.LoadText(4242, out));
    EXPECT_EQ(0, out.length);
}

TEST_F(InstallLifecycle, SetUiLanguageAcceptsOnlyZeroAndOne)
{
    EXPECT_EQ(1, install.SetUiLanguage(1));
    EXPECT_EQ(0, install.SetUiLanguage(2));
    EXPECT_EQ(0, install.SetUiLanguage(-1));
    EXPECT_EQ(1, install.m_uiLanguage);
}

TEST_F(InstallLifecycle, ReleaseResourcesEmptiesEveryTableAndWipesTheKey)
{
    install.ReleaseResources();
    EXPECT_EQ(nullptr, install.m_guard.keyBlob);
    EXPECT_EQ(nullptr, install.m_commonStrings.data);
    EXPECT_EQ(nullptr, install.m_uiStrings[0].data);
    EXPECT_EQ(nullptr, install.m_uiStrings[1].data);
    EXPECT_EQ(nullptr, install.m_setupStrings.data);
    int found = 1;
    Text(install, 1000, &found);
    EXPECT_EQ(0, found);
    // A second release, as the destructor does after the final phase, finds nothing to free.
    install.ReleaseResources();
}

TEST(InstallConstruction, WorkingKeyTableStartsWithoutAssignments)
{
    CInstall install;
    ASSERT_NE(nullptr, install.m_keys);
    ASSERT_EQ(kKeyTableRows, install.m_keyCount);
    int defaultsWithKey = 0;
    for (int i = 0; i < kKeyTableRows; ++i)
    {
        EXPECT_EQ(0, install.m_keys[i].virtualKey) << "row " << i;
        EXPECT_EQ(DefaultKeyTable[i].scanCode, install.m_keys[i].scanCode);
        EXPECT_EQ(DefaultKeyTable[i].nameId, install.m_keys[i].nameId);
        if (DefaultKeyTable[i].virtualKey != 0)
            ++defaultsWithKey;
    }
    EXPECT_EQ(144, defaultsWithKey) << "the default table keeps its virtual keys";
    EXPECT_EQ(-1, install.m_layoutVariant);
    EXPECT_EQ(0xFFFF, install.m_processorArchitecture);
    EXPECT_EQ(1, install.m_setAsDefault);
}

TEST(InstallInit, NullModuleHandleFails)
{
    CInstall install;
    EXPECT_EQ(0, install.Init(nullptr));
}

// A flipped bit anywhere in a string table's cipher text must make Init fail, silently.
TEST(InstallInit, CorruptedStringTableFails)
{
    const int blobs[] = {kBlobCommonStrings, kBlobUiStrings0, kBlobUiStrings1, kBlobSetupStrings};
    for (int blob : blobs)
    {
        unsigned char* bytes = const_cast<unsigned char*>(StoreBlob(blob));
        const int length = StoreBlobLength(blob);
        ASSERT_NE(nullptr, bytes);
        ASSERT_GT(length, 24);
        DWORD old = 0;
        ASSERT_TRUE(VirtualProtect(bytes, static_cast<SIZE_T>(length), PAGE_READWRITE, &old));
        bytes[length / 2] ^= 0x10;
        {
            CInstall install;
            EXPECT_EQ(0, install.Init(GetModuleHandleW(nullptr))) << "blob " << blob;
        }
        bytes[length / 2] ^= 0x10;
        CInstall intact;
        EXPECT_EQ(1, intact.Init(GetModuleHandleW(nullptr))) << "blob " << blob << " restored";
    }
}
