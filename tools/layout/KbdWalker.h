// Reads the tables of a keyboard-layout library from memory: from the library loaded by the
// system (under Wine) or from an image the host mapped itself (PeImage). One walker for both
// pointer sizes, so the 32-bit and 64-bit libraries are checked by the same code.
#ifndef KBD_WALKER_H
#define KBD_WALKER_H

#include "KbdLayout.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Memory the walker may read: answers false for any byte outside it.
class CKbdMemory {
public:
    virtual ~CKbdMemory() {}
    virtual bool Read(uint64_t address, void* out, size_t size) const = 0;
};

// Where the tables that an installation patches were found.
struct KbdTableAddresses {
    uint64_t scanToVk = 0;
    uint64_t e0 = 0;
    uint64_t e1 = 0;
    uint64_t decimalChars = 0;   // the two characters of the number pad's decimal key, 0 if none
};

class CKbdWalker {
public:
    CKbdWalker(const CKbdMemory& memory, int pointerSize);

    // Walks the whole layout from the top table's address. False with Error() on a table
    // that leaves the memory, has no end, or breaks the format.
    bool Walk(uint64_t top, KbdLayout& layout, KbdTableAddresses* where = nullptr);
    const std::string& Error() const { return m_error; }

private:
    bool Fail(const std::string& what);
    bool ReadPtr(uint64_t address, uint64_t& value);
    bool ReadU8(uint64_t address, uint8_t& value);
    bool ReadU16(uint64_t address, uint16_t& value);
    bool ReadU32(uint64_t address, uint32_t& value);
    bool ReadString(uint64_t address, std::u16string& text);
    bool ReadScanNames(uint64_t address, std::vector<KbdScanName>& names);
    bool ReadScanVks(uint64_t address, std::vector<KbdScanVk>& list);

    const CKbdMemory& m_memory;
    int m_ptr;
    std::string m_error;
};

#endif
