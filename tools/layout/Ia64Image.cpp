#include "Ia64Image.h"

#include "SourceWriter.h"

#include <algorithm>

namespace {

const uint32_t kSectionAlignment = 0x2000;
const uint32_t kFileAlignment = 0x200;
const uint32_t kPeOffset = 0x80;
const uint32_t kOptionalHeaderSize = 240;   // PE32+ with 16 data directories
const uint16_t kRelocDir64 = 10;

uint32_t AlignUp(uint32_t v, uint32_t a)
{
    return (v + a - 1) / a * a;
}

// A growing little-endian byte buffer.
class CBytes {
public:
    std::vector<uint8_t> data;

    uint32_t Size() const { return static_cast<uint32_t>(data.size()); }
    void Align(uint32_t a)
    {
        data.resize(AlignUp(Size(), a), 0);
    }
    void U8(unsigned v) { data.push_back(static_cast<uint8_t>(v)); }
    void U16(unsigned v)
    {
        U8(v & 0xFF);
        U8((v >> 8) & 0xFF);
    }
    void U32(uint32_t v)
    {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    void U64(uint64_t v)
    {
        U32(static_cast<uint32_t>(v));
        U32(static_cast<uint32_t>(v >> 32));
    }
    void Zeros(uint32_t n) { data.insert(data.end(), n, 0); }
    void Text(const std::string& s)
    {
        data.insert(data.end(), s.begin(), s.end());
        U8(0);
    }
    void Put32(uint32_t at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            data[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
    void Put64(uint32_t at, uint64_t v)
    {
        for (int i = 0; i < 8; ++i)
            data[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
};

// The .data section: the tables with their 64-bit pointers. A pointer is written as the offset
// of its target within the section and listed, so that it can be turned into an address once
// the section's place in the image is known.
class CTableData {
public:
    CBytes bytes;
    std::vector<uint32_t> pointers;   // offsets of the pointer fields

    void Pointer(uint32_t targetOffset)
    {
        pointers.push_back(bytes.Size());
        bytes.U64(targetOffset);
    }
    void Null() { bytes.U64(0); }
    uint32_t WideString(const std::u16string& s)
    {
        bytes.Align(2);
        uint32_t at = bytes.Size();
        for (char16_t c : s)
            bytes.U16(c);
        bytes.U16(0);
        return at;
    }
    void Relocate(uint64_t sectionAddress)
    {
        for (uint32_t at : pointers) {
            uint64_t v = 0;
            for (int i = 7; i >= 0; --i)
                v = (v << 8) | bytes.data[at + i];
            bytes.Put64(at, v + sectionAddress);
        }
    }
};

// Lays the tables out with natural alignment, in the order of the C writer, so that the
// tables an installation patches come first: the character tables, the E1 list, the E0 list,
// the scan-code table.
// Answers the offset of the top table.
uint32_t LayOutTables(const KbdLayout& l, CTableData& d)
{
    CBytes& b = d.bytes;
    std::vector<uint32_t> charTables;
    for (const KbdCharTable& t : l.charTables) {
        b.Align(2);
        charTables.push_back(b.Size());
        for (const KbdCharRecord& r : t.records) {
            b.U8(r.vk);
            b.U8(r.attributes);
            for (int c = 0; c < t.columns; ++c)
                b.U16(c < static_cast<int>(r.chars.size()) ? r.chars[c] : 0);
        }
        b.Zeros(2 + 2 * t.columns);
    }
    auto scanList = [&](const std::vector<KbdScanVk>& list) {
        b.Align(2);
        uint32_t at = b.Size();
        for (const KbdScanVk& e : list) {
            b.U8(e.scan);
            b.U8(0);
            b.U16(e.vk);
        }
        b.Zeros(4);
        return at;
    };
    uint32_t e1 = scanList(l.e1);
    uint32_t e0 = scanList(l.e0);
    b.Align(2);
    uint32_t scanToVk = b.Size();
    for (uint16_t vk : l.scanToVk)
        b.U16(vk);

    uint32_t vkToBit = b.Size();
    for (const auto& bit : l.vkToBit) {
        b.U8(bit.first);
        b.U8(bit.second);
    }
    b.Zeros(2);
    b.Align(8);
    uint32_t modifiers = b.Size();
    d.Pointer(vkToBit);
    b.U16(l.maxModBits);
    const size_t modCount = std::max<size_t>(8, l.modNumber.size());
    for (size_t i = 0; i < modCount; ++i)
        b.U8(i < l.modNumber.size() ? l.modNumber[i] : 0);
    b.Align(8);

    uint32_t vkTables = b.Size();
    for (size_t t = 0; t < l.charTables.size(); ++t) {
        d.Pointer(charTables[t]);
        b.U8(l.charTables[t].columns);
        b.U8(2 + 2 * l.charTables[t].columns);
        b.Align(8);
    }
    b.Zeros(16);

    uint32_t dead = 0;
    if (!l.deadKeys.empty()) {
        b.Align(4);
        dead = b.Size();
        for (const KbdDeadEntry& e : l.deadKeys) {
            b.U32((static_cast<uint32_t>(e.accent) << 16) | e.base);
            b.U16(e.composed);
            b.U16(e.flags);
        }
        b.Zeros(8);
    }
    auto names = [&](const std::vector<KbdScanName>& list) {
        std::vector<uint32_t> texts;
        for (const KbdScanName& n : list)
            texts.push_back(d.WideString(n.name));
        b.Align(8);
        uint32_t at = b.Size();
        for (size_t i = 0; i < list.size(); ++i) {
            b.U8(list[i].scan);
            b.Align(8);
            d.Pointer(texts[i]);
        }
        b.Zeros(16);
        return at;
    };
    uint32_t keyNames = names(l.keyNames);
    uint32_t keyNamesExt = names(l.keyNamesExt);
    uint32_t deadNames = 0;
    if (!l.deadKeyNames.empty()) {
        std::vector<uint32_t> texts;
        for (const std::u16string& n : l.deadKeyNames)
            texts.push_back(d.WideString(n));
        b.Align(8);
        deadNames = b.Size();
        for (uint32_t t : texts)
            d.Pointer(t);
        d.Null();
    }

    // The top table: offsets 0-104 of the 64-bit column of KbdTables.h.
    b.Align(8);
    const uint32_t top = b.Size();
    d.Pointer(modifiers);
    d.Pointer(vkTables);
    dead ? d.Pointer(dead) : d.Null();
    d.Pointer(keyNames);
    d.Pointer(keyNamesExt);
    deadNames ? d.Pointer(deadNames) : d.Null();
    d.Pointer(scanToVk);
    b.U8(static_cast<unsigned>(l.scanToVk.size()));
    b.Align(8);
    d.Pointer(e0);
    d.Pointer(e1);
    b.U32(l.localeFlags);
    b.U8(l.ligatureColumns);
    b.U8(l.ligatureSize);
    b.Align(8);
    d.Null();   // no ligature table
    b.U32(l.type);
    b.U32(l.subtype);
    return top;
}

std::u16string Utf8ToUtf16(const std::string& s)
{
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
        uint32_t cp = extra == 0 ? c : extra == 1 ? c & 0x1F : extra == 2 ? c & 0x0F : c & 0x07;
        for (int k = 1; k <= extra && i + k < s.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        i += 1 + extra;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

// Resource directory: type 6 (string table) -> block 1000 / 16 + 1 -> language 0 -> the block
// of sixteen counted strings, of which only 1000 % 16 has text. Directory offsets count from
// the section's start; the data entry holds an RVA.
CBytes ResourceSection(const std::u16string& name, uint32_t rva)
{
    CBytes r;
    auto directory = [&](uint32_t id, uint32_t target, bool subdirectory) {
        r.U32(0);   // characteristics
        r.U32(0);   // time stamp
        r.U16(0);
        r.U16(0);   // version
        r.U16(0);   // named entries
        r.U16(1);   // id entries
        r.U32(id);
        r.U32(target | (subdirectory ? 0x80000000u : 0));
    };
    directory(6, 24, true);
    directory(kDisplayNameResourceId / 16 + 1, 48, true);
    directory(0, 72, false);
    CBytes block;
    for (int i = 0; i < 16; ++i) {
        const bool ours = i == kDisplayNameResourceId % 16;
        block.U16(ours ? static_cast<unsigned>(name.size()) : 0);
        if (ours)
            for (char16_t c : name)
                block.U16(c);
    }
    r.U32(rva + 88);
    r.U32(block.Size());
    r.U32(0);   // code page
    r.U32(0);
    r.data.insert(r.data.end(), block.data.begin(), block.data.end());
    return r;
}

// Base relocation blocks, one per 4 KB page, each padded to a multiple of 4 bytes.
CBytes RelocationSection(std::vector<uint32_t> rvas)
{
    std::sort(rvas.begin(), rvas.end());
    CBytes r;
    for (size_t i = 0; i < rvas.size();) {
        uint32_t page = rvas[i] & ~0xFFFu;
        size_t end = i;
        while (end < rvas.size() && (rvas[end] & ~0xFFFu) == page)
            ++end;
        uint32_t count = static_cast<uint32_t>(end - i);
        r.U32(page);
        r.U32(8 + 2 * (count + count % 2));
        for (; i < end; ++i)
            r.U16((kRelocDir64 << 12) | (rvas[i] & 0xFFF));
        if (count % 2)
            r.U16(0);   // padding entry (type 0)
    }
    return r;
}

struct Section {
    const char* name;
    uint32_t characteristics;
    CBytes bytes;
    uint32_t rva = 0;
    uint32_t fileOffset = 0;
};

} // namespace

uint64_t CIa64Image::NopM()
{
    return 1ull << 27;   // M48: opcode 0, x3 0, x4 1
}

uint64_t CIa64Image::NopI()
{
    return 1ull << 27;   // I18: opcode 0, x3 0, x6 1
}

uint64_t CIa64Image::Addl(int r1, int32_t imm22, int r3)
{
    // A5: opcode 9 | s(36) | imm9d(35-27) | imm5c(26-22) | r3(21-20) | imm7b(19-13) | r1(12-6) | qp
    const uint64_t imm = static_cast<uint32_t>(imm22) & 0x3FFFFF;
    return (9ull << 37) | (((imm >> 21) & 1) << 36) | (((imm >> 7) & 0x1FF) << 27) | (((imm >> 16) & 0x1F) << 22) |
           ((static_cast<uint64_t>(r3) & 3) << 20) | ((imm & 0x7F) << 13) | ((static_cast<uint64_t>(r1) & 0x7F) << 6);
}

uint64_t CIa64Image::BrRetSptkMany(int b2)
{
    // B4: opcode 0 | d 0 | wh 0 (sptk) | x6 0x21 (return) | b2(15-13) | p 1 (many) | btype 4
    return (0x21ull << 27) | ((static_cast<uint64_t>(b2) & 7) << 13) | (1ull << 12) | (4ull << 6);
}

void CIa64Image::PackBundle(const Ia64Bundle& bundle, uint8_t out[16])
{
    // Template in bits 0-4, the slots in bits 5-45, 46-86 and 87-127.
    const uint64_t mask = (1ull << 41) - 1;
    const uint64_t s0 = bundle.slot[0] & mask, s1 = bundle.slot[1] & mask, s2 = bundle.slot[2] & mask;
    const uint64_t lo = (bundle.templ & 0x1Fu) | (s0 << 5) | (s1 << 46);
    const uint64_t hi = (s1 >> 18) | (s2 << 23);
    for (int i = 0; i < 8; ++i) {
        out[i] = static_cast<uint8_t>(lo >> (8 * i));
        out[8 + i] = static_cast<uint8_t>(hi >> (8 * i));
    }
}

Ia64Bundle CIa64Image::UnpackBundle(const uint8_t in[16])
{
    uint64_t lo = 0, hi = 0;
    for (int i = 7; i >= 0; --i) {
        lo = (lo << 8) | in[i];
        hi = (hi << 8) | in[8 + i];
    }
    const uint64_t mask = (1ull << 41) - 1;
    Ia64Bundle b;
    b.templ = static_cast<uint8_t>(lo & 0x1F);
    b.slot[0] = (lo >> 5) & mask;
    b.slot[1] = ((lo >> 46) | (hi << 18)) & mask;
    b.slot[2] = (hi >> 23) & mask;
    return b;
}

bool CIa64Image::ReadTopTableOffset(const Ia64Bundle& b, int64_t& offset)
{
    if (b.templ != kTemplateMibStop || b.slot[0] != NopM() || b.slot[2] != BrRetSptkMany(0))
        return false;
    const uint64_t s = b.slot[1];
    int32_t imm = static_cast<int32_t>((((s >> 36) & 1) << 21) | (((s >> 22) & 0x1F) << 16) | (((s >> 27) & 0x1FF) << 7) |
                                       ((s >> 13) & 0x7F));
    if (imm & (1 << 21))
        imm -= 1 << 22;
    if (s != Addl(8, imm, 1))   // addl r8 = imm22, r1 and nothing else
        return false;
    offset = imm;
    return true;
}

uint32_t CIa64Image::Checksum(const std::vector<uint8_t>& file)
{
    // Sum of the file's 16-bit words with the carries folded back, the field itself counted
    // as 0, plus the file's length.
    uint32_t pe = 0;
    for (int i = 3; i >= 0 && file.size() >= 0x40; --i)
        pe = (pe << 8) | file[0x3C + i];
    const size_t at = pe + 24 + 64;
    uint64_t sum = 0;
    for (size_t i = 0; i < file.size(); i += 2) {
        if (i >= at && i < at + 4)
            continue;
        uint32_t word = file[i] | (i + 1 < file.size() ? file[i + 1] << 8 : 0);
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + file.size());
}

std::vector<uint8_t> CIa64Image::Build(const KbdLayout& layout, const Ia64LibraryInfo& info)
{
    enum { kText, kRdata, kData, kRsrc, kReloc, kSectionCount };
    Section sections[kSectionCount] = {
        {".text", 0x60000020u, {}},    // code, execute, read
        {".rdata", 0x40000040u, {}},   // initialised data, read
        {".data", 0xC0000040u, {}},    // initialised data, read, write
        {".rsrc", 0x40000040u, {}},
        {".reloc", 0x42000040u, {}},   // initialised data, discardable, read
    };
    const uint32_t headersSize = AlignUp(kPeOffset + 24 + kOptionalHeaderSize + 40 * kSectionCount, kFileAlignment);
    // Each section starts on the page after the previous one; a section's own size does not
    // matter for its place, so each is placed before its contents are final.
    auto place = [&](int i) {
        sections[i].rva = i == 0 ? kSectionAlignment
                                 : AlignUp(sections[i - 1].rva + std::max<uint32_t>(sections[i - 1].bytes.Size(), 1),
                                           kSectionAlignment);
    };

    // .text: the one bundle. Its contents depend on .data's place; the sizes do not.
    sections[kText].bytes.Zeros(16);
    place(kText);

    // .rdata: the export directory; the descriptor's RVA is filled in below.
    const std::string exportName = "KbdLayerDescriptor";
    CBytes& e = sections[kRdata].bytes;
    e.Zeros(40 + 4 + 4 + 2);
    const uint32_t dllNameAt = e.Size();
    e.Text(info.fileName);
    const uint32_t exportNameAt = e.Size();
    e.Text(exportName);
    place(kRdata);

    // .data: the tables, then the descriptor.
    CTableData tables;
    const uint32_t top = LayOutTables(layout, tables);
    tables.bytes.Align(8);
    const uint32_t descriptorAt = tables.bytes.Size();
    tables.Pointer(0);   // entry: patched to .text below (not a .data offset)
    tables.Pointer(0);   // gp = the start of .data
    place(kData);
    const uint32_t dataRva = sections[kData].rva;
    const uint32_t textRva = sections[kText].rva;
    const uint32_t gpRva = dataRva;
    tables.Relocate(kImageBase + dataRva);
    tables.bytes.Put64(descriptorAt, kImageBase + textRva);
    sections[kData].bytes = tables.bytes;

    Ia64Bundle bundle;
    bundle.templ = kTemplateMibStop;
    bundle.slot[0] = NopM();
    bundle.slot[1] = Addl(8, static_cast<int32_t>(dataRva + top - gpRva), 1);
    bundle.slot[2] = BrRetSptkMany(0);
    PackBundle(bundle, sections[kText].bytes.data.data());

    const uint32_t rdataRva = sections[kRdata].rva;
    e.Put32(12, rdataRva + dllNameAt);   // name
    e.Put32(16, 1);                      // ordinal base
    e.Put32(20, 1);                      // functions
    e.Put32(24, 1);                      // names
    e.Put32(28, rdataRva + 40);          // function table
    e.Put32(32, rdataRva + 44);          // name table
    e.Put32(36, rdataRva + 48);          // ordinal table
    e.Put32(40, dataRva + descriptorAt);
    e.Put32(44, rdataRva + exportNameAt);

    place(kRsrc);
    sections[kRsrc].bytes = ResourceSection(Utf8ToUtf16(info.displayName), sections[kRsrc].rva);

    std::vector<uint32_t> relocations;
    for (uint32_t at : tables.pointers)
        relocations.push_back(dataRva + at);
    place(kReloc);
    sections[kReloc].bytes = RelocationSection(relocations);

    uint32_t fileOffset = headersSize;
    for (Section& s : sections) {
        s.fileOffset = fileOffset;
        fileOffset += AlignUp(s.bytes.Size(), kFileAlignment);
    }
    const Section& last = sections[kSectionCount - 1];
    const uint32_t imageSize = AlignUp(last.rva + last.bytes.Size(), kSectionAlignment);

    CBytes f;
    // MZ header with the customary stub that says the program needs Windows.
    f.U16(0x5A4D);
    const uint16_t mz[] = {0x90, 3, 0, 4, 0, 0xFFFF, 0, 0xB8, 0, 0, 0, 0, 0x40};
    for (uint16_t v : mz)
        f.U16(v);
    f.Zeros(0x3C - f.Size());
    f.U32(kPeOffset);
    const uint8_t stub[] = {0x0E, 0x1F, 0xBA, 0x0E, 0x00, 0xB4, 0x09, 0xCD, 0x21, 0xB8, 0x01, 0x4C, 0xCD, 0x21};
    f.data.insert(f.data.end(), stub, stub + sizeof(stub));
    f.data.insert(f.data.end(), {'T', 'h', 'i', 's', ' ', 'p', 'r', 'o', 'g', 'r', 'a', 'm', ' ', 'c', 'a', 'n', 'n', 'o',
                                 't', ' ', 'b', 'e', ' ', 'r', 'u', 'n', ' ', 'i', 'n', ' ', 'D', 'O', 'S', ' ', 'm', 'o',
                                 'd', 'e', '.', '\r', '\r', '\n', '$'});
    f.Zeros(kPeOffset - f.Size());

    f.U32(0x00004550);   // "PE\0\0"
    f.U16(kMachineIa64);
    f.U16(kSectionCount);
    f.U32(0);   // no time stamp: the same definition gives the same bytes
    f.U32(0);
    f.U32(0);   // no symbols
    f.U16(kOptionalHeaderSize);
    f.U16(0x2022);   // executable image, large-address aware, DLL

    uint32_t initialised = 0;
    for (int i = kRdata; i < kSectionCount; ++i)
        initialised += AlignUp(sections[i].bytes.Size(), kFileAlignment);
    f.U16(0x20B);   // PE32+
    f.U8(0);
    f.U8(0);   // linker version
    f.U32(AlignUp(sections[kText].bytes.Size(), kFileAlignment));
    f.U32(initialised);
    f.U32(0);
    f.U32(0);   // no entry point: the system only reads the tables and calls the export
    f.U32(textRva);
    f.U64(kImageBase);
    f.U32(kSectionAlignment);
    f.U32(kFileAlignment);
    f.U16(info.osMajor);
    f.U16(info.osMinor);
    f.U16(0);
    f.U16(0);   // image version
    f.U16(info.osMajor);
    f.U16(info.osMinor);
    f.U32(0);
    f.U32(imageSize);
    f.U32(headersSize);
    f.U32(0);   // checksum, written last
    f.U16(2);   // Windows GUI subsystem
    f.U16(0x140);   // movable (the relocations are complete), data not executable
    f.U64(0x100000);
    f.U64(0x1000);   // stack reserve, commit
    f.U64(0x100000);
    f.U64(0x1000);   // heap reserve, commit
    f.U32(0);
    f.U32(16);
    const uint32_t directories[16][2] = {
        {rdataRva, e.Size()},                                                  // export
        {0, 0},                                                                // import
        {sections[kRsrc].rva, sections[kRsrc].bytes.Size()},                   // resource
        {0, 0}, {0, 0},                                                        // exception, security
        {sections[kReloc].rva, sections[kReloc].bytes.Size()},                 // base relocation
        {0, 0}, {0, 0},                                                        // debug, architecture
        {gpRva, 0},                                                            // global pointer
        {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}};
    for (const auto& d : directories) {
        f.U32(d[0]);
        f.U32(d[1]);
    }
    for (const Section& s : sections) {
        std::string name = s.name;
        name.resize(8, '\0');
        f.data.insert(f.data.end(), name.begin(), name.end());
        f.U32(s.bytes.Size());
        f.U32(s.rva);
        f.U32(AlignUp(s.bytes.Size(), kFileAlignment));
        f.U32(s.fileOffset);
        f.U32(0);
        f.U32(0);
        f.U16(0);
        f.U16(0);   // no COFF relocations or line numbers
        f.U32(s.characteristics);
    }
    f.Zeros(headersSize - f.Size());
    for (const Section& s : sections) {
        f.data.insert(f.data.end(), s.bytes.data.begin(), s.bytes.data.end());
        f.Align(kFileAlignment);
    }
    f.Put32(kPeOffset + 24 + 64, Checksum(f.data));
    return f.data;
}
