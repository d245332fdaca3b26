// The working key table: searches, normalisation, the stored assignment list, and the system's
// scan-code map read at start.
//
// System scan-code map (REG_BINARY, all little-endian), as other programs write it:
//
//   +0   version  u32
//   +4   flags    u32
//   +8   count    s32   entries including the terminating one
//   +12  count - 1 entries: u16 target scan code, u16 source scan code (target 0 = disabled)
//        then a terminating zero entry
#include "core/Install.h"

#include <stdlib.h>

namespace
{
const int kStringScancodeMapKey = 5;
const int kStringScancodeMapValue = 6;
const uint32_t kKeyRead = 0x20019;

uint16_t ReadU16(const unsigned char* bytes)
{
    return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

uint32_t ReadU32(const unsigned char* bytes)
{
    return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

void WriteU16(unsigned char* bytes, uint16_t value)
{
    bytes[0] = static_cast<unsigned char>(value & 0xFF);
    bytes[1] = static_cast<unsigned char>(value >> 8);
}
}

const KeyEntry* CInstall::FindDefaultKey(uint16_t scanCode)
{
    for (int i = 0; i < kKeyTableRows && DefaultKeyTable[i].scanCode != 0; ++i)
    {
        if (DefaultKeyTable[i].scanCode == scanCode)
            return &DefaultKeyTable[i];
    }
    return nullptr;
}

KeyEntry* CInstall::FindKey(uint16_t scanCode)
{
    if (!m_keys)
        return nullptr;
    for (int i = 0; i < m_keyCount && m_keys[i].scanCode != 0; ++i)
    {
        if (m_keys[i].scanCode == scanCode)
            return &m_keys[i];
    }
    return nullptr;
}

int CInstall::NormalizeKeys()
{
    if (!m_keys || m_keyCount <= 0)
        return 0;
    // The default table has exactly as many rows as the working table is created with.
    int rows = m_keyCount < kKeyTableRows ? m_keyCount : kKeyTableRows;
    for (int i = 0; i < rows; ++i)
    {
        if (m_keys[i].remapTo == DefaultKeyTable[i].scanCode)
            m_keys[i].remapTo = 0;
        if (m_keys[i].virtualKey == DefaultKeyTable[i].virtualKey)
            m_keys[i].virtualKey = 0;
    }
    return 1;
}

int CInstall::ApplyKeyAssignments(unsigned char* list, int length)
{
    if (!list || length == 0)
        return 0;
    // The list is ours from here on, whatever else is wrong with it.
    if (length < 0 || !m_keys || m_keyCount <= 0)
    {
        free(list);
        return 0;
    }
    int pairs = length / 4;
    for (int p = 0; p < pairs; ++p)
    {
        const unsigned char* pair = list + 4 * p;
        uint16_t scanCode = ReadU16(pair);
        uint16_t virtualKey = ReadU16(pair + 2);
        if (virtualKey == 0)
            continue;
        for (int i = 0; i < m_keyCount; ++i)
        {
            if (m_keys[i].scanCode == scanCode)
            {
                m_keys[i].virtualKey = virtualKey;
                break;
            }
        }
    }
    NormalizeKeys();
    free(list);
    return 1;
}

unsigned char* CInstall::ExportKeyAssignments(int* length)
{
    int ignored = 0;
    if (!length)
        length = &ignored;
    *length = 0;
    if (!m_keys)
        return nullptr;
    NormalizeKeys();

    int count = 0;
    for (int i = 0; i < m_keyCount && m_keys[i].scanCode != 0; ++i)
    {
        if (m_keys[i].virtualKey != 0)
            ++count;
    }
    // An empty list is still a list: one spare byte keeps the block from being null.
    unsigned char* list = static_cast<unsigned char*>(malloc(4 * static_cast<size_t>(count) + 1));
    if (!list)
        return nullptr;
    unsigned char* out = list;
    for (int i = 0; i < m_keyCount && m_keys[i].scanCode != 0; ++i)
    {
        if (m_keys[i].virtualKey == 0)
            continue;
        WriteU16(out, m_keys[i].scanCode);
        WriteU16(out + 2, m_keys[i].virtualKey);
        out += 4;
    }
    *length = 4 * count;
    return list;
}

int CInstall::ReadScancodeMap()
{
    if (!m_keys || m_keyCount <= 0)
        return 0;
    HKEY key = OpenKeyById(HKEY_LOCAL_MACHINE, kStringScancodeMapKey, kKeyRead);
    if (!key)
        return 0;
    uint32_t size = 0;
    unsigned char* map = QueryBinaryValueById(key, kStringScancodeMapValue, &size);
    if (!map)
    {
        RegCloseKey(key);
        return 0;
    }
    m_scancodeMapRead = 1;

    if (size >= 16)
    {
        int32_t count = static_cast<int32_t>(ReadU32(map + 8));
        // The count is another program's word: compare in 64 bits so that no count, however
        // large, can make the entries reach past the value.
        if (count > 1 && static_cast<uint64_t>(size) >= 4ull * static_cast<uint64_t>(count) + 12ull)
        {
            for (int32_t e = 0; e < count - 1; ++e)
            {
                const unsigned char* entry = map + 12 + 4 * static_cast<size_t>(e);
                uint16_t target = ReadU16(entry);
                uint16_t source = ReadU16(entry + 2);
                KeyEntry* found = FindKey(source);
                if (found)
                    found->remapTo = target != 0 ? target : static_cast<uint16_t>(kRemapDisabled);
            }
            NormalizeKeys();
        }
    }
    free(map);
    RegCloseKey(key);
    return 0;
}
