// The IA64 layout libraries that the layout compiler writes itself: the instruction encodings,
// the PE32+ structure (alignment, sizes, checksum, versions), relocations for every absolute
// address, the tables compared with the x86_64 library of the same set and row, and the
// display-name resource compared with the one the resource compiler made for x86_64.
#include "Ia64Image.h"
#include "KbdWalker.h"
#include "LayoutTestFiles.h"
#include "Patterns.h"
#include "PeImage.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>

namespace {

struct Ia64Slot {
    int slot;
    int x86_64Slot;   // the x86_64 library of the same Windows version
    uint16_t major, minor;
};

const Ia64Slot kIa64Slots[] = {{3, 4, 5, 2}, {6, 7, 6, 0}, {9, 10, 6, 1}};

uint16_t U16(const std::vector<uint8_t>& b, size_t o)
{
    return static_cast<uint16_t>(b.at(o) | (b.at(o + 1) << 8));
}

uint32_t U32(const std::vector<uint8_t>& b, size_t o)
{
    return U16(b, o) | (static_cast<uint32_t>(U16(b, o + 2)) << 16);
}

// The PE checksum written out from its definition: 16-bit one's-complement-style sum with the
// carries folded, the field itself left out, plus the file length.
uint32_t ReferenceChecksum(const std::vector<uint8_t>& file, size_t field)
{
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < file.size(); i += 2) {
        if (i == field || i == field + 2)
            continue;
        sum += U16(file, i);
        if (sum > 0xFFFF)
            sum = (sum & 0xFFFF) + 1;
    }
    return sum + static_cast<uint32_t>(file.size());
}

uint64_t ReadU64(const CPeImage& pe, uint64_t address)
{
    uint8_t b[8] = {};
    EXPECT_TRUE(pe.Read(address, b, 8));
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | b[i];
    return v;
}

uint32_t ReadU32(const CPeImage& pe, uint64_t address)
{
    uint8_t b[4] = {};
    EXPECT_TRUE(pe.Read(address, b, 4));
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

// The text of string `id` from a mapped image's resource directory (type 6, block id / 16 + 1,
// first language), or "<missing>".
std::u16string StringResource(const CPeImage& pe, int id)
{
    const uint64_t base = pe.Base();
    const uint32_t pe32 = ReadU32(pe, base + 0x3C);
    const bool plus = (ReadU32(pe, base + pe32 + 24) & 0xFFFF) == 0x20B;
    const uint32_t rsrc = ReadU32(pe, base + pe32 + 24 + (plus ? 112 : 96) + 2 * 8);
    if (rsrc == 0)
        return u"<missing>";
    auto find = [&](uint32_t dir, uint32_t wanted, bool any, uint32_t& target) {
        uint32_t counts = ReadU32(pe, base + rsrc + dir + 12);
        uint32_t n = (counts & 0xFFFF) + (counts >> 16);
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t name = ReadU32(pe, base + rsrc + dir + 16 + 8 * i);
            if (any || name == wanted) {
                target = ReadU32(pe, base + rsrc + dir + 16 + 8 * i + 4);
                return true;
            }
        }
        return false;
    };
    uint32_t names, langs, entry;
    if (!find(0, 6, false, names) || !(names & 0x80000000u) ||
        !find(names & 0x7FFFFFFF, static_cast<uint32_t>(id / 16 + 1), false, langs) || !(langs & 0x80000000u) ||
        !find(langs & 0x7FFFFFFF, 0, true, entry) || (entry & 0x80000000u))
        return u"<missing>";
    uint64_t at = base + ReadU32(pe, base + rsrc + entry);
    for (int i = 0; i < id % 16; ++i)
        at += 2 + 2 * static_cast<uint64_t>(ReadU32(pe, at) & 0xFFFF);
    std::u16string text;
    for (uint32_t i = 0, n = ReadU32(pe, at) & 0xFFFF; i < n; ++i)
        text += static_cast<char16_t>(ReadU32(pe, at + 2 + 2 * i) & 0xFFFF);
    return text;
}

std::u16string Utf16(const std::string& utf8)
{
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        int n = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
        uint32_t cp = n == 0 ? c : c & (0x3F >> n);
        for (int k = 1; k <= n; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8.at(i + k)) & 0x3F);
        i += 1 + n;
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

template <typename Fn>
void ForEachIa64Library(Fn fn)
{
    for (int set = 0; set < 2; ++set)
        for (int variant = 0; variant < 3; ++variant)
            for (const Ia64Slot& slot : kIa64Slots) {
                const std::string name = CellName(set, variant, slot.slot);
                SCOPED_TRACE(name);
                std::vector<uint8_t> bytes = ReadBytes(LayoutPath(name));
                ASSERT_FALSE(bytes.empty());
                fn(set, variant, slot, bytes);
            }
}

TEST(Ia64Encoding, InstructionsHaveTheirArchitecturalBitFields)
{
    // nop.m / nop.i 0: major opcode 0, x3 0 and the 4- or 6-bit extension 1 at bit 27.
    EXPECT_EQ(0x0008000000ull, CIa64Image::NopM());
    EXPECT_EQ(0x0008000000ull, CIa64Image::NopI());
    // br.ret.sptk.many b0: opcode 0, x6 0x21, p 1, btype 4.
    EXPECT_EQ(0x0108001100ull, CIa64Image::BrRetSptkMany(0));
    // addl r8 = 0x1640, r1: opcode 9, imm7b 0x40, imm9d 0x2C, r3 1, r1 8.
    EXPECT_EQ((9ull << 37) | (0x2Cull << 27) | (1ull << 20) | (0x40ull << 13) | (8ull << 6), CIa64Image::Addl(8, 0x1640, 1));
    // The sign bit and imm5c of a negative immediate.
    EXPECT_EQ((9ull << 37) | (1ull << 36) | (0x1FFull << 27) | (0x1Full << 22) | (0x7Full << 13), CIa64Image::Addl(0, -1, 0));
}

TEST(Ia64Encoding, BundlesPackTemplateAndSlotsLittleEndian)
{
    Ia64Bundle b;
    b.templ = CIa64Image::kTemplateMibStop;
    b.slot[0] = CIa64Image::NopM();
    b.slot[1] = CIa64Image::Addl(8, 5696, 1);
    b.slot[2] = CIa64Image::BrRetSptkMany(0);
    uint8_t bytes[16];
    CIa64Image::PackBundle(b, bytes);
    // The bundle as the IA-64 manual lays it out, checked against binutils' disassembly too.
    const uint8_t expected[16] = {0x11, 0x00, 0x00, 0x00, 0x01, 0x00, 0x80, 0x00, 0x06, 0x58, 0x48, 0x80, 0x08, 0x00, 0x84, 0x00};
    EXPECT_EQ(0, std::memcmp(expected, bytes, 16));

    // Every bit of each slot lands in its own place and comes back.
    for (int s = 0; s < 3; ++s)
        for (int bit = 0; bit < 41; ++bit) {
            Ia64Bundle one;
            one.templ = 0x1F;
            one.slot[s] = 1ull << bit;
            CIa64Image::PackBundle(one, bytes);
            const int at = 5 + 41 * s + bit;
            int set = 0;
            for (int i = 0; i < 128; ++i)
                set += (bytes[i / 8] >> (i % 8)) & 1;
            EXPECT_EQ(6, set);
            EXPECT_TRUE((bytes[at / 8] >> (at % 8)) & 1) << "slot " << s << " bit " << bit;
            Ia64Bundle back = CIa64Image::UnpackBundle(bytes);
            EXPECT_EQ(0x1F, back.templ);
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(k == s ? 1ull << bit : 0ull, back.slot[k]);
        }
}

TEST(Ia64Encoding, OnlyTheExactFunctionGivesATableOffset)
{
    Ia64Bundle good;
    good.templ = CIa64Image::kTemplateMibStop;
    good.slot[0] = CIa64Image::NopM();
    good.slot[1] = CIa64Image::Addl(8, -12345, 1);
    good.slot[2] = CIa64Image::BrRetSptkMany(0);
    int64_t offset = 0;
    ASSERT_TRUE(CIa64Image::ReadTopTableOffset(good, offset));
    EXPECT_EQ(-12345, offset);
    good.slot[1] = CIa64Image::Addl(8, 0x1FFFFF, 1);
    ASSERT_TRUE(CIa64Image::ReadTopTableOffset(good, offset));
    EXPECT_EQ(0x1FFFFF, offset);

    struct Change {
        const char* what;
        int slot;
        uint64_t value;
        uint8_t templ;
    } changes[] = {
        {"no stop at the end", -1, 0, 0x10},
        {"MLX template", -1, 0, 0x05},
        {"result in r9", 1, CIa64Image::Addl(9, 16, 1), 0x11},
        {"base r2 instead of gp", 1, CIa64Image::Addl(8, 16, 2), 0x11},
        {"predicated addl", 1, CIa64Image::Addl(8, 16, 1) | 5, 0x11},
        {"return through b1", 2, CIa64Image::BrRetSptkMany(1), 0x11},
        {"dptk hint", 2, CIa64Image::BrRetSptkMany(0) | (2ull << 33), 0x11},
        {"nop.m with an immediate", 0, CIa64Image::NopM() | (1ull << 6), 0x11},
    };
    for (const Change& c : changes) {
        Ia64Bundle b = good;
        b.templ = c.templ;
        if (c.slot >= 0)
            b.slot[c.slot] = c.value;
        EXPECT_FALSE(CIa64Image::ReadTopTableOffset(b, offset)) << c.what;
    }
}

TEST(Ia64Libraries, HeadersSectionsAndChecksum)
{
    ForEachIa64Library([](int, int, const Ia64Slot& slot, const std::vector<uint8_t>& f) {
        CPeImage pe;
        ASSERT_TRUE(pe.Load(f)) << pe.Error();
        EXPECT_EQ(0x200, pe.Machine());
        EXPECT_EQ(8, pe.PointerSize());
        EXPECT_EQ(slot.major, pe.OsMajor());
        EXPECT_EQ(slot.minor, pe.OsMinor());
        EXPECT_EQ(slot.major, pe.SubsystemMajor());
        EXPECT_EQ(slot.minor, pe.SubsystemMinor());
        EXPECT_EQ(0u, pe.EntryPoint());
        EXPECT_EQ(0, pe.ImportedLibraryCount());
        EXPECT_NE(0u, pe.FindExport("KbdLayerDescriptor"));

        const uint32_t pe32 = U32(f, 0x3C), opt = pe32 + 24;
        EXPECT_EQ(0x2000u, U16(f, pe32 + 22) & 0x2000u) << "DLL";
        EXPECT_EQ(0x20Bu, U16(f, opt));
        EXPECT_EQ(0x140u, U16(f, opt + 70)) << "dynamic base and NX, like the other libraries";
        const uint32_t sectionAlignment = U32(f, opt + 32), fileAlignment = U32(f, opt + 36);
        EXPECT_EQ(0x2000u, sectionAlignment) << "the IA64 page";
        EXPECT_EQ(0x200u, fileAlignment);
        const uint32_t imageSize = U32(f, opt + 56), headersSize = U32(f, opt + 60);
        EXPECT_EQ(0u, headersSize % fileAlignment);
        EXPECT_EQ(0u, imageSize % sectionAlignment);
        EXPECT_EQ(0u, f.size() % fileAlignment);
        EXPECT_EQ(ReferenceChecksum(f, opt + 64), U32(f, opt + 64));
        uint32_t code = 0, data = 0, end = 0, previousEnd = headersSize;
        for (const PeSection& s : pe.Sections()) {
            SCOPED_TRACE(s.name);
            EXPECT_EQ(0u, s.rva % sectionAlignment);
            EXPECT_EQ(0u, s.rawOffset % fileAlignment);
            EXPECT_EQ(0u, s.rawSize % fileAlignment);
            EXPECT_GE(s.rawSize, s.virtualSize);
            EXPECT_GE(s.rva, previousEnd);
            EXPECT_GE(s.rawOffset, headersSize);
            previousEnd = s.rva + s.virtualSize;
            (s.name == ".text" ? code : data) += s.rawSize;
            end = std::max(end, s.rawOffset + s.rawSize);
        }
        EXPECT_EQ(f.size(), end);
        EXPECT_EQ((previousEnd + sectionAlignment - 1) / sectionAlignment * sectionAlignment, imageSize);
        EXPECT_EQ(code, U32(f, opt + 4));
        EXPECT_EQ(data, U32(f, opt + 8));
    });
}

TEST(Ia64Libraries, ExportIsAFunctionDescriptorWhoseBundleReturnsTheTopTable)
{
    ForEachIa64Library([](int, int, const Ia64Slot&, const std::vector<uint8_t>& f) {
        CPeImage pe;
        ASSERT_TRUE(pe.Load(f));
        const uint64_t base = pe.ImageBase() + 0x123450000ull;
        ASSERT_TRUE(pe.Map(base)) << pe.Error();
        const uint32_t descriptor = pe.FindExport("KbdLayerDescriptor");
        const uint64_t entry = ReadU64(pe, base + descriptor), gp = ReadU64(pe, base + descriptor + 8);
        const PeSection* text = nullptr;
        const PeSection* holder = nullptr;
        for (const PeSection& s : pe.Sections()) {
            if (s.name == ".text")
                text = &s;
            if (descriptor >= s.rva && descriptor + 16 <= s.rva + s.virtualSize)
                holder = &s;
        }
        ASSERT_NE(nullptr, text);
        ASSERT_NE(nullptr, holder);
        EXPECT_EQ(".data", holder->name) << "the descriptor is data, not code";
        EXPECT_EQ(0u, descriptor % 8);
        EXPECT_EQ(base + text->rva, entry) << "entry relocated to the foreign base";
        EXPECT_EQ(0u, entry % 16) << "bundles are 16-byte aligned";
        EXPECT_EQ(16u, text->virtualSize) << "one bundle";
        // gp is where the global-pointer directory says, relocated.
        const uint32_t opt = U32(f, 0x3C) + 24;
        EXPECT_EQ(base + U32(f, opt + 112 + 8 * 8), gp);

        uint8_t code[16];
        ASSERT_TRUE(pe.Read(entry, code, 16));
        int64_t offset;
        ASSERT_TRUE(CIa64Image::ReadTopTableOffset(CIa64Image::UnpackBundle(code), offset));
        uint64_t top;
        std::string error;
        ASSERT_TRUE(CPatternFinder::FindTopTable(pe, top, error)) << error;
        EXPECT_EQ(gp + offset, top);
        EXPECT_EQ(0u, top % 8);
    });
}

TEST(Ia64Libraries, EveryAbsoluteAddressIsRelocated)
{
    ForEachIa64Library([](int, int, const Ia64Slot&, const std::vector<uint8_t>& f) {
        // Map at two bases: every 64-bit word that is an address of the image at one base must
        // be the same address at the other, and nothing else may change.
        CPeImage a, b;
        ASSERT_TRUE(a.Load(f));
        ASSERT_TRUE(b.Load(f));
        const uint64_t baseA = a.ImageBase() + 0x123450000ull, baseB = a.ImageBase() - 0x100000;
        ASSERT_TRUE(a.Map(baseA));
        ASSERT_TRUE(b.Map(baseB));
        uint32_t imageSize = 0;
        for (const PeSection& s : a.Sections())
            imageSize = std::max(imageSize, s.rva + s.virtualSize);
        int addresses = 0;
        for (uint32_t rva = 0; rva + 8 <= imageSize; rva += 8) {
            const uint64_t va = ReadU64(a, baseA + rva), vb = ReadU64(b, baseB + rva);
            if (va >= baseA && va < baseA + imageSize) {
                ++addresses;
                EXPECT_EQ(va - baseA + baseB, vb) << "word at RVA " << rva;
            } else {
                EXPECT_EQ(va, vb) << "word at RVA " << rva;
            }
        }
        EXPECT_EQ(static_cast<int>(a.RelocationCount()), addresses);
        EXPECT_GT(addresses, 20);
    });
}

TEST(Ia64Libraries, TablesAndNameAreThoseOfTheX86_64LibraryOfTheSameRow)
{
    ForEachIa64Library([](int set, int variant, const Ia64Slot& slot, const std::vector<uint8_t>& f) {
        std::vector<uint8_t> other = ReadBytes(LayoutPath(CellName(set, variant, slot.x86_64Slot)));
        ASSERT_FALSE(other.empty());
        CPeImage ia64, x64;
        ASSERT_TRUE(ia64.Load(f));
        ASSERT_TRUE(x64.Load(other));
        ASSERT_EQ(0x8664, x64.Machine());
        ASSERT_TRUE(ia64.Map(ia64.ImageBase() + 0x123450000ull));
        ASSERT_TRUE(x64.Map(x64.ImageBase() + 0x123450000ull));
        uint64_t topIa64, topX64;
        std::string error;
        ASSERT_TRUE(CPatternFinder::FindTopTable(ia64, topIa64, error)) << error;
        ASSERT_TRUE(CPatternFinder::FindTopTable(x64, topX64, error)) << error;
        KbdLayout a, b;
        CKbdWalker walkIa64(ia64, 8), walkX64(x64, 8);
        ASSERT_TRUE(walkIa64.Walk(topIa64, a)) << walkIa64.Error();
        ASSERT_TRUE(walkX64.Walk(topX64, b)) << walkX64.Error();
        EXPECT_EQ(DumpKbdLayout(b), DumpKbdLayout(a));
        EXPECT_EQ(ReadText(ExpectedPath(set, variant, ".expected")), DumpKbdLayout(a));
        // The top table's 104 bytes hold the same values apart from the pointers.
        for (uint32_t at : {56u, 80u, 84u, 85u, 96u, 100u})
            EXPECT_EQ(ReadU32(x64, topX64 + at) & (at == 84 || at == 85 ? 0xFF : 0xFFFFFFFF),
                      ReadU32(ia64, topIa64 + at) & (at == 84 || at == 85 ? 0xFF : 0xFFFFFFFF))
                << "top-table offset " << at;

        std::string name = ReadText(ExpectedPath(set, variant, ".name"));
        while (!name.empty() && name.back() == '\n')
            name.pop_back();
        ASSERT_FALSE(name.empty());
        EXPECT_TRUE(StringResource(ia64, 1000) == Utf16(name));
        EXPECT_TRUE(StringResource(ia64, 1000) == StringResource(x64, 1000));
        EXPECT_TRUE(StringResource(ia64, 1001).empty()) << "only string 1000 has text";
    });
}

TEST(Ia64Libraries, ExportDirectoryNamesTheLibrary)
{
    ForEachIa64Library([](int set, int variant, const Ia64Slot& slot, const std::vector<uint8_t>& f) {
        CPeImage pe;
        ASSERT_TRUE(pe.Load(f));
        ASSERT_TRUE(pe.Map(pe.ImageBase()));
        const uint32_t opt = U32(f, 0x3C) + 24;
        const uint32_t dir = U32(f, opt + 112), size = U32(f, opt + 116);
        ASSERT_NE(0u, dir);
        EXPECT_EQ(1u, ReadU32(pe, pe.Base() + dir + 16)) << "ordinal base";
        EXPECT_EQ(1u, ReadU32(pe, pe.Base() + dir + 20)) << "one function";
        std::string dll;
        for (uint64_t at = pe.Base() + ReadU32(pe, pe.Base() + dir + 12);; ++at) {
            char c;
            ASSERT_TRUE(pe.Read(at, &c, 1));
            if (c == 0)
                break;
            dll += c;
        }
        EXPECT_EQ(CellName(set, variant, slot.slot), dll);
        // The function's RVA is outside the directory, so it is not read as a forwarder.
        const uint32_t function = pe.FindExport("KbdLayerDescriptor");
        EXPECT_TRUE(function < dir || function >= dir + size);
    });
}

TEST(Ia64Libraries, SameDefinitionGivesTheSameBytes)
{
    // Libraries of the same set and row differ only in the version fields, the name and the
    // checksum: no time stamp or other accident of the build.
    for (int set = 0; set < 2; ++set)
        for (int variant = 0; variant < 3; ++variant) {
            std::vector<uint8_t> a = ReadBytes(LayoutPath(CellName(set, variant, 3)));
            std::vector<uint8_t> b = ReadBytes(LayoutPath(CellName(set, variant, 9)));
            ASSERT_EQ(a.size(), b.size());
            const uint32_t opt = U32(a, 0x3C) + 24;
            std::set<size_t> allowed = {opt + 40, opt + 42, opt + 48, opt + 50, opt + 64, opt + 65, opt + 66, opt + 67};
            std::set<size_t> differing;
            for (size_t i = 0; i < a.size(); ++i)
                if (a[i] != b[i] && !allowed.count(i))
                    differing.insert(i);
            // The file name inside the export directory ("c03" / "c09") is the only other change.
            EXPECT_EQ(1u, differing.size());
            EXPECT_EQ(0u, U32(a, U32(a, 0x3C) + 8)) << "time stamp";
        }
}

int RunTool(const std::string& args)
{
    int status = std::system((std::string(KBD_TEST_KBDLAYOUT) + " " + args + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Ia64LayoutCompilerTool, WritesTheCellAndSaysWhatWentWrong)
{
    const std::string out = ::testing::TempDir();
    const std::string inputs = KBD_TEST_DEFINITION " " KBD_TEST_UNICODE_DATA " ";
    const std::string bad = out + "broken-ia64.kbd";
    std::ofstream(bad) << "[keys]\na A a A\n";
    EXPECT_EQ(2, RunTool("ia64 " + inputs + "0 0 5.2"));
    EXPECT_EQ(2, RunTool("ia64 " + inputs + "2 0 5.2 " + out + "x.dll")) << "no set 2";
    EXPECT_EQ(2, RunTool("ia64 " + inputs + "0 3 5.2 " + out + "x.dll")) << "no variant 3";
    EXPECT_EQ(2, RunTool("ia64 " + inputs + "0 0 5 " + out + "x.dll")) << "version without minor";
    EXPECT_EQ(3, RunTool("ia64 " + out + "missing.kbd " KBD_TEST_UNICODE_DATA " 0 0 5.2 " + out + "x.dll"));
    EXPECT_EQ(1, RunTool("ia64 " + bad + " " KBD_TEST_UNICODE_DATA " 0 0 5.2 " + out + "x.dll"));
    EXPECT_EQ(3, RunTool("ia64 " + inputs + "0 0 5.2 " + out + "no/such/dir/s1r2c06.dll"));
    // The same arguments as the build's give the same bytes as the build's file.
    ASSERT_EQ(0, RunTool("ia64 " + inputs + "1 2 6.0 " + out + "s1r2c06.dll"));
    EXPECT_TRUE(ReadBytes(out + "s1r2c06.dll") == ReadBytes(LayoutPath("s1r2c06.dll")));
}

} // namespace
