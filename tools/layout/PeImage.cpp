#include "PeImage.h"

#include <cstring>

namespace {

uint16_t U16(const std::vector<uint8_t>& b, size_t o)
{
    return static_cast<uint16_t>(b[o] | (b[o + 1] << 8));
}

uint32_t U32(const std::vector<uint8_t>& b, size_t o)
{
    return b[o] | (b[o + 1] << 8) | (b[o + 2] << 16) | (static_cast<uint32_t>(b[o + 3]) << 24);
}

uint64_t U64(const std::vector<uint8_t>& b, size_t o)
{
    return U32(b, o) | (static_cast<uint64_t>(U32(b, o + 4)) << 32);
}

} // namespace

bool CPeImage::Fail(const std::string& what)
{
    m_error = what;
    return false;
}

bool CPeImage::Load(const std::vector<uint8_t>& file)
{
    m_file = file;
    m_sections.clear();
    m_mapped.clear();
    if (m_file.size() < 0x40 || m_file[0] != 'M' || m_file[1] != 'Z')
        return Fail("not an MZ image");
    uint32_t pe = U32(m_file, 0x3C);
    if (pe + 24 > m_file.size() || std::memcmp(&m_file[pe], "PE\0\0", 4) != 0)
        return Fail("no PE header");
    m_machine = U16(m_file, pe + 4);
    uint16_t sectionCount = U16(m_file, pe + 6);
    uint16_t optionalSize = U16(m_file, pe + 20);
    size_t opt = pe + 24;
    if (opt + optionalSize > m_file.size() || optionalSize < 96)
        return Fail("truncated optional header");
    uint16_t magic = U16(m_file, opt);
    if (magic != 0x10B && magic != 0x20B)
        return Fail("unknown optional-header magic");
    m_pe32plus = magic == 0x20B;
    m_entryPoint = U32(m_file, opt + 16);
    m_imageBase = m_pe32plus ? U64(m_file, opt + 24) : U32(m_file, opt + 28);
    m_osMajor = U16(m_file, opt + 40);
    m_osMinor = U16(m_file, opt + 42);
    m_subMajor = U16(m_file, opt + 48);
    m_subMinor = U16(m_file, opt + 50);
    m_imageSize = U32(m_file, opt + 56);
    m_headersSize = U32(m_file, opt + 60);
    size_t dirs = opt + (m_pe32plus ? 112 : 96);
    uint32_t dirCount = U32(m_file, dirs - 4);
    auto dir = [&](uint32_t i, uint32_t& rva, uint32_t& size) {
        rva = size = 0;
        if (i < dirCount && dirs + 8 * i + 8 <= opt + optionalSize) {
            rva = U32(m_file, dirs + 8 * i);
            size = U32(m_file, dirs + 8 * i + 4);
        }
    };
    dir(0, m_exportRva, m_exportSize);
    dir(1, m_importRva, m_importSize);
    dir(5, m_relocRva, m_relocSize);
    size_t sec = opt + optionalSize;
    if (sec + 40u * sectionCount > m_file.size())
        return Fail("truncated section table");
    for (uint16_t i = 0; i < sectionCount; ++i, sec += 40) {
        PeSection s;
        s.name.assign(reinterpret_cast<const char*>(&m_file[sec]), strnlen(reinterpret_cast<const char*>(&m_file[sec]), 8));
        s.virtualSize = U32(m_file, sec + 8);
        s.rva = U32(m_file, sec + 12);
        s.rawSize = U32(m_file, sec + 16);
        s.rawOffset = U32(m_file, sec + 20);
        if (static_cast<uint64_t>(s.rawOffset) + s.rawSize > m_file.size())
            return Fail("section " + s.name + " runs past the end of the file");
        if (static_cast<uint64_t>(s.rva) + s.virtualSize > m_imageSize)
            return Fail("section " + s.name + " runs past the image size");
        m_sections.push_back(s);
    }
    return true;
}

bool CPeImage::RvaToFile(uint32_t rva, uint32_t size, uint32_t& offset) const
{
    for (const PeSection& s : m_sections) {
        uint32_t backed = s.rawSize < s.virtualSize ? s.rawSize : s.virtualSize;
        if (rva >= s.rva && static_cast<uint64_t>(rva) + size <= static_cast<uint64_t>(s.rva) + backed) {
            offset = s.rawOffset + (rva - s.rva);
            return true;
        }
    }
    return false;
}

bool CPeImage::Map(uint64_t base)
{
    m_base = base;
    m_mapped.assign(m_imageSize, 0);
    std::memcpy(m_mapped.data(), m_file.data(), m_headersSize < m_file.size() ? m_headersSize : m_file.size());
    for (const PeSection& s : m_sections) {
        uint32_t n = s.rawSize < s.virtualSize ? s.rawSize : s.virtualSize;
        std::memcpy(&m_mapped[s.rva], &m_file[s.rawOffset], n);
    }
    m_relocations = 0;
    const uint64_t delta = base - m_imageBase;
    uint32_t at = m_relocRva, end = m_relocRva + m_relocSize;
    while (m_relocSize != 0 && at + 8 <= end) {
        if (end > m_imageSize)
            return Fail("relocation directory runs past the image");
        uint32_t page = U32(m_mapped, at);
        uint32_t blockSize = U32(m_mapped, at + 4);
        if (blockSize < 8 || at + blockSize > end)
            return Fail("bad relocation block");
        for (uint32_t e = at + 8; e + 2 <= at + blockSize; e += 2) {
            uint16_t entry = U16(m_mapped, e);
            uint32_t type = entry >> 12, target = page + (entry & 0xFFF);
            if (type == 0)
                continue;   // padding
            if (type == 3 && target + 4 <= m_imageSize) {   // 32-bit address
                uint32_t v = U32(m_mapped, target) + static_cast<uint32_t>(delta);
                std::memcpy(&m_mapped[target], &v, 4);
            } else if (type == 10 && target + 8 <= m_imageSize) {   // 64-bit address
                uint64_t v = U64(m_mapped, target) + delta;
                for (int i = 0; i < 8; ++i)
                    m_mapped[target + i] = static_cast<uint8_t>(v >> (8 * i));
            } else {
                return Fail("unsupported relocation type " + std::to_string(type));
            }
            ++m_relocations;
        }
        at += blockSize;
    }
    return true;
}

uint32_t CPeImage::FindExport(const std::string& name) const
{
    uint32_t dir;
    if (m_exportRva == 0 || !RvaToFile(m_exportRva, 40, dir))
        return 0;
    uint32_t functions = U32(m_file, dir + 28), names = U32(m_file, dir + 32), ordinals = U32(m_file, dir + 36);
    uint32_t nameCount = U32(m_file, dir + 24);
    for (uint32_t i = 0; i < nameCount; ++i) {
        uint32_t nameRva, nameOff, ordOff, funcOff;
        if (!RvaToFile(names + 4 * i, 4, nameOff))
            return 0;
        nameRva = U32(m_file, nameOff);
        uint32_t textOff;
        if (!RvaToFile(nameRva, static_cast<uint32_t>(name.size() + 1), textOff))
            continue;
        if (std::memcmp(&m_file[textOff], name.c_str(), name.size() + 1) != 0)
            continue;
        if (!RvaToFile(ordinals + 2 * i, 2, ordOff))
            return 0;
        uint16_t index = U16(m_file, ordOff);
        if (!RvaToFile(functions + 4 * index, 4, funcOff))
            return 0;
        return U32(m_file, funcOff);
    }
    return 0;
}

int CPeImage::ImportedLibraryCount() const
{
    int count = 0;
    uint32_t off;
    // 20-byte descriptors: lookup table, time stamp, forwarder chain, name, address table.
    for (uint32_t at = m_importRva; m_importRva != 0 && RvaToFile(at, 20, off); at += 20, ++count)
        if (U32(m_file, off + 12) == 0 && U32(m_file, off + 16) == 0)
            return count;
    return m_importRva == 0 ? 0 : -1;   // -1: a directory without its terminator
}

int64_t CPeImage::FileOffset(uint64_t address) const
{
    if (address < m_base || address - m_base >= m_imageSize)
        return -1;
    uint32_t off;
    if (!RvaToFile(static_cast<uint32_t>(address - m_base), 1, off))
        return -1;
    return off;
}

bool CPeImage::Read(uint64_t address, void* out, size_t size) const
{
    if (address < m_base || address - m_base > m_mapped.size() || size > m_mapped.size() - (address - m_base))
        return false;
    std::memcpy(out, &m_mapped[address - m_base], size);
    return true;
}
