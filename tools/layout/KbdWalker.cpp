#include "KbdWalker.h"

#include <cstdio>

namespace {

// Generous bounds: a table longer than this has lost its terminator.
const int kMaxRecords = 4096;
const int kMaxStringUnits = 512;

std::string HexAddress(uint64_t a)
{
    char buf[32];
    std::snprintf(buf, sizeof(buf), "0x%llX", static_cast<unsigned long long>(a));
    return buf;
}

} // namespace

CKbdWalker::CKbdWalker(const CKbdMemory& memory, int pointerSize)
    : m_memory(memory), m_ptr(pointerSize)
{
}

bool CKbdWalker::Fail(const std::string& what)
{
    m_error = what;
    return false;
}

bool CKbdWalker::ReadU8(uint64_t a, uint8_t& v)
{
    if (!m_memory.Read(a, &v, 1))
        return Fail("byte at " + HexAddress(a) + " is outside the image");
    return true;
}

bool CKbdWalker::ReadU16(uint64_t a, uint16_t& v)
{
    uint8_t b[2];
    if (!m_memory.Read(a, b, 2))
        return Fail("16-bit value at " + HexAddress(a) + " is outside the image");
    v = static_cast<uint16_t>(b[0] | (b[1] << 8));
    return true;
}

bool CKbdWalker::ReadU32(uint64_t a, uint32_t& v)
{
    uint8_t b[4];
    if (!m_memory.Read(a, b, 4))
        return Fail("32-bit value at " + HexAddress(a) + " is outside the image");
    v = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    return true;
}

bool CKbdWalker::ReadPtr(uint64_t a, uint64_t& v)
{
    uint8_t b[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    if (!m_memory.Read(a, b, static_cast<size_t>(m_ptr)))
        return Fail("pointer at " + HexAddress(a) + " is outside the image");
    v = 0;
    for (int i = m_ptr - 1; i >= 0; --i)
        v = (v << 8) | b[i];
    return true;
}

bool CKbdWalker::ReadString(uint64_t a, std::u16string& text)
{
    text.clear();
    for (int i = 0; i < kMaxStringUnits; ++i) {
        uint16_t c;
        if (!ReadU16(a + 2 * i, c))
            return false;
        if (c == 0)
            return true;
        text += static_cast<char16_t>(c);
    }
    return Fail("string at " + HexAddress(a) + " has no end");
}

bool CKbdWalker::ReadScanNames(uint64_t a, std::vector<KbdScanName>& names)
{
    names.clear();
    if (a == 0)
        return true;
    const uint64_t record = 2 * static_cast<uint64_t>(m_ptr);   // u8 scan code, padded pointer
    for (int i = 0; i < kMaxRecords; ++i, a += record) {
        KbdScanName n;
        uint64_t text;
        if (!ReadU8(a, n.scan) || !ReadPtr(a + m_ptr, text))
            return false;
        if (n.scan == 0 && text == 0)
            return true;
        if (text == 0)
            return Fail("key name of scan code without text at " + HexAddress(a));
        if (!ReadString(text, n.name))
            return false;
        names.push_back(n);
    }
    return Fail("key-name table at " + HexAddress(a) + " has no end");
}

bool CKbdWalker::ReadScanVks(uint64_t a, std::vector<KbdScanVk>& list)
{
    list.clear();
    for (int i = 0; i < kMaxRecords; ++i, a += 4) {
        KbdScanVk e;
        if (!ReadU8(a, e.scan) || !ReadU16(a + 2, e.vk))
            return false;
        if (e.scan == 0)
            return true;
        list.push_back(e);
    }
    return Fail("prefixed scan-code list at " + HexAddress(a) + " has no end");
}

bool CKbdWalker::Walk(uint64_t top, KbdLayout& l, KbdTableAddresses* where)
{
    l = KbdLayout();
    m_error.clear();
    const uint64_t p = static_cast<uint64_t>(m_ptr);
    uint64_t modifiers, vkTables, dead, names, namesExt, namesDead, scanTable, e0, e1, ligature;
    uint8_t scanCount;
    const uint64_t ligatureAt = (10 * p + 6 + p - 1) / p * p;   // 48 or 88
    // Offsets follow natural alignment: after the byte count the next pointer is aligned.
    if (!ReadPtr(top, modifiers) || !ReadPtr(top + p, vkTables) || !ReadPtr(top + 2 * p, dead) ||
        !ReadPtr(top + 3 * p, names) || !ReadPtr(top + 4 * p, namesExt) || !ReadPtr(top + 5 * p, namesDead) ||
        !ReadPtr(top + 6 * p, scanTable) || !ReadU8(top + 7 * p, scanCount) || !ReadPtr(top + 8 * p, e0) ||
        !ReadPtr(top + 9 * p, e1) || !ReadU32(top + 10 * p, l.localeFlags) ||
        !ReadU8(top + 10 * p + 4, l.ligatureColumns) || !ReadU8(top + 10 * p + 5, l.ligatureSize) ||
        !ReadPtr(top + ligatureAt, ligature) || !ReadU32(top + ligatureAt + p, l.type) ||
        !ReadU32(top + ligatureAt + p + 4, l.subtype))
        return false;
    l.hasLigatures = ligature != 0;
    if (modifiers == 0 || vkTables == 0 || scanTable == 0 || e0 == 0 || e1 == 0)
        return Fail("a required table pointer of the top table is null");

    uint64_t bits;
    if (!ReadPtr(modifiers, bits) || !ReadU16(modifiers + p, l.maxModBits))
        return false;
    if (l.maxModBits > 255)
        return Fail("modifier table claims " + std::to_string(l.maxModBits) + " bit combinations");
    for (int i = 0; i <= l.maxModBits; ++i) {
        uint8_t n;
        if (!ReadU8(modifiers + p + 2 + i, n))
            return false;
        l.modNumber.push_back(n);
    }
    for (int i = 0;; ++i) {
        if (i == kMaxRecords)
            return Fail("modifier-bit list has no end");
        uint8_t vk, bit;
        if (!ReadU8(bits + 2 * i, vk) || !ReadU8(bits + 2 * i + 1, bit))
            return false;
        if (vk == 0)
            break;
        l.vkToBit.emplace_back(vk, bit);
    }

    const uint64_t tableRecord = 2 * p;   // pointer, u8 columns, u8 size, padding
    for (int t = 0;; ++t) {
        if (t == kMaxRecords)
            return Fail("character-table list has no end");
        uint64_t records;
        uint8_t columns, size;
        if (!ReadPtr(vkTables + t * tableRecord, records))
            return false;
        if (records == 0)
            break;
        if (!ReadU8(vkTables + t * tableRecord + p, columns) || !ReadU8(vkTables + t * tableRecord + p + 1, size))
            return false;
        if (columns == 0 || size != 2 + 2 * columns)
            return Fail("character table " + std::to_string(t) + " has " + std::to_string(columns) +
                        " columns in records of " + std::to_string(size) + " bytes");
        KbdCharTable table;
        table.columns = columns;
        for (int i = 0;; ++i) {
            if (i == kMaxRecords)
                return Fail("character table " + std::to_string(t) + " has no end");
            uint64_t a = records + static_cast<uint64_t>(i) * size;
            KbdCharRecord r;
            if (!ReadU8(a, r.vk) || !ReadU8(a + 1, r.attributes))
                return false;
            if (r.vk == 0)
                break;
            for (int c = 0; c < columns; ++c) {
                uint16_t ch;
                if (!ReadU16(a + 2 + 2 * c, ch))
                    return false;
                r.chars.push_back(ch);
            }
            if (where && r.vk == 0x6E && columns >= 2)
                where->decimalChars = a + 2;
            table.records.push_back(r);
        }
        l.charTables.push_back(table);
    }

    if (dead != 0) {
        for (int i = 0;; ++i, dead += 8) {
            if (i == kMaxRecords)
                return Fail("dead-key table has no end");
            uint32_t both;
            KbdDeadEntry d;
            if (!ReadU32(dead, both) || !ReadU16(dead + 4, d.composed) || !ReadU16(dead + 6, d.flags))
                return false;
            if (both == 0)
                break;
            d.base = static_cast<uint16_t>(both & 0xFFFF);
            d.accent = static_cast<uint16_t>(both >> 16);
            l.deadKeys.push_back(d);
        }
    }

    if (!ReadScanNames(names, l.keyNames) || !ReadScanNames(namesExt, l.keyNamesExt))
        return false;
    if (namesDead != 0) {
        for (int i = 0;; ++i) {
            if (i == kMaxRecords)
                return Fail("dead-key name list has no end");
            uint64_t text;
            if (!ReadPtr(namesDead + i * p, text))
                return false;
            if (text == 0)
                break;
            std::u16string name;
            if (!ReadString(text, name))
                return false;
            l.deadKeyNames.push_back(name);
        }
    }

    for (int i = 0; i < scanCount; ++i) {
        uint16_t vk;
        if (!ReadU16(scanTable + 2 * i, vk))
            return false;
        l.scanToVk.push_back(vk);
    }
    if (!ReadScanVks(e0, l.e0) || !ReadScanVks(e1, l.e1))
        return false;
    if (where) {
        where->scanToVk = scanTable;
        where->e0 = e0;
        where->e1 = e1;
    }
    return true;
}
