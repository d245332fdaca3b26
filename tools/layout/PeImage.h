// A PE image (DLL) read from its file on the host, for 32-bit and 64-bit images alike:
//
//   0x00  "MZ" ... u32 at 0x3C = offset of the PE header
//   PE    "PE\0\0", file header (20 bytes: machine u16, sections u16, ..., optional size u16)
//         optional header: magic 0x10B (PE32) or 0x20B (PE32+), entry point RVA at 16,
//         image base (u32 at 28 or u64 at 24), OS version u16,u16 at 40, subsystem version
//         u16,u16 at 48, image size at 56, data directories (8 bytes each) at 96 or 112:
//         0 export, 1 import, 2 resource, 5 base relocation
//   then the section headers, 40 bytes each: name, virtual size, RVA, raw size, raw offset
//
// Map() lays the sections out at a base of the caller's choice and applies the base
// relocations, as the system loader would; the mapped image is then walked like memory.
#ifndef KBD_PE_IMAGE_H
#define KBD_PE_IMAGE_H

#include "KbdWalker.h"

#include <cstdint>
#include <string>
#include <vector>

struct PeSection {
    std::string name;
    uint32_t rva = 0;
    uint32_t virtualSize = 0;
    uint32_t rawOffset = 0;
    uint32_t rawSize = 0;
};

class CPeImage : public CKbdMemory {
public:
    bool Load(const std::vector<uint8_t>& file);
    const std::string& Error() const { return m_error; }

    int PointerSize() const { return m_pe32plus ? 8 : 4; }
    uint16_t Machine() const { return m_machine; }
    uint64_t ImageBase() const { return m_imageBase; }
    uint32_t EntryPoint() const { return m_entryPoint; }
    uint16_t OsMajor() const { return m_osMajor; }
    uint16_t OsMinor() const { return m_osMinor; }
    uint16_t SubsystemMajor() const { return m_subMajor; }
    uint16_t SubsystemMinor() const { return m_subMinor; }
    // Libraries named by the import directory (the linker writes one even when it is empty).
    int ImportedLibraryCount() const;
    uint32_t RelocationCount() const { return m_relocations; }
    const std::vector<PeSection>& Sections() const { return m_sections; }

    // Lays the image out at `base` and applies the relocations. False on a bad relocation.
    bool Map(uint64_t base);
    uint64_t Base() const { return m_base; }
    // The RVA of an exported name, 0 when it is not exported.
    uint32_t FindExport(const std::string& name) const;
    // The file offset of a mapped address, or -1 when no file byte backs it.
    int64_t FileOffset(uint64_t address) const;

    bool Read(uint64_t address, void* out, size_t size) const override;

private:
    bool Fail(const std::string& what);
    bool RvaToFile(uint32_t rva, uint32_t size, uint32_t& offset) const;

    std::vector<uint8_t> m_file;
    std::vector<uint8_t> m_mapped;
    std::vector<PeSection> m_sections;
    std::string m_error;
    bool m_pe32plus = false;
    uint16_t m_machine = 0;
    uint64_t m_imageBase = 0;
    uint64_t m_base = 0;
    uint32_t m_imageSize = 0;
    uint32_t m_headersSize = 0;
    uint32_t m_entryPoint = 0;
    uint16_t m_osMajor = 0, m_osMinor = 0, m_subMajor = 0, m_subMinor = 0;
    uint32_t m_exportRva = 0, m_exportSize = 0;
    uint32_t m_importRva = 0, m_importSize = 0;
    uint32_t m_relocRva = 0, m_relocSize = 0;
    uint32_t m_relocations = 0;
};

#endif
