// Planting and inspecting registry values directly through the platform, so that the tests do
// not depend on the layer they check.
#pragma once

#include <windows.h>
#include <shlwapi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/GString.h"

namespace regtest
{
typedef std::vector<unsigned char> Bytes;

inline Bytes WideBytes(const std::wstring& text, bool terminator)
{
    Bytes bytes;
    for (wchar_t unit : text)
    {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>((unit >> 8) & 0xFF));
    }
    if (terminator)
    {
        bytes.push_back(0);
        bytes.push_back(0);
    }
    return bytes;
}

inline Bytes DwordBytes(uint32_t value)
{
    return Bytes{static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                 static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
}

inline void DeleteTree(HKEY root, const wchar_t* path)
{
    LONG status = SHDeleteKeyW(root, path);
    ASSERT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << status;
}

// Creates (or opens) root\path; the caller closes the handle.
inline HKEY MakeKey(HKEY root, const std::wstring& path)
{
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr))
        << "creating " << std::string(path.begin(), path.end());
    return key;
}

inline void Plant(HKEY key, const wchar_t* name, DWORD type, const Bytes& data)
{
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, type, data.empty() ? nullptr : data.data(),
                                            static_cast<DWORD>(data.size())));
}

inline void PlantString(HKEY key, const wchar_t* name, const std::wstring& text)
{
    Plant(key, name, REG_SZ, WideBytes(text, true));
}

inline void PlantDword(HKEY key, const wchar_t* name, uint32_t value)
{
    Plant(key, name, REG_DWORD, DwordBytes(value));
}

// The stored bytes and type of a value; false when it does not exist.
inline bool ReadRaw(HKEY key, const wchar_t* name, DWORD* type, Bytes* data)
{
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, type, nullptr, &size) != ERROR_SUCCESS)
        return false;
    data->assign(size, 0);
    if (size == 0)
        return true;
    return RegQueryValueExW(key, name, nullptr, type, data->data(), &size) == ERROR_SUCCESS;
}

inline bool ValueExists(HKEY root, const std::wstring& path, const wchar_t* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    bool exists = RegQueryValueExW(key, name, nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return exists;
}

inline bool KeyExists(HKEY root, const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

inline std::wstring Wide(const GString& text)
{
    if (!text.wide)
        return L"<narrow>";
    return std::wstring(text.WideText(0), static_cast<size_t>(text.length));
}
}
