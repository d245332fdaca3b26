// Making the layout known to Windows and forgetting it again: the layout's key in the machine's
// keyboard-layout registry, the machine's scan-code map, three per-user hotkey values and the
// input-language settings file handed to a system command.
//
// The scan-code map (REG_BINARY, all fields little-endian):
//
//   offset      size  field
//   0           4     version, 0
//   4           4     flags, 0
//   8           4     entry count n + 1 (the mappings and the terminator)
//   12          4*n   mappings: u16 new scan code (0 = key off), u16 scan code of the physical key
//   12 + 4*n    4     terminator, 0
#include "core/Install.h"

#include <stdlib.h>
#include <string.h>

namespace
{
const uint32_t kSetValueCreateSubKey = 0x0006;  // KEY_SET_VALUE | KEY_CREATE_SUB_KEY
const uint32_t kKeyWrite = 0x20006;
const uint32_t kKeyReadWrite = 0x2001F;
const uint32_t kKeyRead = 0x20019;
const uint32_t kWow64Native = 0x0100;  // KEY_WOW64_64KEY

enum
{
    kKeyLayouts = 3,
    kKeyScancodeMap = 5,
    kValueScancodeMap = 6,
    kKeyHotkeys = 13,
    kValueHotkeyFirst = 14,
    kValueLayoutText = 17,
    kValueLayoutFile = 18,
    kValueLayoutId = 19,
    kValueLayoutDisplayName = 20,
    kTempFilePrefix = 47,
    kCommandTemplate = 49,
    kFunctionDeleteKeyEx = 59,
    kTemplateAddEarly = 62,
    kTemplateAddLater = 63,
    kTextDefaultInput = 64,
    kTemplateRemoveEarly = 65,
    kTemplateRemoveLater = 66,
    kLayoutText = 81,
    kLayoutFile = 83,
    kLayoutId = 84,
    kLayoutKeyName = 85,
    kLayoutDisplayName = 87,
    kTemplateAddExtra = 90,
    kModuleRegistry = 145
};

typedef LONG(WINAPI* DeleteKeyExFn)(HKEY key, const wchar_t* subKey, REGSAM access, DWORD reserved);

void PutU16(unsigned char* at, uint32_t value)
{
    at[0] = static_cast<unsigned char>(value & 0xFF);
    at[1] = static_cast<unsigned char>((value >> 8) & 0xFF);
}

void PutU32(unsigned char* at, uint32_t value)
{
    PutU16(at, value & 0xFFFF);
    PutU16(at + 2, value >> 16);
}

// File names compare without regard to case, as the file system does.
int SameFileName(GString& a, GString& b)
{
    if (!a.MakeWide() || !b.MakeWide() || !a.ToUpper() || !b.ToUpper())
        return 0;
    return a.CompareWide(b.WideText(), b.length) == 0;
}
}

// The layout key under our key name belongs to another layout when its library value names a
// different file. Such a key is neither overwritten nor deleted: that would take the other
// layout away from its users. A key without a library value is a registration of ours that
// stopped half-way.
int CInstall::IsLayoutKeyForeign()
{
    const uint32_t access = kKeyRead | (m_is64BitOs ? kWow64Native : 0);
    HKEY layouts = OpenKeyById(HKEY_LOCAL_MACHINE, kKeyLayouts, access);
    if (!layouts)
        return 0;
    HKEY entry = OpenKeyById(layouts, kLayoutKeyName, access);
    int foreign = 0;
    if (entry)
    {
        GString stored, ours;
        if (QueryStringValueById(entry, kValueLayoutFile, stored) && stored.length > 0)
            foreign = !LoadText(kLayoutFile, ours) || !SameFileName(stored, ours);
        RegCloseKey(entry);
    }
    RegCloseKey(layouts);
    return foreign;
}

int CInstall::RegisterLayout()
{
    if (IsLayoutKeyForeign())
        return 0;
    const uint32_t access = kSetValueCreateSubKey | (m_is64BitOs ? kWow64Native : 0);
    HKEY layouts = OpenKeyById(HKEY_LOCAL_MACHINE, kKeyLayouts, access);
    if (!layouts)
        return 0;
    HKEY entry = CreateKeyById(layouts, kLayoutKeyName, access);
    if (!entry)
    {
        RegCloseKey(layouts);
        return 0;
    }
    const int values[4][2] = {
        {kValueLayoutText, kLayoutText},
        {kValueLayoutDisplayName, kLayoutDisplayName},
        {kValueLayoutId, kLayoutId},
        {kValueLayoutFile, kLayoutFile},
    };
    int written = 1;
    for (int i = 0; i < 4 && written; ++i)
        written = SetStringValueByIds(entry, values[i][0], values[i][1]);
    RegCloseKey(entry);
    RegCloseKey(layouts);
    return written;
}

int CInstall::UnregisterLayout()
{
    const uint32_t access = kKeyWrite | (m_is64BitOs ? kWow64Native : 0);
    // Another layout registered under our key name since is left alone.
    const int foreign = IsLayoutKeyForeign();
    HKEY layouts = OpenKeyById(HKEY_LOCAL_MACHINE, kKeyLayouts, access);
    if (!layouts)
        return 0;
    HKEY entry = OpenKeyById(layouts, kLayoutKeyName, access);
    if (!entry)
    {
        RegCloseKey(layouts);
        return 0;
    }
    if (foreign)
    {
        RegCloseKey(entry);
        RegCloseKey(layouts);
        return 1;
    }
    const int values[4] = {kValueLayoutText, kValueLayoutDisplayName, kValueLayoutId,
                           kValueLayoutFile};
    for (int i = 0; i < 4; ++i)
        DeleteValueById(entry, values[i]);
    RegCloseKey(entry);

    // RegDeleteKeyW would reach into the 32-bit view from this 32-bit process; the native key
    // needs the extended call, which Windows 2000 lacks.
    HMODULE module = nullptr;
    int deleted = 0;
    if (m_is64BitOs)
    {
        DeleteKeyExFn deleteKeyEx = reinterpret_cast<DeleteKeyExFn>(
            GetProcAddressById(kFunctionDeleteKeyEx, kModuleRegistry, &module));
        GString name;
        if (deleteKeyEx && LoadText(kLayoutKeyName, name) && name.length > 0)
            deleted = deleteKeyEx(layouts, name.WideText(), kWow64Native, 0) == ERROR_SUCCESS;
    }
    if (!deleted)
        DeleteKeyById(layouts, kLayoutKeyName);
    RegCloseKey(layouts);
    if (module)
        FreeLibrary(module);
    return 1;
}

int CInstall::WriteScancodeMap()
{
    if (!m_keys || m_keyCount <= 0)
        return 0;
    int count = 0;
    for (int i = 0; i < m_keyCount && m_keys[i].scanCode != 0; ++i)
        if (m_keys[i].remapTo != 0)
            ++count;
    // No map is created where none existed; one read at start-up is cleared by the empty map.
    if (count == 0 && !m_scancodeMapRead)
        return 1;

    const int size = 16 + 4 * count;
    unsigned char* map = static_cast<unsigned char*>(malloc(static_cast<size_t>(size)));
    if (!map)
        return 0;
    memset(map, 0, static_cast<size_t>(size));
    PutU32(map + 8, static_cast<uint32_t>(count + 1));
    unsigned char* at = map + 12;
    int written = 0;
    for (int i = 0; i < m_keyCount && m_keys[i].scanCode != 0 && written < count; ++i)
    {
        const KeyEntry& key = m_keys[i];
        if (key.remapTo == 0)
            continue;
        PutU16(at, key.remapTo == kRemapDisabled ? 0 : key.remapTo);
        PutU16(at + 2, key.scanCode);
        at += 4;
        ++written;
    }

    int result = 0;
    HKEY mapKey = OpenKeyById(HKEY_LOCAL_MACHINE, kKeyScancodeMap, kKeyWrite);
    if (mapKey)
    {
        result = SetBinaryValueById(mapKey, kValueScancodeMap, map, size);
        RegCloseKey(mapKey);
    }
    free(map);
    return result;
}

int CInstall::WriteHotkeyValues()
{
    // A profile that never had its hotkeys changed may lack the key (Wine's always does); the
    // user asked for the values, so the key is made rather than the whole installation failed.
    HKEY key = CreateKeyById(HKEY_CURRENT_USER, kKeyHotkeys, kKeyReadWrite);
    if (!key)
        return 0;
    // "3" switches the hotkey off.
    GString off;
    int written = off.AssignWide(L"3");
    for (int i = 0; i < 3 && written; ++i)
        written = SetStringValueById(key, kValueHotkeyFirst + i, off);
    RegCloseKey(key);
    return written;
}

int CInstall::AddInputLanguage(uint16_t languageId, int setAsDefault)
{
    // Before Vista the registration alone makes the layout available.
    if (m_osVersionCode < 60)
        return 1;
    GString path;
    if (!MakeTempFile(path, kTempFilePrefix, nullptr))
        return 0;

    GString keyName, extra, defaultText, pattern, text;
    LoadText(kLayoutKeyName, keyName);
    LoadText(kTemplateAddExtra, extra);
    LoadText(kTextDefaultInput, defaultText);
    const wchar_t* defaultArgument = setAsDefault ? defaultText.MakeWide() : L"";
    const unsigned int language = languageId;
    if (extra.length > 0 && m_osVersionCode >= 62)
    {
        LoadText(kTemplateAddLater, pattern);
        Format(&text, pattern.MakeWide(), extra.MakeWide(), language, keyName.MakeWide(),
               defaultArgument, language, language);
        text.DebugOut(65535);
    }
    else
    {
        LoadText(kTemplateAddEarly, pattern);
        Format(&text, pattern.MakeWide(), language, keyName.MakeWide(), defaultArgument);
    }

    HANDLE file = CreateFileForWrite(path);
    if (!file)
    {
        DeleteOrSchedule(path);
        return 0;
    }
    const int written = WriteText(file, text);
    CloseHandle(file);
    if (written)
    {
        RunCommand(kCommandTemplate, path.MakeWide());
        // The command reads the file after it has been started; give it time before the file goes.
        Sleep(500);
    }
    DeleteOrSchedule(path);
    return 1;
}

int CInstall::RemoveInputLanguage()
{
    // Another installation still uses the layout.
    if (m_installCount > 1)
        return 1;
    GString path;
    if (!MakeTempFile(path, kTempFilePrefix, nullptr))
        return 0;

    GString pattern, text;
    if (m_osVersionCode < 60)
    {
        LoadText(kTemplateRemoveEarly, pattern);
        Format(&text, pattern.MakeWide(), L"", L"");
    }
    else
    {
        LoadText(kTemplateRemoveLater, pattern);
        Format(&text, pattern.MakeWide(), L"");
    }

    HANDLE file = CreateFileForWrite(path);
    const int written = file && WriteText(file, text);
    if (file)
        CloseHandle(file);
    if (!written)
    {
        DeleteOrSchedule(path);
        return 0;
    }
    RunCommand(kCommandTemplate, path.MakeWide());
    // The command may still be reading the file; it goes at the restart the uninstall offers.
    MoveFileExW(path.WideText(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return 1;
}
