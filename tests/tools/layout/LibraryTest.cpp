// The 78 built layout libraries, read from their files: headers fit their catalogue slot,
// the tables (mapped at a foreign base, relocations applied) are the definition's, and the
// patterns 146-151 let an installation patch exactly the intended bytes.
#include "KbdWalker.h"
#include "LayoutTestFiles.h"
#include "Patterns.h"
#include "PeImage.h"
#include "core/KeyTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

namespace {

struct Slot {
    int slot;
    uint16_t machine;
    uint16_t major, minor;
};

const Slot kSlots[] = {{0, 0x14C, 5, 0},  {1, 0x14C, 5, 1},   {2, 0x14C, 5, 2},  {3, 0x200, 5, 2},  {4, 0x8664, 5, 2},
                       {5, 0x14C, 6, 0},  {6, 0x200, 6, 0},   {7, 0x8664, 6, 0}, {8, 0x14C, 6, 1},  {9, 0x200, 6, 1},
                       {10, 0x8664, 6, 1}, {11, 0x14C, 6, 2}, {12, 0x8664, 6, 2}};

struct Library {
    int set, variant;
    Slot slot;
    std::string name;
    std::vector<uint8_t> bytes;
};

void ForEachLibrary(const std::function<void(const Library&)>& fn)
{
    for (int set = 0; set < 2; ++set)
        for (int variant = 0; variant < 3; ++variant)
            for (const Slot& slot : kSlots) {
                Library lib{set, variant, slot, CellName(set, variant, slot.slot), {}};
                lib.bytes = ReadBytes(LayoutPath(lib.name));
                SCOPED_TRACE(lib.name);
                ASSERT_FALSE(lib.bytes.empty());
                fn(lib);
            }
}

// Maps a library away from its preferred base, so that a missing relocation shows.
bool MapAndWalk(const std::vector<uint8_t>& bytes, CPeImage& pe, KbdLayout& layout, KbdTableAddresses& where, std::string& error)
{
    if (!pe.Load(bytes)) {
        error = pe.Error();
        return false;
    }
    uint64_t base = pe.PointerSize() == 4 ? (pe.ImageBase() == 0x20000000 ? 0x30000000 : 0x20000000)
                                          : pe.ImageBase() + 0x123450000ull;
    uint64_t top;
    if (!pe.Map(base) || !CPatternFinder::FindTopTable(pe, top, error)) {
        error += pe.Error();
        return false;
    }
    CKbdWalker walker(pe, pe.PointerSize());
    if (!walker.Walk(top, layout, &where)) {
        error = walker.Error();
        return false;
    }
    return true;
}

std::map<int, std::string> LoadPatterns()
{
    std::map<int, std::string> patterns;
    EXPECT_TRUE(CPatternFinder::Parse(ReadText(LayoutPath("patterns.txt")), patterns));
    return patterns;
}

// The patch an installation applies, step by step as the installer does it: first match of
// each pattern over the image patched so far; any missing pattern leaves the image untouched.
bool PatchLibrary(std::vector<uint8_t>& image, const std::vector<KeyEntry>& keys, int variant, bool decimal,
                  const std::map<int, std::string>& patterns)
{
    std::vector<uint8_t> work = image;
    auto find = [&](int id, size_t& at) {
        auto it = patterns.find(id);
        if (it == patterns.end())
            return false;
        std::vector<uint8_t> p = CPatternFinder::FromHex(it->second);
        if (p.empty())
            return false;
        auto hit = std::search(work.begin(), work.end(), p.begin(), p.end());
        at = static_cast<size_t>(hit - work.begin());
        return hit != work.end();
    };
    auto put16 = [&](size_t at, uint16_t v) {
        work[at] = static_cast<uint8_t>(v);
        work[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    size_t at;
    if (!keys.empty()) {
        if (!find(kPatternScanId + variant, at))
            return false;
        for (const KeyEntry& k : keys)
            if (k.scanCode < 127 && k.virtualKey != 0)
                put16(at + 2 * k.scanCode, k.virtualKey);
        for (int prefix : {0xE0, 0xE1}) {
            if (!find(prefix == 0xE0 ? kPatternE0Id : kPatternE1Id, at))
                return false;
            for (const KeyEntry& k : keys) {
                if ((k.scanCode >> 8) != prefix || k.virtualKey == 0)
                    continue;
                for (size_t r = at; r + 4 <= work.size() && work[r] != 0; r += 4)
                    if (work[r] == (k.scanCode & 0xFF)) {
                        put16(r + 2, k.virtualKey);
                        break;
                    }
            }
        }
    }
    if (decimal) {
        if (!find(kPatternDecimalId, at))
            return false;
        work[at] = 44;
        work[at + 2] = 44;
    }
    image = work;
    return true;
}

TEST(LayoutLibraries, HeadersFitTheirSlot)
{
    ForEachLibrary([](const Library& lib) {
        CPeImage pe;
        ASSERT_TRUE(pe.Load(lib.bytes)) << pe.Error();
        EXPECT_EQ(lib.slot.machine, pe.Machine());
        EXPECT_EQ(lib.slot.machine == 0x14C ? 4 : 8, pe.PointerSize());
        EXPECT_EQ(lib.slot.major, pe.OsMajor());
        EXPECT_EQ(lib.slot.minor, pe.OsMinor());
        EXPECT_EQ(lib.slot.major, pe.SubsystemMajor());
        EXPECT_EQ(lib.slot.minor, pe.SubsystemMinor());
        EXPECT_EQ(0u, pe.EntryPoint());
        EXPECT_NE(0u, pe.FindExport("KbdLayerDescriptor"));
        EXPECT_EQ(0, pe.ImportedLibraryCount());
    });
}

TEST(LayoutLibraries, TablesMatchTheDefinitionWhereverTheImageIsLoaded)
{
    std::string expected[2][3];
    for (int s = 0; s < 2; ++s)
        for (int v = 0; v < 3; ++v)
            expected[s][v] = ReadText(ExpectedPath(s, v, ".expected"));
    ForEachLibrary([&](const Library& lib) {
        CPeImage pe;
        KbdLayout layout;
        KbdTableAddresses where;
        std::string error;
        ASSERT_TRUE(MapAndWalk(lib.bytes, pe, layout, where, error)) << error;
        EXPECT_GT(pe.RelocationCount(), 20u);
        ASSERT_FALSE(expected[lib.set][lib.variant].empty());
        EXPECT_EQ(expected[lib.set][lib.variant], DumpKbdLayout(layout));
    });
}

TEST(LayoutLibraries, EachPatternOccursOnceInEveryLibraryAndScanPatternsOnlyInTheirVariant)
{
    std::map<int, std::string> patterns = LoadPatterns();
    ASSERT_EQ(6u, patterns.size());
    for (const auto& p : patterns) {
        EXPECT_GE(p.first, 146);
        EXPECT_LE(p.first, 151);
        EXPECT_EQ(std::string::npos, p.second.find_first_not_of("0123456789ABCDEF")) << "upper-case hexadecimal";
        EXPECT_FALSE(CPatternFinder::FromHex(p.second).empty());
    }
    ForEachLibrary([&](const Library& lib) {
        for (int id : {kPatternDecimalId, kPatternE0Id, kPatternE1Id, kPatternScanId + lib.variant})
            EXPECT_EQ(1, CPatternFinder::CountOccurrences(lib.bytes, CPatternFinder::FromHex(patterns[id]))) << id;
        for (int v = 0; v < 3; ++v) {
            if (v != lib.variant) {
                EXPECT_EQ(0, CPatternFinder::CountOccurrences(lib.bytes, CPatternFinder::FromHex(patterns[kPatternScanId + v])));
            }
        }
    });
}

TEST(LayoutLibraries, KeyAssignmentsAndTheDecimalPatchChangeExactlyTheIntendedBytes)
{
    std::map<int, std::string> patterns = LoadPatterns();
    // The installer's key table: the default rows, unassigned, then the user's choices.
    std::vector<KeyEntry> keys(DefaultKeyTable, DefaultKeyTable + kKeyTableRows);
    for (KeyEntry& k : keys)
        k.virtualKey = 0;
    struct Assignment {
        uint16_t scan, vk;
        bool written;
    } assignments[] = {
        {0x001E, 0x0042, true},  {0x0010, 0x005A, true},  {0x007E, 0x00C1, true},  {0x0001, 0x0014, true},
        {0x0053, 0x0C6E, true},  {0xE01C, 0x010E, true},  {0xE05B, 0x015C, true},  {0xE06D, 0x01B4, true},
        {0xE11D, 0x0014, true},  {0x00FF, 0x0041, false}, {0x007F, 0x0041, false}, {0xE0F0, 0x0041, false},
        {0xE11E, 0x0041, false}, {0x0002, 0x0000, false},
    };
    for (const Assignment& a : assignments) {
        auto it = std::find_if(keys.begin(), keys.end(), [&](const KeyEntry& k) { return k.scanCode == a.scan; });
        if (it != keys.end())
            it->virtualKey = a.vk;
        else
            keys.push_back({a.scan, a.vk, 0, 0});
    }
    ForEachLibrary([&](const Library& lib) {
        PatternLibrary located;
        located.name = lib.name;
        located.bytes = lib.bytes;
        std::string error;
        ASSERT_TRUE(CPatternFinder::Locate(located, error)) << error;

        // The expected image, written at the offsets the walker found, not the patterns.
        std::vector<uint8_t> expected = lib.bytes;
        auto put16 = [&](int64_t at, uint16_t v) {
            expected[at] = static_cast<uint8_t>(v);
            expected[at + 1] = static_cast<uint8_t>(v >> 8);
        };
        CPeImage pe;
        KbdLayout model;
        KbdTableAddresses where;
        ASSERT_TRUE(MapAndWalk(lib.bytes, pe, model, where, error)) << error;
        for (const Assignment& a : assignments) {
            if (!a.written)
                continue;
            if (a.scan < 127) {
                put16(located.offset[kPatScan] + 2 * a.scan, a.vk);
                model.scanToVk[a.scan] = a.vk;
                continue;
            }
            bool e0 = (a.scan >> 8) == 0xE0;
            std::vector<KbdScanVk>& list = e0 ? model.e0 : model.e1;
            for (size_t i = 0; i < list.size(); ++i) {
                if (list[i].scan == (a.scan & 0xFF)) {
                    put16(located.offset[e0 ? kPatE0 : kPatE1] + 4 * static_cast<int64_t>(i) + 2, a.vk);
                    list[i].vk = a.vk;
                }
            }
        }
        expected[located.offset[kPatDecimal]] = ',';
        expected[located.offset[kPatDecimal] + 2] = ',';
        for (KbdCharRecord& r : model.charTables[1].records)
            if (r.vk == 0x6E)
                r.chars = {',', ','};

        std::vector<uint8_t> image = lib.bytes;
        ASSERT_TRUE(PatchLibrary(image, keys, lib.variant, true, patterns));
        EXPECT_FALSE(expected == lib.bytes);
        EXPECT_TRUE(image == expected) << "the patch changed other bytes than the intended ones";

        CPeImage patchedPe;
        KbdLayout patched;
        ASSERT_TRUE(MapAndWalk(image, patchedPe, patched, where, error)) << "patched tables no longer parse: " << error;
        EXPECT_EQ(DumpKbdLayout(model), DumpKbdLayout(patched));
    });
}

TEST(LayoutLibraries, AnUntouchedKeyTableStillNeedsThePatternsButChangesNothing)
{
    std::map<int, std::string> patterns = LoadPatterns();
    std::vector<KeyEntry> keys(DefaultKeyTable, DefaultKeyTable + kKeyTableRows);
    for (KeyEntry& k : keys)
        k.virtualKey = 0;
    ForEachLibrary([&](const Library& lib) {
        std::vector<uint8_t> image = lib.bytes;
        ASSERT_TRUE(PatchLibrary(image, keys, lib.variant, false, patterns));
        EXPECT_TRUE(image == lib.bytes);
        // The scan-code pattern of another variant is not found: a wrong row is refused whole.
        ASSERT_FALSE(PatchLibrary(image, keys, (lib.variant + 1) % 3, true, patterns));
        EXPECT_TRUE(image == lib.bytes);
    });
}

} // namespace
