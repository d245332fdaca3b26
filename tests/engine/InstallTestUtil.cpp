#include "tests/engine/InstallTestUtil.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "payload/AssetStore.h"

namespace insttest
{
const wchar_t kLayoutsKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts";
const wchar_t kLayoutKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\a0030415";
const wchar_t kMapKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout";
const wchar_t kMapValue[] = L"Scancode Map";
const wchar_t kToggleKey[] = L"Keyboard Layout\\Toggle";
const wchar_t kVendorKey[] = L"SOFTWARE\\Acme";
const wchar_t kRecordKey[] = L"SOFTWARE\\Acme\\Acme Keys";
const wchar_t kDocGroupKey[] = L"SOFTWARE\\Acme\\Acme Keys\\Documents";
const wchar_t kDocKey[] = L"SOFTWARE\\Acme\\Acme Keys\\Documents\\Manual";
const wchar_t kInstallGroupKey[] = L"SOFTWARE\\Acme\\Acme Keys\\Installation";
const wchar_t kInstallKey[] = L"SOFTWARE\\Acme\\Acme Keys\\Installation\\Layout";
const wchar_t kLibraryName[] = L"kbdacme.dll";
const wchar_t kRecorderFolder[] = L"C:\\kbdtest";

namespace
{
const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingValue[] = L"PendingFileRenameOperations";

std::wstring Join(const std::wstring& folder, const std::wstring& name)
{
    if (!folder.empty() && folder.back() == L'\\')
        return folder + name;
    return folder + L"\\" + name;
}

// The command of the settings files, when this program is started as it: keeps a copy of the
// file it was given (the installer deletes its own soon after) and its path, then ends.
struct Recorder
{
    Recorder()
    {
        int count = 0;
        wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
        if (!args)
            return;
        if (count == 3 && std::wstring(args[1]) == L"--record")
        {
            for (int n = 1; n < 1000; ++n)
            {
                const std::wstring base = Join(kRecorderFolder, L"recorded-" + std::to_wstring(n));
                if (GetFileAttributesW((base + L".txt").c_str()) != INVALID_FILE_ATTRIBUTES)
                    continue;
                CopyFileW(args[2], (base + L".txt").c_str(), TRUE);
                HANDLE file = CreateFileW((base + L".path").c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
                if (file != INVALID_HANDLE_VALUE)
                {
                    DWORD written = 0;
                    WriteFile(file, args[2], static_cast<DWORD>(wcslen(args[2]) * 2), &written,
                              nullptr);
                    CloseHandle(file);
                }
                break;
            }
            ExitProcess(0);
        }
        LocalFree(args);
    }
} g_recorder;

void RemoveFolderTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Join(folder, L"*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE)
    {
        do
        {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = Join(folder, name);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolderTree(path);
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

HKEY Open(HKEY root, const std::wstring& path, REGSAM access)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, access | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

bool ReadValue(HKEY root, const std::wstring& path, const wchar_t* name, DWORD* type, Bytes* data)
{
    HKEY key = Open(root, path, KEY_READ);
    if (!key)
        return false;
    DWORD size = 0;
    bool ok = RegQueryValueExW(key, name, nullptr, type, nullptr, &size) == ERROR_SUCCESS;
    if (ok)
    {
        data->assign(size, 0);
        ok = RegQueryValueExW(key, name, nullptr, type, data->empty() ? nullptr : data->data(),
                              &size) == ERROR_SUCCESS;
        data->resize(size);
    }
    RegCloseKey(key);
    return ok;
}

std::wstring StripNtPrefix(std::wstring path, bool* replace)
{
    *replace = false;
    if (!path.empty() && path[0] == L'!')
    {
        *replace = true;
        path.erase(0, 1);
    }
    if (path.compare(0, 4, L"\\??\\") == 0)
        path.erase(0, 4);
    return path;
}

Bytes DecodeHex(const std::wstring& text)
{
    Bytes bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        bytes.push_back(static_cast<unsigned char>(std::stoi(Narrow(text.substr(i, 2)), nullptr, 16)));
    return bytes;
}

size_t Find(const Bytes& hay, const Bytes& needle)
{
    auto at = std::search(hay.begin(), hay.end(), needle.begin(), needle.end());
    return at == hay.end() ? std::string::npos : static_cast<size_t>(at - hay.begin());
}
}

std::wstring SpecialFolder(int csidl)
{
    wchar_t buffer[MAX_PATH + 1] = {0};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE))
        return std::wstring();
    return buffer;
}

std::wstring SystemFolder()
{
    return SpecialFolder(CSIDL_SYSTEM);
}

std::wstring Wow64Folder()
{
    wchar_t buffer[MAX_PATH + 1] = {0};
    UINT length = GetSystemWow64DirectoryW(buffer, MAX_PATH);
    return std::wstring(buffer, length);
}

std::wstring OwnPath()
{
    wchar_t buffer[1024] = {0};
    DWORD length = GetModuleFileNameW(nullptr, buffer, 1023);
    return std::wstring(buffer, length);
}

ExpectedPaths Paths()
{
    ExpectedPaths p;
    p.programParent = Join(SpecialFolder(CSIDL_PROGRAM_FILES), L"Acme");
    p.programFolder = Join(p.programParent, L"Acme Keys");
    p.menuParent = Join(SpecialFolder(CSIDL_COMMON_PROGRAMS), L"Acme");
    p.menuFolder = Join(p.menuParent, L"Acme Keys");
    p.desktop = SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    const std::wstring g = L"Acme Keys (Manual)";
    p.docMain = Join(p.programFolder, g + L".pdf");
    p.docMainMenuLink = Join(p.menuFolder, g + L".lnk");
    p.docMainDesktopLink = Join(p.desktop, g + L".lnk");
    p.docSecond = Join(p.programFolder, L"Acme Keys Chart.pdf");
    p.docSecondMenuLink = Join(p.menuFolder, L"Acme Keys Chart.lnk");
    p.docSecondDesktopLink = Join(p.desktop, L"Acme Keys Chart.lnk");
    p.textFile = Join(p.programFolder, L"Acme Keys Read Me.txt");
    p.textFileMenuLink = Join(p.menuFolder, L"Acme Keys Read Me.lnk");
    p.textFileDesktopLink = Join(p.desktop, L"Acme Keys Read Me.lnk");
    p.pageMenuLink = Join(p.menuFolder, L"Acme Keys on the Web.url");
    p.pageDesktopLink = Join(p.desktop, L"Acme Keys on the Web.url");
    p.pageFile = Join(p.programFolder, L"acme-keys.html");
    const std::wstring own = OwnPath();
    p.setupCopy = Join(p.programFolder, own.substr(own.find_last_of(L'\\') + 1));
    p.setupMenuLink = Join(p.menuFolder, L"Acme Keys Setup.lnk");
    return p;
}

void Start(CInstall& install)
{
    ASSERT_EQ(1, install.Init(GetModuleHandleW(nullptr)));
    install.ProbeSystem(58, 144);
    install.m_layoutLanguageId = 0x0415;
    install.BuildPaths();
    install.ReadScancodeMap();
    install.ReadInstalledState();
}

void Wipe()
{
    DeleteTree(HKEY_LOCAL_MACHINE, kVendorKey);
    DeleteTree(HKEY_LOCAL_MACHINE, kLayoutKey);
    // Windows always has the parent keys of the layouts and of the scan-code map, which the
    // installer opens but never creates; a fresh Wine prefix has neither.
    for (const wchar_t* parent : {kLayoutsKey, kMapKey})
    {
        HKEY made = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, parent, 0, nullptr, 0, KEY_READ | KEY_WOW64_64KEY,
                            nullptr, &made, nullptr) == ERROR_SUCCESS)
            RegCloseKey(made);
    }
    HKEY key = Open(HKEY_LOCAL_MACHINE, kMapKey, KEY_SET_VALUE);
    if (key)
    {
        RegDeleteValueW(key, kMapValue);
        RegCloseKey(key);
    }
    key = Open(HKEY_LOCAL_MACHINE, kSessionManager, KEY_SET_VALUE);
    if (key)
    {
        RegDeleteValueW(key, kPendingValue);
        RegCloseKey(key);
    }
    // A fresh Wine profile has no such key.
    DeleteTree(HKEY_CURRENT_USER, kToggleKey);

    const ExpectedPaths p = Paths();
    RemoveFolderTree(p.programParent);
    RemoveFolderTree(p.menuParent);
    for (const std::wstring& link : {p.docMainDesktopLink, p.docSecondDesktopLink,
                                     p.textFileDesktopLink, p.pageDesktopLink})
        DeleteFileW(link.c_str());
    const std::wstring personal = SpecialFolder(CSIDL_PERSONAL);
    const std::wstring userDesktop = SpecialFolder(CSIDL_DESKTOP);
    for (const std::wstring& old : {Join(personal, L"Acme Keys Manual.pdf"),
                                    Join(userDesktop, L"Acme Keys Manual.lnk"),
                                    Join(personal, L"Acme Keys Readme.txt"),
                                    Join(userDesktop, L"Acme Keys Readme.lnk")})
        DeleteFileW(old.c_str());
    DeleteFileW(Join(SystemFolder(), kLibraryName).c_str());
    DeleteFileW(Join(Wow64Folder(), kLibraryName).c_str());
    RemoveFolderTree(kRecorderFolder);
}

bool KeyExists(HKEY root, const std::wstring& path)
{
    HKEY key = Open(root, path, KEY_READ);
    if (key)
        RegCloseKey(key);
    return key != nullptr;
}

bool ValueExists(HKEY root, const std::wstring& path, const wchar_t* name)
{
    DWORD type = 0;
    Bytes data;
    return ReadValue(root, path, name, &type, &data);
}

std::wstring ReadString(HKEY root, const std::wstring& path, const wchar_t* name)
{
    DWORD type = 0;
    Bytes data;
    if (!ReadValue(root, path, name, &type, &data) || type != REG_SZ)
        return L"<missing>";
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2);
    while (!text.empty() && text.back() == 0)
        text.pop_back();
    return text;
}

uint32_t ReadDword(HKEY root, const std::wstring& path, const wchar_t* name, bool* found)
{
    DWORD type = 0;
    Bytes data;
    const bool ok = ReadValue(root, path, name, &type, &data) && type == REG_DWORD && data.size() == 4;
    if (found)
        *found = ok;
    if (!ok)
        return 0xFFFFFFFFu;
    return data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<uint32_t>(data[3]) << 24);
}

Bytes ReadBinary(HKEY root, const std::wstring& path, const wchar_t* name, bool* found)
{
    DWORD type = 0;
    Bytes data;
    const bool ok = ReadValue(root, path, name, &type, &data) && type == REG_BINARY;
    if (found)
        *found = ok;
    return ok ? data : Bytes();
}

void WriteString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * 2)));
    RegCloseKey(key);
}

void WriteDword(HKEY root, const std::wstring& path, const wchar_t* name, uint32_t value)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr));
    DWORD data = value;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, REG_DWORD,
                                            reinterpret_cast<const BYTE*>(&data), 4));
    RegCloseKey(key);
}

void DeleteTree(HKEY root, const std::wstring& path)
{
    const LONG status = SHDeleteKeyW(root, path.c_str());
    ASSERT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << status;
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

Bytes ReadFileBytes(const std::wstring& path, bool* found)
{
    Bytes bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (found)
        *found = file != INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    const DWORD size = GetFileSize(file, nullptr);
    bytes.assign(size, 0);
    DWORD read = 0;
    if (size && !ReadFile(file, bytes.data(), size, &read, nullptr))
        read = 0;
    bytes.resize(read);
    CloseHandle(file);
    return bytes;
}

std::string ReadFileText(const std::wstring& path)
{
    bool found = false;
    const Bytes bytes = ReadFileBytes(path, &found);
    if (!found)
        return "<missing>";
    return std::string(bytes.begin(), bytes.end());
}

void WriteFileText(const std::wstring& path, const std::string& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << Narrow(path);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
    CloseHandle(file);
}

Shortcut ReadShortcut(const std::wstring& link)
{
    Shortcut result;
    IShellLinkW* shellLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shellLink))))
        return result;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))))
    {
        if (SUCCEEDED(file->Load(link.c_str(), STGM_READ)))
        {
            result.loaded = true;
            wchar_t buffer[1024] = {0};
            if (SUCCEEDED(shellLink->GetPath(buffer, 1024, nullptr, SLGP_RAWPATH)))
                result.target = buffer;
            buffer[0] = 0;
            if (SUCCEEDED(shellLink->GetDescription(buffer, 1024)))
                result.description = buffer;
            buffer[0] = 0;
            int index = -1;
            if (SUCCEEDED(shellLink->GetIconLocation(buffer, 1024, &index)))
            {
                result.icon = buffer;
                result.iconIndex = index;
            }
        }
        file->Release();
    }
    shellLink->Release();
    return result;
}

std::vector<PendingOperation> PendingOperations()
{
    std::vector<PendingOperation> operations;
    DWORD type = 0;
    Bytes data;
    if (!ReadValue(HKEY_LOCAL_MACHINE, kSessionManager, kPendingValue, &type, &data))
        return operations;
    const wchar_t* text = reinterpret_cast<const wchar_t*>(data.data());
    const size_t units = data.size() / 2;
    std::vector<std::wstring> strings;
    size_t start = 0;
    for (size_t i = 0; i < units; ++i)
        if (text[i] == 0)
        {
            strings.push_back(std::wstring(text + start, i - start));
            start = i + 1;
        }
    // The list ends with an empty string after the last pair.
    for (size_t i = 0; i + 1 < strings.size(); i += 2)
    {
        PendingOperation op;
        bool ignored = false;
        op.source = StripNtPrefix(strings[i], &ignored);
        op.target = StripNtPrefix(strings[i + 1], &op.replace);
        operations.push_back(op);
    }
    return operations;
}

bool HasPendingDeletion(const std::wstring& path)
{
    for (const PendingOperation& op : PendingOperations())
        if (SameText(op.source, path) && op.target.empty())
            return true;
    return false;
}

bool HasPendingMove(const std::wstring& source, const std::wstring& target)
{
    for (const PendingOperation& op : PendingOperations())
        if (SameText(op.source, source) && SameText(op.target, target) && op.replace)
            return true;
    return false;
}

std::vector<std::string> RecordedSettings()
{
    std::vector<std::string> texts;
    for (int n = 1; n < 1000; ++n)
    {
        const std::wstring path = Join(kRecorderFolder, L"recorded-" + std::to_wstring(n) + L".txt");
        if (!FileExists(path))
            break;
        texts.push_back(ReadFileText(path));
    }
    return texts;
}

std::vector<std::wstring> RecordedPaths()
{
    std::vector<std::wstring> paths;
    for (int n = 1; n < 1000; ++n)
    {
        const std::wstring path = Join(kRecorderFolder, L"recorded-" + std::to_wstring(n) + L".path");
        bool found = false;
        const Bytes bytes = ReadFileBytes(path, &found);
        if (!found)
            break;
        paths.push_back(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2));
    }
    return paths;
}

void InstallRecorder()
{
    CreateDirectoryW(kRecorderFolder, nullptr);
    ASSERT_TRUE(CopyFileW(OwnPath().c_str(), Join(kRecorderFolder, L"recorder.exe").c_str(), FALSE));
}

std::wstring Text(CInstall& install, int id)
{
    GString text;
    install.LoadText(id, text);
    return std::wstring(text.WideText(0), static_cast<size_t>(text.length));
}

std::string Narrow(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                        nullptr, nullptr);
    return out;
}

bool SameText(const std::wstring& a, const std::wstring& b)
{
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()),
                          b.c_str(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

Bytes DecodeCell(CInstall& install, int set, int row, int slot)
{
    const unsigned char* blob = g_layoutCatalogue.blob[set][row][slot];
    int length = g_layoutCatalogue.length[set][row][slot];
    if (!blob || length <= 0)
        return Bytes();
    unsigned char* image = install.m_guard.Decode(blob, &length, nullptr);
    if (!image)
        return Bytes();
    Bytes bytes(image, image + length);
    free(image);
    return bytes;
}

Bytes ExpectedPatchedImage(CInstall& install, const Bytes& image, int layoutVariant,
                           int decimalVariant, std::vector<size_t>* patched)
{
    Bytes out = image;
    std::vector<size_t> places;
    auto put = [&](size_t at, uint16_t value) {
        out.at(at) = static_cast<unsigned char>(value & 0xFF);
        out.at(at + 1) = static_cast<unsigned char>(value >> 8);
        places.push_back(at);
        places.push_back(at + 1);
    };
    const size_t a = Find(image, DecodeHex(Text(install, 147 + layoutVariant)));
    const size_t e0 = Find(image, DecodeHex(Text(install, 150)));
    const size_t e1 = Find(image, DecodeHex(Text(install, 151)));
    EXPECT_NE(std::string::npos, a);
    EXPECT_NE(std::string::npos, e0);
    EXPECT_NE(std::string::npos, e1);
    if (a == std::string::npos || e0 == std::string::npos || e1 == std::string::npos)
        return out;
    for (int i = 0; i < install.m_keyCount; ++i)
    {
        const KeyEntry& key = install.m_keys[i];
        if (key.virtualKey == 0)
            continue;
        if (key.scanCode < 127)
            put(a + 2 * key.scanCode, key.virtualKey);
        const int prefix = key.scanCode >> 8;
        if (prefix == 0xE0 || prefix == 0xE1)
        {
            for (size_t at = prefix == 0xE0 ? e0 : e1; at + 4 <= out.size() && out[at] != 0; at += 4)
                if (out[at] == (key.scanCode & 0xFF))
                {
                    put(at + 2, key.virtualKey);
                    break;
                }
        }
    }
    if (decimalVariant == 0)
    {
        const size_t d = Find(out, DecodeHex(Text(install, 146)));
        EXPECT_NE(std::string::npos, d);
        if (d != std::string::npos)
        {
            out[d] = 44;
            out[d + 2] = 44;
            places.push_back(d);
            places.push_back(d + 2);
        }
    }
    std::sort(places.begin(), places.end());
    places.erase(std::unique(places.begin(), places.end()), places.end());
    if (patched)
        *patched = places;
    return out;
}

void LibrarySlots(const CInstall& install, int* primary, int* secondary)
{
    switch (install.m_osVersionCode)
    {
    case 52: *primary = 2; *secondary = 4; break;
    case 60: *primary = 5; *secondary = 7; break;
    case 61: *primary = 8; *secondary = 10; break;
    default: *primary = 11; *secondary = 12; break;
    }
}

std::string ExpectedAddSettings(const CInstall& install, uint16_t language, int setAsDefault)
{
    char id[8];
    snprintf(id, sizeof(id), "%04x", static_cast<unsigned>(language));
    const std::string def = setAsDefault ? "default" : "";
    if (install.m_osVersionCode >= 62)
        return std::string("add 63: extra [user], language ") + id + ", layout a0030415, default [" +
               def + "], again " + id + " " + id;
    return std::string("add 62: language ") + id + ", layout a0030415, default [" + def + "]";
}

void AssignTestKeys(CInstall& install)
{
    struct Change
    {
        uint16_t scanCode, virtualKey, remapTo;
    } changes[] = {
        {0x001E, 0x0042, 0},     // A key gives B
        {0x0010, 0x0041, 0},     // Q key gives A
        {0xE01C, 0x000D, 0},     // numeric-pad Enter as plain Enter
        {0xE11D, 0x0091, 0},     // Pause gives Scroll Lock
        {0x003A, 0, 0x001D},     // Caps Lock remapped to left Control
        {0x0046, 0, 255},        // Scroll Lock switched off
    };
    for (const Change& c : changes)
    {
        KeyEntry* key = install.FindKey(c.scanCode);
        ASSERT_NE(nullptr, key) << c.scanCode;
        if (c.virtualKey)
            key->virtualKey = c.virtualKey;
        if (c.remapTo)
            key->remapTo = c.remapTo;
    }
}

std::vector<std::wstring> SeedOlderCopy()
{
    const std::wstring personal = SpecialFolder(CSIDL_PERSONAL);
    const std::wstring desktop = SpecialFolder(CSIDL_DESKTOP);
    const std::vector<std::wstring> files = {
        Join(personal, L"Acme Keys Manual.pdf"), Join(desktop, L"Acme Keys Manual.lnk"),
        Join(personal, L"Acme Keys Readme.txt"), Join(desktop, L"Acme Keys Readme.lnk")};
    for (const std::wstring& f : files)
        WriteFileText(f, "older copy");
    WriteString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout Text", L"Acme Keys");
    WriteString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout Id", L"03a7");
    WriteString(HKEY_LOCAL_MACHINE, kLayoutKey, L"Layout File", L"kbdacme.dll");
    return files;
}
}
