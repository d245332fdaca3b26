// The layout built from the definition: US base levels, the AltGr characters and where they
// go in each variant, the dead keys of set 1 and their tables, and the compiler's errors.
#include "Definition.h"
#include "LayoutTestFiles.h"
#include "core/KeyTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>

namespace {

const uint16_t kNone = 0xF000;
const uint16_t kDead = 0xF001;

class LayoutDefinition : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_ucd = new CUnicodeData;
        s_def = new CDefinition;
        ASSERT_TRUE(s_ucd->Load(KBD_TEST_UNICODE_DATA)) << s_ucd->Error();
        ASSERT_TRUE(s_def->Load(KBD_TEST_DEFINITION)) << s_def->Error();
        for (int s = 0; s < kLayoutSets; ++s)
            for (int v = 0; v < kLayoutVariants; ++v)
                ASSERT_TRUE(s_def->Build(s, v, *s_ucd, s_layouts[s][v])) << s_def->Error();
    }
    static void TearDownTestSuite()
    {
        delete s_def;
        delete s_ucd;
    }

    // The record of the key at a scan code (the main table), or null.
    static const KbdCharRecord* KeyAt(const KbdLayout& l, int scan)
    {
        uint8_t vk = static_cast<uint8_t>(l.scanToVk[scan] & 0xFF);
        for (const KbdCharRecord& r : l.charTables[0].records)
            if (r.vk == vk)
                return &r;
        return nullptr;
    }
    // The record after a key's record (its dead characters when vk is 0xFF).
    static const KbdCharRecord* After(const KbdLayout& l, const KbdCharRecord* r)
    {
        const auto& recs = l.charTables[0].records;
        size_t i = static_cast<size_t>(r - recs.data());
        return i + 1 < recs.size() ? &recs[i + 1] : nullptr;
    }

    static CUnicodeData* s_ucd;
    static CDefinition* s_def;
    static KbdLayout s_layouts[kLayoutSets][kLayoutVariants];
};

CUnicodeData* LayoutDefinition::s_ucd = nullptr;
CDefinition* LayoutDefinition::s_def = nullptr;
KbdLayout LayoutDefinition::s_layouts[kLayoutSets][kLayoutVariants];

TEST_F(LayoutDefinition, QwertyTypesUsCharactersOnBaseAndShift)
{
    struct Case {
        int scan;
        char16_t base, shift;
    } cases[] = {{0x29, '`', '~'}, {0x02, '1', '!'}, {0x03, '2', '@'}, {0x04, '3', '#'}, {0x07, '6', '^'},
                 {0x0C, '-', '_'}, {0x0D, '=', '+'}, {0x10, 'q', 'Q'}, {0x15, 'y', 'Y'}, {0x1A, '[', '{'},
                 {0x1B, ']', '}'}, {0x2B, '\\', '|'}, {0x27, ';', ':'}, {0x28, '\'', '"'}, {0x2C, 'z', 'Z'},
                 {0x33, ',', '<'}, {0x34, '.', '>'}, {0x35, '/', '?'}, {0x39, ' ', ' '}, {0x56, '\\', '|'}};
    for (int set = 0; set < kLayoutSets; ++set)
        for (const Case& c : cases) {
            SCOPED_TRACE("set " + std::to_string(set) + " scan " + std::to_string(c.scan));
            const KbdCharRecord* r = KeyAt(s_layouts[set][0], c.scan);
            ASSERT_NE(nullptr, r);
            EXPECT_EQ(c.base, r->chars[kColBase]);
            EXPECT_EQ(c.shift, r->chars[kColShift]);
        }
}

TEST_F(LayoutDefinition, QwertyScanCodesAreTheProgramsDefaultKeys)
{
    // The expert pages show DefaultKeyTable as the keys' defaults; the libraries must agree.
    const KbdLayout& l = s_layouts[0][0];
    int plain = 0, e0 = 0, e1 = 0;
    for (const KeyEntry& k : DefaultKeyTable) {
        if (k.scanCode == 0)
            break;
        SCOPED_TRACE("scan code " + std::to_string(k.scanCode));
        if (k.scanCode < kScanTableSize) {
            EXPECT_EQ(k.virtualKey, l.scanToVk[k.scanCode]);
            ++plain;
        } else if ((k.scanCode >> 8) == 0xE0 || (k.scanCode >> 8) == 0xE1) {
            const std::vector<KbdScanVk>& list = (k.scanCode >> 8) == 0xE0 ? l.e0 : l.e1;
            auto it = std::find_if(list.begin(), list.end(), [&](const KbdScanVk& e) { return e.scan == (k.scanCode & 0xFF); });
            ASSERT_NE(list.end(), it);
            EXPECT_EQ(k.virtualKey, it->vk);
            ++((k.scanCode >> 8) == 0xE0 ? e0 : e1);
        }
    }
    EXPECT_EQ(static_cast<size_t>(e0), l.e0.size());
    EXPECT_EQ(static_cast<size_t>(e1), l.e1.size());
    EXPECT_GT(plain, 80);
}

TEST_F(LayoutDefinition, VariantsMoveKeysTogetherWithTheirAltGrCharacters)
{
    struct Case {
        int variant, scan;
        uint16_t vk;
        char16_t base, altGr;
    } cases[] = {
        {0, 0x15, 'Y', 'y', u'¥'},  {0, 0x2C, 'Z', 'z', u'ż'},  {1, 0x15, 'Z', 'z', u'ż'},    {1, 0x2C, 'Y', 'y', u'¥'},
        {1, 0x1E, 'A', 'a', u'ą'},  {2, 0x10, 0xDE, '\'', u'´'}, {2, 0x1F, 'O', 'o', u'ó'},  {2, 0x30, 'X', 'x', u'ź'},
        {2, 0x0C, 0xDB, '[', u'„'}, {2, 0x28, 0xBD, '-', u'–'},  {2, 0x2C, 0xBA, ';', u'…'}, {2, 0x26, 'N', 'n', u'ń'},
        {2, 0x35, 'Z', 'z', u'ż'},  {2, 0x1E, 'A', 'a', u'ą'},   {2, 0x02, '1', '1', u'¡'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("variant " + std::to_string(c.variant) + " scan " + std::to_string(c.scan));
        const KbdLayout& l = s_layouts[0][c.variant];
        EXPECT_EQ(c.vk, l.scanToVk[c.scan]);
        const KbdCharRecord* r = KeyAt(l, c.scan);
        ASSERT_NE(nullptr, r);
        EXPECT_EQ(c.base, r->chars[kColBase]);
        EXPECT_EQ(c.altGr, r->chars[kColAltGr]);
    }
}

TEST_F(LayoutDefinition, EveryVariantPlacesEachTypingKeyOnce)
{
    for (int v = 0; v < kLayoutVariants; ++v) {
        std::multiset<uint16_t> vks;
        for (int scan = 0; scan < kScanTableSize; ++scan)
            if (s_def->Placement(v)[scan] >= 0)
                vks.insert(s_layouts[0][v].scanToVk[scan]);
        EXPECT_EQ(48u, vks.size()) << "variant " << v;
        for (uint16_t vk : vks)
            EXPECT_EQ(1u, vks.count(vk)) << "variant " << v << " vk " << vk;
    }
}

TEST_F(LayoutDefinition, EveryRequiredCharacterHasAnAltGrPlaceInEverySetAndVariant)
{
    const std::u16string required = u"ąćęłńóśźżĄĆĘŁŃÓŚŹŻ„”«»–—…€£¥°×÷±≠≤≥→←";
    for (int set = 0; set < kLayoutSets; ++set)
        for (int v = 0; v < kLayoutVariants; ++v) {
            std::set<char16_t> typed;
            for (int scan = 0; scan < kScanTableSize; ++scan)
                if (const KbdCharRecord* r = KeyAt(s_layouts[set][v], scan)) {
                    typed.insert(r->chars[kColAltGr]);
                    typed.insert(r->chars[kColShiftAltGr]);
                }
            for (char16_t c : required)
                EXPECT_EQ(1u, typed.count(c)) << "set " << set << " variant " << v << " lacks U+" << std::hex << c;
        }
}

TEST_F(LayoutDefinition, AltGrCharactersHaveOnePlaceEach)
{
    std::multiset<uint16_t> seen;
    for (const KbdCharRecord& r : s_layouts[0][0].charTables[0].records)
        for (int c : {kColAltGr, kColShiftAltGr})
            if (r.chars[c] != kNone)
                seen.insert(r.chars[c]);
    for (uint16_t c : seen)
        EXPECT_EQ(1u, seen.count(c)) << "U+" << std::hex << c << " has two AltGr places";
}

TEST_F(LayoutDefinition, SetOneMakesTheAccentPlacesDeadKeys)
{
    struct Case {
        int scan, column;
        char16_t accent;
    } cases[] = {{0x28, kColAltGr, u'´'}, {0x29, kColAltGr, u'`'}, {0x07, kColAltGr, u'^'},   {0x28, kColShiftAltGr, u'¨'},
                 {0x07, kColShiftAltGr, u'ˇ'}, {0x0B, kColShiftAltGr, u'˚'}, {0x34, kColShiftAltGr, u'˛'},
                 {0x33, kColShiftAltGr, u'¸'}, {0x29, kColShiftAltGr, u'~'}, {0x27, kColShiftAltGr, u'˝'}};
    for (const Case& c : cases) {
        SCOPED_TRACE("scan " + std::to_string(c.scan));
        const KbdCharRecord* plain = KeyAt(s_layouts[0][0], c.scan);
        const KbdCharRecord* dead = KeyAt(s_layouts[1][0], c.scan);
        ASSERT_TRUE(plain && dead);
        EXPECT_EQ(c.accent, plain->chars[c.column]);
        EXPECT_EQ(kDead, dead->chars[c.column]);
        const KbdCharRecord* accents = After(s_layouts[1][0], dead);
        ASSERT_NE(nullptr, accents);
        EXPECT_EQ(0xFF, accents->vk);
        EXPECT_EQ(c.accent, accents->chars[c.column]);
        EXPECT_EQ(kNone, accents->chars[kColBase]);
    }
    EXPECT_TRUE(s_layouts[0][0].deadKeys.empty());
    for (const KbdCharRecord& r : s_layouts[0][0].charTables[0].records)
        EXPECT_NE(0xFF, r.vk);
    EXPECT_EQ(10u, s_layouts[1][0].deadKeyNames.size());
}

TEST_F(LayoutDefinition, DeadKeyTablesComposeLatinLettersFromTheCharacterDatabase)
{
    struct Case {
        char16_t accent, base, composed;
    } cases[] = {
        {u'´', 'e', u'é'}, {u'´', 'Z', u'Ź'}, {u'´', 'w', u'ẃ'}, {u'´', u'ü', u'ǘ'}, {u'`', 'a', u'à'},  {u'`', u'ü', u'ǜ'},
        {u'^', 'o', u'ô'}, {u'^', 'z', u'ẑ'}, {u'¨', 'u', u'ü'}, {u'¨', 'x', u'ẍ'}, {u'ˇ', 'z', u'ž'},  {u'ˇ', 'C', u'Č'},
        {u'˚', 'u', u'ů'}, {u'˚', 'A', u'Å'}, {u'˚', 'w', u'ẘ'}, {u'˛', 'e', u'ę'}, {u'˛', 'o', u'ǫ'},  {u'¸', 'c', u'ç'},
        {u'¸', 'S', u'Ş'}, {u'¸', 'd', u'ḑ'}, {u'~', 'n', u'ñ'}, {u'~', 'e', u'ẽ'}, {u'˝', 'o', u'ő'},  {u'˝', 'U', u'Ű'},
        {u'´', ' ', u'´'}, {u'˝', ' ', u'˝'},
    };
    for (int v = 0; v < kLayoutVariants; ++v) {
        const std::vector<KbdDeadEntry>& dead = s_layouts[1][v].deadKeys;
        for (const Case& c : cases) {
            auto it = std::find_if(dead.begin(), dead.end(),
                                   [&](const KbdDeadEntry& d) { return d.accent == c.accent && d.base == c.base; });
            ASSERT_NE(dead.end(), it) << "no entry for U+" << std::hex << c.accent << " + U+" << c.base;
            EXPECT_EQ(c.composed, it->composed);
        }
        std::set<uint32_t> pairs;
        for (const KbdDeadEntry& d : dead) {
            EXPECT_TRUE(pairs.insert((static_cast<uint32_t>(d.accent) << 16) | d.base).second) << "pair twice";
            EXPECT_NE(0x03B1, d.base) << "Greek letters are not Latin";
            EXPECT_NE(0x0438, d.base) << "Cyrillic letters are not Latin";
        }
        EXPECT_GT(dead.size(), 250u);
    }
}

TEST_F(LayoutDefinition, CapsLockShiftsLettersAndTheirAltGrLetters)
{
    struct Case {
        int scan;
        uint8_t attributes;
    } cases[] = {{0x1E, 0x05}, {0x26, 0x05}, {0x10, 0x05}, {0x30, 0x01}, {0x02, 0x00}, {0x1A, 0x00}, {0x2D, 0x05}};
    for (const Case& c : cases) {
        const KbdCharRecord* r = KeyAt(s_layouts[0][0], c.scan);
        ASSERT_NE(nullptr, r);
        EXPECT_EQ(c.attributes, r->attributes) << "scan " << c.scan;
    }
}

TEST_F(LayoutDefinition, RightAltIsAltGr)
{
    const KbdLayout& l = s_layouts[0][0];
    EXPECT_EQ(1u, l.localeFlags & 0xFFFF);
    EXPECT_EQ(1u, l.localeFlags >> 16);
    ASSERT_EQ(8u, l.modNumber.size());
    EXPECT_EQ(kColAltGr, l.modNumber[6]);        // Ctrl+Alt
    EXPECT_EQ(kColShiftAltGr, l.modNumber[7]);   // Shift+Ctrl+Alt
    EXPECT_EQ(0x0F, l.modNumber[4]);             // Alt alone types nothing
}

// The compiler's errors name the definition file and the line of the fault.
class LayoutDefinitionErrors : public ::testing::Test {
protected:
    std::string WriteVariant(const std::string& find, const std::string& replace, int& line)
    {
        std::string text = ReadText(KBD_TEST_DEFINITION);
        size_t at = text.find(find);
        EXPECT_NE(std::string::npos, at) << find;
        line = static_cast<int>(std::count(text.begin(), text.begin() + at, '\n')) + 1;
        text.replace(at, find.size(), replace);
        std::string path = ::testing::TempDir() + "bad-layout.kbd";
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
};

TEST_F(LayoutDefinitionErrors, NameFileAndLine)
{
    struct Case {
        const char* find;
        const char* replace;
        const char* message;
        bool atEditedLine;   // false: the fault shows only in the whole variant, named by its header
    } cases[] = {
        {"a         A      a       A       ą", "a         A      a       A       *breve", "unknown accent 'breve'", true},
        {"a         A      a       A       ą", "a         A      a       A       ąą", "expected one character", true},
        {"s         S      s       S", "a         S      s       S", "key 'a' is defined twice", true},
        {"d         D      d       D", "d         A      d       D", "already used by 'a'", true},
        {"0x1E  a s d f g h j k l ; '", "0x1E  a s d f f g h j k l ; '", "scan code of key ''' is already taken", true},
        {"U+00B8   U+0327", "U+00B8   U+D800", "cannot be typed", true},
        {"0x56  oem102", "0x56  oem103", "unknown key 'oem103'", true},
        {"0x46 0x0091", "0x46 0x0091 0x0092", "expected: scan code and virtual key", true},
        {"0x15  z\n0x2C  y", "0x15  z\n0x2D  y", "variant 1 places key 'z' twice", false},
        {"0x2C  ; q j k x b m w v z", "0x2C  ; q j k x b m w v", "variant 2 places key '/' twice", false},
    };
    for (const Case& c : cases) {
        int line = 0;
        std::string path = WriteVariant(c.find, c.replace, line);
        CDefinition def;
        EXPECT_FALSE(def.Load(path)) << c.message;
        const std::string& e = def.Error();
        EXPECT_NE(std::string::npos, e.find(c.message)) << e;
        if (c.atEditedLine)
            EXPECT_EQ(0u, e.find(path + ":" + std::to_string(line) + ": ")) << e;
        else
            EXPECT_EQ(0u, e.find(path + ":")) << e;
    }
}

int RunTool(const std::string& args)
{
    int status = std::system((std::string(KBD_TEST_KBDLAYOUT) + " " + args + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(LayoutCompilerTool, ExitCodesSayWhatWentWrong)
{
    std::string out = ::testing::TempDir();
    std::string bad = out + "broken.kbd";
    std::ofstream(bad) << "[keys]\na A a A\n";
    EXPECT_EQ(2, RunTool(""));
    EXPECT_EQ(2, RunTool("generate " KBD_TEST_DEFINITION));
    EXPECT_EQ(3, RunTool("generate " + out + "missing.kbd " KBD_TEST_UNICODE_DATA " " + out));
    EXPECT_EQ(1, RunTool("generate " + bad + " " KBD_TEST_UNICODE_DATA " " + out));
    EXPECT_EQ(3, RunTool("generate " KBD_TEST_DEFINITION " " KBD_TEST_UNICODE_DATA " " + out + "no/such/dir"));
    EXPECT_EQ(0, RunTool("generate " KBD_TEST_DEFINITION " " KBD_TEST_UNICODE_DATA " " + out));
    EXPECT_EQ(ReadText(ExpectedPath(1, 2, ".expected")), ReadText(out + "/s1r2.expected"));
    std::ofstream(out + "s0r0c00.dll") << "not a library";
    EXPECT_EQ(1, RunTool("patterns " + out + "p.txt " + out + "s0r0c00.dll"));
    EXPECT_EQ(2, RunTool("patterns " + out + "p.txt " + bad));   // not named as a catalogue cell
}

} // namespace
