// The registry access layer: one platform call per primitive, the status folded into 1/0 or a
// handle/null, and by-id variants that turn string ids into names. Every read is bounded by the
// bytes the platform actually returned, whatever another program stored in the value.
#include "core/Install.h"

#include <stdlib.h>

namespace
{
const uint32_t kKeySetValueCreateSubKey = 0x0006;

// Longest REG_SZ value read, in bytes. The record holds paths and short names; a value far larger
// than any path is refused rather than allocated.
const DWORD kMaxStringValueBytes = 1u << 20;

int IsNameMissing(const wchar_t* name)
{
    return !name || name[0] == 0;
}
}

HKEY CInstall::OpenKey(HKEY root, const wchar_t* name, uint32_t access)
{
    if (!root || IsNameMissing(name))
        return nullptr;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, name, 0, access, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

HKEY CInstall::CreateKey(HKEY root, const wchar_t* name, uint32_t access)
{
    if (!root || IsNameMissing(name))
        return nullptr;
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, name, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

int CInstall::SetBinaryValue(HKEY key, const wchar_t* name, const void* data, int count)
{
    if (count < 0 || (!data && count > 0))
        return 0;
    return RegSetValueExW(key, name, 0, REG_BINARY, static_cast<const BYTE*>(data),
                          static_cast<DWORD>(count)) == ERROR_SUCCESS;
}

unsigned char* CInstall::QueryBinaryValue(HKEY key, const wchar_t* name, uint32_t* size)
{
    uint32_t ignored = 0;
    if (!size)
        size = &ignored;
    *size = 0;

    DWORD type = 0;
    DWORD count = 0;
    LONG status = RegQueryValueExW(key, name, nullptr, &type, nullptr, &count);
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA)
        return nullptr;
    if (count == 0 || type != REG_BINARY)
        return nullptr;

    *size = count;
    unsigned char* block = static_cast<unsigned char*>(malloc(count));
    if (!block)
        return nullptr;
    // The value may have changed since the first call: only the same type and size are taken.
    DWORD again = count;
    status = RegQueryValueExW(key, name, nullptr, &type, block, &again);
    if (status != ERROR_SUCCESS || again != count || type != REG_BINARY)
    {
        free(block);
        return nullptr;
    }
    return block;
}

int CInstall::SetDwordValue(HKEY key, const wchar_t* name, uint32_t value)
{
    DWORD data = value;
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                          sizeof(data)) == ERROR_SUCCESS;
}

int CInstall::QueryDwordValue(HKEY key, const wchar_t* name, uint32_t* value)
{
    if (!value)
        return 0;
    DWORD type = 0;
    DWORD data = 0;
    DWORD count = sizeof(data);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &count) !=
        ERROR_SUCCESS)
        return 0;
    if (type != REG_DWORD || count != sizeof(data))
        return 0;
    *value = data;
    return 1;
}

int CInstall::SetStringValue(HKEY key, const wchar_t* name, GString& text)
{
    if (!key || IsNameMissing(name))
        return 0;
    const wchar_t* wide = text.MakeWide(-1);
    if (!wide || text.length < 0 || text.length > 0x3FFFFFFE)
        return 0;
    DWORD bytes = 2u * static_cast<DWORD>(text.length) + 2u;
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide), bytes) ==
           ERROR_SUCCESS;
}

int CInstall::QueryStringValue(HKEY key, const wchar_t* name, GString& text)
{
    if (!key || IsNameMissing(name))
        return 0;
    text.ClearAs(1);

    DWORD type = 0;
    DWORD count = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &count) != ERROR_SUCCESS ||
        type != REG_SZ)
        return 0;
    if (count == 0)
        return 1;
    if (count > kMaxStringValueBytes)
        return 0;

    // Room for every returned byte, an odd last byte included; the terminator is the string's.
    int units = static_cast<int>((count + 1) / 2);
    wchar_t* room = text.BeginWideWrite(units);
    if (!room)
        return 0;
    DWORD got = static_cast<DWORD>(units) * 2u;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(room), &got) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
    {
        text.SetLength(0);
        return 0;
    }
    if (got > static_cast<DWORD>(units) * 2u)
        got = static_cast<DWORD>(units) * 2u;
    // A value stored with its terminating zero unit gives back exactly its characters.
    int length = got > 0 ? static_cast<int>((got - 1) / 2) : 0;
    if (!text.SetLength(length))
        return 0;
    return 1;
}

int CInstall::StringValueEquals(HKEY key, const wchar_t* name, const GString& text)
{
    GString stored;
    if (!QueryStringValue(key, name, stored))
        return 0;
    if (text.wide)
        return stored.CompareWide(text.WideText(), text.length) == 0;
    return stored.CompareNarrow(text.NarrowText(), text.length) == 0;
}

int CInstall::DeleteValue(HKEY key, const wchar_t* name)
{
    if (!key || IsNameMissing(name))
        return 0;
    return RegDeleteValueW(key, name) == ERROR_SUCCESS;
}

// The name of a string id, or null when the id has no text: an empty name would address a key's
// default value or the key itself, never what the caller meant.
static const wchar_t* LoadName(CInstall& install, int id, GString& into)
{
    if (!install.LoadText(id, into) || into.length <= 0)
        return nullptr;
    return into.WideText();
}

HKEY CInstall::OpenKeyById(HKEY root, int keyId, uint32_t access)
{
    const wchar_t* name = LoadName(*this, keyId, m_text);
    return name ? OpenKey(root, name, access) : nullptr;
}

HKEY CInstall::CreateKeyById(HKEY root, int keyId, uint32_t access)
{
    const wchar_t* name = LoadName(*this, keyId, m_text);
    return name ? CreateKey(root, name, access) : nullptr;
}

int CInstall::SetBinaryValueById(HKEY key, int valueId, const void* data, int count)
{
    const wchar_t* name = LoadName(*this, valueId, m_text);
    return name ? SetBinaryValue(key, name, data, count) : 0;
}

unsigned char* CInstall::QueryBinaryValueById(HKEY key, int valueId, uint32_t* size)
{
    const wchar_t* name = LoadName(*this, valueId, m_text);
    return name ? QueryBinaryValue(key, name, size) : nullptr;
}

int CInstall::SetDwordValueById(HKEY key, int valueId, uint32_t value)
{
    const wchar_t* name = LoadName(*this, valueId, m_text);
    return name ? SetDwordValue(key, name, value) : 0;
}

int CInstall::QueryDwordValueById(HKEY key, int valueId, uint32_t* value)
{
    const wchar_t* name = LoadName(*this, valueId, m_text);
    return name ? QueryDwordValue(key, name, value) : 0;
}

// The value name goes into a local string: the caller's text may be m_text itself.
int CInstall::SetStringValueById(HKEY key, int valueId, GString& text)
{
    GString name;
    const wchar_t* valueName = LoadName(*this, valueId, name);
    return valueName ? SetStringValue(key, valueName, text) : 0;
}

int CInstall::SetStringValueByIds(HKEY key, int valueId, int dataId)
{
    GString data;
    if (!LoadText(dataId, data))
        return 0;
    return SetStringValueById(key, valueId, data);
}

int CInstall::QueryStringValueById(HKEY key, int valueId, GString& text)
{
    GString name;
    const wchar_t* valueName = LoadName(*this, valueId, name);
    return valueName ? QueryStringValue(key, valueName, text) : 0;
}

int CInstall::StringValueEqualsById(HKEY key, int valueId, const GString& text)
{
    GString name;
    const wchar_t* valueName = LoadName(*this, valueId, name);
    return valueName ? StringValueEquals(key, valueName, text) : 0;
}

int CInstall::DeleteValueById(HKEY key, int valueId)
{
    const wchar_t* name = LoadName(*this, valueId, m_text);
    return name ? DeleteValue(key, name) : 0;
}

int CInstall::DeleteKeyById(HKEY parent, int keyId)
{
    const wchar_t* name = LoadName(*this, keyId, m_text);
    if (!name)
        return 0;
    return RegDeleteKeyW(parent, name) == ERROR_SUCCESS;
}

int CInstall::SetMachineStringByIds(int keyId, int valueId, int dataId)
{
    HKEY key = OpenKeyById(HKEY_LOCAL_MACHINE, keyId, kKeySetValueCreateSubKey);
    if (!key)
        return 0;
    int written = SetStringValueByIds(key, valueId, dataId);
    RegCloseKey(key);
    return written;
}
