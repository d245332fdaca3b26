// The program's real asset store: every string id the program asks for resolves in both interface
// languages from the right table, registry names and file names are well formed, the formats take
// the arguments their callers pass, the layout's registration hangs together, and every catalogue
// cell is a library for its processor. The list of ids is store-texts.txt beside this file.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/Install.h"
#include "payload/AssetStore.h"
#include "payload/BlobHeader.h"
#include "payload/DataBuffer.h"
#include "text/GString.h"

namespace
{
struct IdRow
{
    int id = 0;
    std::string table;  // common, setup, ui, ui=
    std::string kind;
    std::string args;  // "-" or e.g. "suss|uu"
    int line = 0;
};

std::vector<IdRow> ReadIdList()
{
    std::vector<IdRow> rows;
    const char* root = std::getenv("KBD_SOURCE_DIR");
    EXPECT_NE(nullptr, root);
    std::string path = std::string("Z:") + (root ? root : "") + "/tests/payload/store-texts.txt";
    for (char& c : path)
        if (c == '/')
            c = '\\';
    std::FILE* f = std::fopen(path.c_str(), "r");
    EXPECT_NE(nullptr, f) << path;
    if (!f)
        return rows;
    char line[512];
    for (int number = 1; std::fgets(line, sizeof(line), f); ++number)
    {
        if (line[0] == '#' || line[0] == '\n')
            continue;
        IdRow row;
        char table[16], kind[16], args[32];
        if (std::sscanf(line, "%d %15s %15s %31s", &row.id, table, kind, args) != 4)
        {
            ADD_FAILURE() << "store-texts.txt:" << number << ": not <id> <table> <kind> <args>";
            continue;
        }
        row.table = table;
        row.kind = kind;
        row.args = args;
        row.line = number;
        rows.push_back(row);
    }
    std::fclose(f);
    return rows;
}

std::wstring Text(CInstall& install, int id)
{
    GString out;
    install.LoadText(id, out);
    return std::wstring(out.WideText(0), static_cast<size_t>(out.length));
}

std::string Utf8(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    return out;
}

// The argument classes a format takes, in order ('s' a wide text, 'u' a 32-bit integer), or an
// error for a conversion no caller passes (64-bit, narrow, GString, floating point, failing).
bool FormatArguments(const std::wstring& format, std::string* classes, std::string* error)
{
    for (size_t i = 0; i < format.size(); ++i)
    {
        if (format[i] != L'%')
            continue;
        if (++i >= format.size())
        {
            *error = "'%' at the end";
            return false;
        }
        if (format[i] == L'%')
            continue;
        while (i < format.size() && std::wcschr(L"-+ 0#$`", format[i]))
            ++i;
        auto number = [&] {
            if (i < format.size() && format[i] == L'*')
            {
                *classes += 'u';
                ++i;
                return;
            }
            while (i < format.size() && format[i] >= L'0' && format[i] <= L'9')
                ++i;
        };
        number();
        if (i < format.size() && format[i] == L'.')
        {
            ++i;
            number();
        }
        bool wideSize = false, narrow = false;
        while (i < format.size() && (format[i] == L'L' || format[i] == L'l' || format[i] == L'h'))
        {
            if (format[i] == L'h')
                narrow = true;
            else if (format[i] == L'L' || (format[i] == L'l' && i + 1 < format.size() && format[i + 1] == L'l'))
                wideSize = true;
            ++i;
        }
        if (i >= format.size())
        {
            *error = "unfinished conversion";
            return false;
        }
        const wchar_t letter = format[i];
        if (std::wcschr(L"diuxXoy", letter) && !wideSize)
            *classes += 'u';
        else if ((letter == L's' || letter == L'S') && !narrow && !wideSize)
            *classes += 's';
        else if (letter == L'N')
            continue;
        else
        {
            *error = std::string("conversion '") + static_cast<char>(letter) + "' is not one the callers can feed";
            return false;
        }
    }
    return true;
}

bool IsHex(const std::wstring& text, bool upperOnly)
{
    if (text.empty())
        return false;
    for (wchar_t c : text)
        if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (!upperOnly && c >= L'a' && c <= L'f')))
            return false;
    return true;
}

bool HasControl(const std::wstring& text)
{
    for (wchar_t c : text)
        if (c < 0x20)
            return true;
    return false;
}

class StoreTexts : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(1, install.Init(GetModuleHandleW(nullptr)));
        rows = ReadIdList();
        ASSERT_FALSE(rows.empty());
    }
    const IdRow* Row(int id) const
    {
        for (const IdRow& r : rows)
            if (r.id == id)
                return &r;
        return nullptr;
    }
    std::wstring Common(int id)
    {
        install.SetUiLanguage(0);
        return Text(install, id);
    }
    CInstall install;
    std::vector<IdRow> rows;
};
}

TEST_F(StoreTexts, EveryIdResolvesInBothLanguagesFromItsTable)
{
    for (const IdRow& r : rows)
    {
        const std::string where = "id " + std::to_string(r.id) + " (store-texts.txt:" + std::to_string(r.line) + ")";
        std::wstring texts[2];
        for (int language = 0; language < 2; ++language)
        {
            ASSERT_EQ(1, install.SetUiLanguage(language));
            GString out;
            EXPECT_EQ(1, install.LoadText(r.id, out)) << where << " language " << language;
            EXPECT_NE(nullptr, install.FindText(r.id)) << where << " language " << language;
            texts[language] = Text(install, r.id);
            EXPECT_FALSE(texts[language].empty()) << where << " language " << language;
        }
        const bool inUi0 = install.m_uiStrings[0].Lookup(r.id) != nullptr;
        const bool inUi1 = install.m_uiStrings[1].Lookup(r.id) != nullptr;
        if (r.table == "ui" || r.table == "ui=")
        {
            EXPECT_TRUE(inUi0 && inUi1) << where << ": a user-visible text belongs in both interface tables";
            if (r.table == "ui")
            {
                EXPECT_NE(texts[0], texts[1]) << where << ": the same text in English and Polish";
            }
        }
        else
        {
            EXPECT_FALSE(inUi0 || inUi1) << where << ": a language-independent name must not be in an interface table";
            EXPECT_EQ(texts[0], texts[1]) << where;
            const DataBuffer& table = r.table == "common" ? install.m_commonStrings : install.m_setupStrings;
            EXPECT_NE(nullptr, table.Lookup(r.id)) << where << " is not in the " << r.table << " table";
        }
    }
}

TEST_F(StoreTexts, TablesHoldNoIdTheProgramDoesNotAsk)
{
    const DataBuffer* tables[] = {&install.m_commonStrings, &install.m_uiStrings[0], &install.m_uiStrings[1],
                                  &install.m_setupStrings};
    for (const DataBuffer* table : tables)
    {
        ASSERT_GT(table->count, 0);
        for (int i = 0; i < table->count; ++i)
        {
            const int id = static_cast<int>(ReadLe32(table->data + 8 * i));
            EXPECT_NE(nullptr, Row(id)) << "id " << id << " is in a table but in no list of the program's ids";
        }
    }
}

TEST_F(StoreTexts, NamesAreWellFormed)
{
    for (const IdRow& r : rows)
    {
        const std::wstring t = Common(r.id);
        const std::string where = "id " + std::to_string(r.id) + " '" + Utf8(t) + "'";
        if (r.kind == "key")
        {
            // A path below a root key: components joined by single backslashes.
            EXPECT_NE(L'\\', t.front()) << where;
            EXPECT_NE(L'\\', t.back()) << where;
            EXPECT_EQ(std::wstring::npos, t.find(L"\\\\")) << where;
            EXPECT_EQ(std::wstring::npos, t.find(L'/')) << where;
            EXPECT_FALSE(HasControl(t)) << where;
            size_t start = 0;
            for (size_t end; (end = t.find(L'\\', start)) != std::wstring::npos; start = end + 1)
                EXPECT_LE(end - start, 255u) << where;
            EXPECT_NE(L' ', t.front()) << where;
        }
        else if (r.kind == "value")
        {
            EXPECT_EQ(std::wstring::npos, t.find(L'\\')) << where;
            EXPECT_FALSE(HasControl(t)) << where;
            EXPECT_LE(t.size(), 255u) << where;
        }
        else if (r.kind == "file" || r.kind == "ending" || r.kind == "name")
        {
            EXPECT_EQ(std::wstring::npos, t.find_first_of(L"\\/:*?\"<>|")) << where;
            EXPECT_FALSE(HasControl(t)) << where;
            EXPECT_NE(L' ', t.back()) << where;
            EXPECT_NE(L'.', t.back()) << where;
            if (r.kind == "ending")
            {
                EXPECT_EQ(L'.', t.front()) << where;
            }
        }
        else if (r.kind == "command")
        {
            // The program is quoted, so that a path with blanks is one path.
            ASSERT_EQ(L'"', t.front()) << where;
            const size_t close = t.find(L'"', 1);
            ASSERT_NE(std::wstring::npos, close) << where;
            EXPECT_GT(close, 1u) << where;
            EXPECT_TRUE(close + 1 == t.size() || t[close + 1] == L' ') << where;
        }
        else if (r.kind == "pattern")
        {
            EXPECT_TRUE(IsHex(t, true)) << where << ": patterns are upper-case hexadecimal";
            EXPECT_EQ(0u, t.size() % 2) << where;
            EXPECT_GE(t.size(), 8u) << where;
        }
        else if (r.kind == "hex")
        {
            EXPECT_TRUE(IsHex(t, false)) << where;
        }
    }
    // The product's name is one text wherever it is used.
    EXPECT_EQ(Common(0), Common(81));
}

TEST_F(StoreTexts, FormatsTakeTheArgumentsTheirCallersPass)
{
    const wchar_t* sampleTexts[] = {L"<text one>", L"<text two>", L"<text three>", L"<text four>"};
    for (const IdRow& r : rows)
    {
        const std::string required = r.args == "-" ? "" : r.args.substr(0, r.args.find('|'));
        const std::string passed = r.args == "-" ? "" : required + (r.args.find('|') == std::string::npos ? "" : r.args.substr(r.args.find('|') + 1));
        for (int language = 0; language < 2; ++language)
        {
            install.SetUiLanguage(language);
            const std::wstring t = Text(install, r.id);
            const std::string where = "id " + std::to_string(r.id) + " language " + std::to_string(language);
            if (r.args == "-")
            {
                // Texts used as they are may hold '%' (a path like %SystemRoot%): nothing to check.
                continue;
            }
            std::string classes, error;
            ASSERT_TRUE(FormatArguments(t, &classes, &error)) << where << ": " << error;
            EXPECT_GE(classes.size(), required.size()) << where << ": takes " << classes << ", callers pass " << passed;
            EXPECT_EQ(passed.substr(0, classes.size()), classes) << where << ": takes " << classes << ", callers pass " << passed;

            // Formatted for real: every required text argument shows up in the result.
            if (passed.size() > 6)
                continue;
            uintptr_t slots[6] = {0, 0, 0, 0, 0, 0};
            int texts = 0;
            for (size_t a = 0; a < passed.size(); ++a)
                slots[a] = passed[a] == 's' ? reinterpret_cast<uintptr_t>(sampleTexts[texts++ % 4]) : 0x0415u;
            GString out;
            ASSERT_EQ(1, Format(&out, t.c_str(), slots[0], slots[1], slots[2], slots[3], slots[4], slots[5])) << where;
            const std::wstring result(out.WideText(0), static_cast<size_t>(out.length));
            for (size_t a = 0, k = 0; a < required.size(); ++a)
            {
                if (required[a] == 's')
                {
                    EXPECT_NE(std::wstring::npos, result.find(sampleTexts[k++ % 4])) << where << ": " << Utf8(result);
                }
            }
        }
    }
}

TEST_F(StoreTexts, LayoutRegistrationHangsTogether)
{
    const std::wstring file = Common(83), key = Common(85), id = Common(87), language = Common(86);
    // The display name points at the library's own string resource 1000.
    EXPECT_EQ(L"@%SystemRoot%\\system32\\" + file + L",-1000", Common(84));
    EXPECT_EQ(L".dll", file.substr(file.size() - 4));
    EXPECT_LE(file.size(), 12u) << "an 8.3 name like Windows' own layout libraries";
    // Key name: eight hex digits, custom-layout prefix 'a', the default language in the low word.
    ASSERT_EQ(8u, key.size());
    EXPECT_TRUE(IsHex(key, false));
    EXPECT_EQ(L'a', key[0]);
    EXPECT_EQ(0, _wcsicmp(language.c_str(), key.substr(4).c_str()));
    // Layout Id: four hex digits below 1000, outside Windows' own and the layout tools' first ids.
    ASSERT_EQ(4u, id.size());
    ASSERT_TRUE(IsHex(id, false));
    const unsigned long layoutId = std::wcstoul(id.c_str(), nullptr, 16);
    EXPECT_LT(layoutId, 0x1000u);
    EXPECT_GT(layoutId, 0x0200u);

    EXPECT_EQ(0x0415, install.m_defaultLanguageId);
    EXPECT_EQ(0, install.m_layoutVariant) << "QWERTY is the default variant";

    // The settings files name the layout as the language:key pair the input-language command wants.
    const std::wstring pair = L"ID=\"0415:" + key + L"\"";
    const std::wstring dflt = Common(64);
    GString out;
    ASSERT_EQ(1, Format(&out, Common(62).c_str(), 0x0415u, key.c_str(), dflt.c_str()));
    std::wstring vista(out.WideText(0), static_cast<size_t>(out.length));
    EXPECT_NE(std::wstring::npos, vista.find(L"Action=\"add\" " + pair + L" Default=\"true\"/>")) << Utf8(vista);
    EXPECT_NE(std::wstring::npos, vista.find(L"xmlns:gs=\"urn:longhornGlobalizationUnattend\"")) << Utf8(vista);
    ASSERT_EQ(1, Format(&out, Common(62).c_str(), 0x0415u, key.c_str(), L""));
    EXPECT_NE(std::wstring::npos, std::wstring(out.WideText(0)).find(L"Action=\"add\" " + pair + L"/>"));
    const std::wstring extra = Common(90);
    ASSERT_EQ(1, Format(&out, Common(63).c_str(), extra.c_str(), 0x0415u, key.c_str(), dflt.c_str(), 0x0415u, 0x0415u));
    std::wstring eight(out.WideText(0), static_cast<size_t>(out.length));
    EXPECT_NE(std::wstring::npos, eight.find(extra)) << Utf8(eight);
    EXPECT_NE(std::wstring::npos, eight.find(L"Action=\"add\" " + pair + L" Default=\"true\"/>")) << Utf8(eight);
    ASSERT_EQ(1, Format(&out, Common(66).c_str(), L""));
    EXPECT_NE(std::wstring::npos, std::wstring(out.WideText(0)).find(L"Action=\"remove\" " + pair + L"/>"));

    // The command gets the settings file's path quoted.
    ASSERT_EQ(1, Format(&out, Common(49).c_str(), L"C:\\Temp Folder\\kbd1.tmp"));
    EXPECT_NE(std::wstring::npos, std::wstring(out.WideText(0)).find(L"/f:\"C:\\Temp Folder\\kbd1.tmp\""));
}

TEST_F(StoreTexts, EveryCatalogueCellIsALibraryForItsProcessor)
{
    for (int set = 0; set < kCatalogueSets; ++set)
        for (int row = 0; row < kCatalogueRows; ++row)
            for (int slot = 0; slot < kCatalogueSlots; ++slot)
            {
                const std::string where =
                    "set " + std::to_string(set) + " row " + std::to_string(row) + " slot " + std::to_string(slot);
                const int blob = CatalogueBlobNumber(set, row, slot);
                int length = StoreBlobLength(blob), items = 0;
                unsigned char* image = install.m_guard.Decode(StoreBlob(blob), &length, &items);
                ASSERT_NE(nullptr, image) << where;
                ASSERT_GT(length, 0x200) << where;
                EXPECT_EQ('M', image[0]) << where;
                EXPECT_EQ('Z', image[1]) << where;
                // The PE machine: x86 for slots 0, 1, 2, 5, 8, 11; IA64 for 3, 6, 9; AMD64 for 4, 7, 10, 12.
                const uint32_t pe = ReadLe32(image + 0x3C);
                if (pe + 6 <= static_cast<uint32_t>(length))
                {
                    const int machine = image[pe + 4] | (image[pe + 5] << 8);
                    const int expected = (slot == 3 || slot == 6 || slot == 9)    ? 0x200
                                         : (slot == 4 || slot == 7 || slot == 10 || slot == 12) ? 0x8664
                                                                                                 : 0x14C;
                    EXPECT_EQ(expected, machine) << where;
                }
                else
                {
                    ADD_FAILURE() << where << ": no PE header";
                }
                std::free(image);
            }
}
