// Helpers of the file, process and layout-library tests: an installer whose string lookup can be
// overridden id by id, file and registry inspection through the platform directly, and an
// independent computation of a patched layout library.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/Install.h"

namespace filetest
{
typedef std::vector<unsigned char> Bytes;

// The fixture's texts, except where a test gives an id another text or none at all.
class COverrideInstall : public CInstall
{
public:
    void Override(int id, const char* text)
    {
        m_absent.erase(id);
        m_entries.erase(id);
        if (!text)
        {
            m_absent.insert(id);
            return;
        }
        const size_t size = strlen(text);
        Bytes entry(4, 0);
        const uint32_t word = 0x80000000u | static_cast<uint32_t>(size);
        for (int i = 0; i < 4; i++)
            entry[i] = static_cast<unsigned char>(word >> (8 * i));
        entry.insert(entry.end(), text, text + size);
        entry.push_back(0);
        m_entries[id] = entry;
    }
    const void* FindText(int id) override
    {
        if (m_absent.count(id))
            return nullptr;
        auto found = m_entries.find(id);
        if (found != m_entries.end())
            return found->second.data();
        return CInstall::FindText(id);
    }

private:
    std::map<int, Bytes> m_entries;
    std::set<int> m_absent;
};

inline std::wstring Wide(const GString& text)
{
    if (!text.wide)
        return std::wstring();
    return std::wstring(text.WideText(0), static_cast<size_t>(text.length));
}

inline std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t unit : text)
        out.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    return out;
}

inline std::wstring Lower(std::wstring text)
{
    for (wchar_t& unit : text)
        unit = static_cast<wchar_t>(towlower(unit));
    return text;
}

inline bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline bool ReadBytes(const std::wstring& path, Bytes* bytes)
{
    bytes->clear();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD size = GetFileSize(file, nullptr);
    bytes->resize(size);
    DWORD read = 0;
    bool ok = size == 0 || (ReadFile(file, bytes->data(), size, &read, nullptr) && read == size);
    CloseHandle(file);
    return ok;
}

inline void WriteBytesTo(const std::wstring& path, const Bytes& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    if (!bytes.empty())
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(bytes.size(), written);
}

// Removes a folder tree left by an earlier test.
inline void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE)
    {
        do
        {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = folder + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
            {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

// The replace-at-restart requests: (source, target) pairs with the platform's \??\ prefixes
// removed; an empty target is a deletion.
inline std::vector<std::pair<std::wstring, std::wstring>> PendingRenames()
{
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                      0, KEY_READ, &key) != ERROR_SUCCESS)
        return pairs;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) ==
            ERROR_SUCCESS &&
        size > 0)
    {
        std::vector<wchar_t> data(size / 2 + 2, 0);
        RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type,
                         reinterpret_cast<BYTE*>(data.data()), &size);
        std::vector<std::wstring> items;
        size_t units = size / 2;
        size_t start = 0;
        for (size_t i = 0; i < units; i++)
        {
            if (data[i] == 0)
            {
                items.push_back(std::wstring(data.data() + start, i - start));
                start = i + 1;
            }
        }
        for (std::wstring& item : items)
        {
            if (item.compare(0, 4, L"\\??\\") == 0)
                item.erase(0, 4);
            else if (!item.empty() && item[0] == L'!' && item.compare(1, 4, L"\\??\\") == 0)
                item.erase(1, 4);
        }
        for (size_t i = 0; i + 1 < items.size(); i += 2)
        {
            if (items[i].empty())
                break;
            pairs.push_back(std::make_pair(Lower(items[i]), Lower(items[i + 1])));
        }
    }
    RegCloseKey(key);
    return pairs;
}

inline bool IsPending(const std::wstring& source, const std::wstring& target)
{
    auto pairs = PendingRenames();
    std::wstring s = Lower(source), t = Lower(target);
    for (auto& pair : pairs)
    {
        std::wstring got = pair.second;
        if (!got.empty() && got[0] == L'!')
            got.erase(0, 1);
        if (pair.first == s && got == t)
            return true;
    }
    return false;
}

inline bool IsPendingAtAll(const std::wstring& path)
{
    std::wstring p = Lower(path);
    for (auto& pair : PendingRenames())
    {
        std::wstring target = pair.second;
        if (!target.empty() && target[0] == L'!')
            target.erase(0, 1);
        if (pair.first == p || target == p)
            return true;
    }
    return false;
}

inline std::wstring SystemFolder()
{
    wchar_t buffer[MAX_PATH] = {0};
    GetSystemDirectoryW(buffer, MAX_PATH);
    return buffer;
}

inline std::wstring Wow64Folder()
{
    typedef UINT(WINAPI * Fn)(LPWSTR, UINT);
    Fn fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetSystemWow64DirectoryW")));
    wchar_t buffer[MAX_PATH] = {0};
    if (fn)
        fn(buffer, MAX_PATH);
    return buffer;
}

// Decoded bytes of a stored blob, by the installer's key holder.
inline Bytes DecodeBlob(CInstall& install, const unsigned char* blob, int size)
{
    int length = size;
    unsigned char* decoded = install.m_guard.Decode(blob, &length, nullptr);
    Bytes bytes;
    if (decoded)
    {
        bytes.assign(decoded, decoded + length);
        free(decoded);
    }
    return bytes;
}

// The bytes of a pattern text, read here by their own rule, not by the installer's decoder.
inline Bytes PatternBytes(CInstall& install, int id)
{
    GString text;
    install.LoadText(id, text);
    std::wstring hex = Wide(text);
    Bytes bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<unsigned char>(std::stoi(Narrow(hex.substr(i, 2)), nullptr, 16)));
    return bytes;
}

inline long FindOnce(const Bytes& image, const Bytes& pattern)
{
    if (pattern.empty())
        return -1;
    auto at = std::search(image.begin(), image.end(), pattern.begin(), pattern.end());
    return at == image.end() ? -1 : static_cast<long>(at - image.begin());
}

inline uint16_t U16(const Bytes& image, size_t at)
{
    return static_cast<uint16_t>(image[at] | (image[at + 1] << 8));
}

// A library as it must be staged: the original image with the key table's virtual keys and the
// decimal key written where the tables lie. `changed` receives the offsets that differ.
struct ExpectedLibrary
{
    Bytes original;
    Bytes patched;
    long scanTable = -1, e0List = -1, e1List = -1, decimal = -1;
};

inline ExpectedLibrary Expect(CInstall& install, const unsigned char* blob, int size, int variant,
                              bool decimal, const KeyEntry* keys, int keyCount)
{
    ExpectedLibrary out;
    out.original = DecodeBlob(install, blob, size);
    out.patched = out.original;
    Bytes& image = out.patched;
    auto put = [&image](size_t at, uint16_t value) {
        image[at] = static_cast<unsigned char>(value);
        image[at + 1] = static_cast<unsigned char>(value >> 8);
    };
    if (keys && keyCount > 0)
    {
        out.scanTable = FindOnce(image, PatternBytes(install, 147 + variant));
        for (int k = 0; k < keyCount && out.scanTable >= 0; k++)
        {
            if (keys[k].scanCode < 127 && keys[k].virtualKey)
                put(out.scanTable + 2 * keys[k].scanCode, keys[k].virtualKey);
        }
        for (int list = 0; list < 2; list++)
        {
            long start = FindOnce(image, PatternBytes(install, 150 + list));
            (list ? out.e1List : out.e0List) = start;
            const uint16_t prefix = list ? 0xE100 : 0xE000;
            for (int k = 0; k < keyCount && start >= 0; k++)
            {
                if ((keys[k].scanCode & 0xFF00) != prefix || !keys[k].virtualKey)
                    continue;
                for (size_t r = start; r + 4 <= image.size() && image[r]; r += 4)
                {
                    if (image[r] == (keys[k].scanCode & 0xFF))
                    {
                        put(r + 2, keys[k].virtualKey);
                        break;
                    }
                }
            }
        }
    }
    if (decimal)
    {
        out.decimal = FindOnce(image, PatternBytes(install, 146));
        if (out.decimal >= 0)
        {
            image[out.decimal] = 44;
            image[out.decimal + 2] = 44;
        }
    }
    return out;
}

inline std::vector<size_t> Differences(const Bytes& a, const Bytes& b)
{
    std::vector<size_t> at;
    for (size_t i = 0; i < a.size() && i < b.size(); i++)
    {
        if (a[i] != b[i])
            at.push_back(i);
    }
    return at;
}
}
