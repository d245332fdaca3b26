// The keyboard-layout libraries of an installation: which catalogue cells this system needs,
// where they go, and the user's copy of each, patched in memory and handed to the system to be
// moved into place at the next restart.
//
// The patched tables of a library image (located by the byte patterns of strings 146-151):
//
//   scan-code table   u16 virtual key [127], indexed by scan code     at A (pattern 147 + variant)
//   E0 list, E1 list  records {u8 scan code, u8 pad, u16 virtual key}, at B (150) and C (151),
//                     ended by a record whose scan-code byte is 0
//   decimal key       u16 character, u16 character                     at D (146); low bytes set
#include "core/Install.h"

#include "payload/AssetStore.h"

#include <shlobj.h>

#include <stdlib.h>

namespace
{
const int kStringLibraryName = 83;
const int kStringWow64FolderFunction = 60;
const int kStringKernelModule = 144;
const int kStringPatternDecimal = 146;
const int kStringPatternScanTable = 147;  // + LayoutVariant
const int kStringPatternE0 = 150;
const int kStringPatternE1 = 151;

const int kWow64FolderChars = 2309;
const int kScanTableEntries = 127;
const unsigned char kComma = 44;

const uint16_t kArchIntel = 0;
const uint16_t kArchIa64 = 6;
const uint16_t kArchAmd64 = 9;

typedef UINT(WINAPI* Wow64FolderFn)(LPWSTR buffer, UINT size);

// The decoded pattern of a string id, found in the image; -1 when the text is missing, empty or
// not upper-case hexadecimal, or when the pattern does not occur.
int FindPattern(CInstall& install, int id, const unsigned char* image, int imageLength)
{
    int count = 0;
    unsigned char* pattern = install.DecodeHexBytes(id, &count);
    if (!pattern)
        return -1;
    const int offset = FindBytes(image, pattern, imageLength, count, 0);
    free(pattern);
    return offset;
}

void StoreU16(unsigned char* at, uint16_t value)
{
    at[0] = static_cast<unsigned char>(value & 0xFF);
    at[1] = static_cast<unsigned char>(value >> 8);
}

// Writes the virtual keys of the table's prefixed keys (scan codes prefix:00-FF) into the list
// at `list`. 0 when the list runs past the image without its end record: the pattern then
// matched something that is not the list.
int PatchPrefixedList(const KeyEntry* keys, int keyCount, uint16_t prefix, unsigned char* image,
                      int imageLength, int list)
{
    for (int k = 0; k < keyCount; k++)
    {
        const KeyEntry& key = keys[k];
        if ((key.scanCode & 0xFF00) != prefix || key.virtualKey == 0)
            continue;
        const unsigned char low = static_cast<unsigned char>(key.scanCode & 0xFF);
        for (int record = list;; record += 4)
        {
            if (record > imageLength - 4)
                return 0;
            if (image[record] == 0)
                break;
            if (image[record] == low)
            {
                StoreU16(image + record + 2, key.virtualKey);
                break;
            }
        }
    }
    return 1;
}
}

int CInstall::SelectLayoutLibraries(const unsigned char** primary, const unsigned char** secondary,
                                    int* primarySize, int* secondarySize)
{
    if (!primary || !secondary || !primarySize || !secondarySize)
        return 0;
    *primary = nullptr;
    *secondary = nullptr;
    *primarySize = -1;
    *secondarySize = -1;

    const uint16_t arch = m_processorArchitecture;
    int first;
    int second = -1;
    switch (m_osVersionCode)
    {
    case 50:
        first = 0;
        break;
    case 51:
        first = 1;
        break;
    case 52:
    case 60:
    case 61:
    {
        const int base = m_osVersionCode == 52 ? 2 : m_osVersionCode == 60 ? 5 : 8;
        first = base;
        if (arch == kArchIa64)
            second = m_osVersionCode == 52 ? 3 : base + 1;
        else if (arch == kArchAmd64)
            second = m_osVersionCode == 52 ? 4 : base + 2;
        else if (arch != kArchIntel)
            return 0;
        break;
    }
    default:
        first = 11;
        if (arch == kArchAmd64)
            second = 12;
        else if (arch != kArchIntel)
            return 0;
        break;
    }

    const int set = (m_layoutSetFlagA != 0 || m_layoutSetFlagB != 0) ? 1 : 0;
    const int row = m_layoutVariant;
    // The row is set before any install can start; anything else has no cell.
    if (row < 0 || row >= kCatalogueRows)
        return 0;
    *primary = g_layoutCatalogue.blob[set][row][first];
    *primarySize = g_layoutCatalogue.length[set][row][first];
    if (second >= 0)
    {
        *secondary = g_layoutCatalogue.blob[set][row][second];
        *secondarySize = g_layoutCatalogue.length[set][row][second];
    }
    return 1;
}

int CInstall::GetLayoutLibraryPaths(GString& target1, GString& target2, GString* staging1,
                                    GString* staging2)
{
    target1.ClearAs(1);
    target2.ClearAs(1);
    GString name;
    // Without a name there is no file to stage or to register.
    if (!LoadText(kStringLibraryName, name) || name.length == 0)
        return 0;

    if (staging1)
    {
        if (!staging1->Assign(m_programFolder) || !staging1->MakeWide() ||
            !staging1->AppendPathWide(name.WideText(0), name.length))
            return 0;
    }
    if (staging2 && m_is64BitOs)
    {
        if (!staging2->Assign(m_programFolder) || !staging2->MakeWide() ||
            !staging2->AppendPathWide(name.WideText(0), name.length) ||
            !staging2->AppendWideChar(L'6') || !staging2->AppendWideChar(L'4'))
            return 0;
    }

    if (m_is64BitOs)
    {
        if (!SpecialFolder(CSIDL_SYSTEM, target2))
            return 0;
        HMODULE module = nullptr;
        Wow64FolderFn folder = reinterpret_cast<Wow64FolderFn>(
            GetProcAddressById(kStringWow64FolderFunction, kStringKernelModule, &module));
        if (!folder)
        {
            if (module)
                FreeLibrary(module);
            target2.ClearAs(1);
            return 0;
        }
        wchar_t* buffer = target1.BeginWideWrite(kWow64FolderChars);
        UINT count = 0;
        if (buffer)
        {
            buffer[0] = 0;
            count = folder(buffer, kWow64FolderChars - 1);
        }
        FreeLibrary(module);
        // 0 is a refusal, and a count this large the size the folder would need.
        if (!buffer || count == 0 || count >= static_cast<UINT>(kWow64FolderChars - 1))
        {
            target1.ClearAs(1);
            target2.ClearAs(1);
            return 0;
        }
        buffer[count] = 0;
        if (!target1.SetLength(static_cast<int>(count)) ||
            !target2.AppendPathWide(name.WideText(0), name.length) ||
            !target1.AppendPathWide(name.WideText(0), name.length))
            return 0;
    }
    else
    {
        if (!SpecialFolder(CSIDL_SYSTEM, target1) ||
            !target1.AppendPathWide(name.WideText(0), name.length))
            return 0;
    }
    return 1;
}

int CInstall::StageLayoutLibrary(const wchar_t* target, const wchar_t* staging,
                                 const unsigned char* blob, int size)
{
    // An empty path would leave the library unstaged or unmoved while reporting success.
    if (!target || !staging || !blob || target[0] == 0 || staging[0] == 0)
        return 0;
    if (m_layoutVariant < 0 || m_layoutVariant > 2)
        return 0;
    const int wantDecimal = m_decimalVariant == 0;
    const int scanPatternId = kStringPatternScanTable + m_layoutVariant;

    int length = size;
    unsigned char* image = m_guard.Decode(blob, &length, nullptr);
    if (!image)
        return 0;

    // Every patch goes into the image in memory; the file is written only when all of them
    // were found, so a library is patched whole or not at all.
    int ok = 1;
    if (m_keys && m_keyCount > 0)
    {
        const int table = FindPattern(*this, scanPatternId, image, length);
        ok = table >= 0 && table <= length - 2 * kScanTableEntries;
        for (int k = 0; ok && k < m_keyCount; k++)
        {
            const KeyEntry& key = m_keys[k];
            if (key.scanCode < kScanTableEntries && key.virtualKey != 0)
                StoreU16(image + table + 2 * key.scanCode, key.virtualKey);
        }
        if (ok)
        {
            const int list = FindPattern(*this, kStringPatternE0, image, length);
            ok = list >= 0 && PatchPrefixedList(m_keys, m_keyCount, 0xE000, image, length, list);
        }
        if (ok)
        {
            const int list = FindPattern(*this, kStringPatternE1, image, length);
            ok = list >= 0 && PatchPrefixedList(m_keys, m_keyCount, 0xE100, image, length, list);
        }
    }
    if (ok && wantDecimal)
    {
        const int decimal = FindPattern(*this, kStringPatternDecimal, image, length);
        ok = decimal >= 0 && decimal <= length - 3;
        if (ok)
        {
            image[decimal] = kComma;
            image[decimal + 2] = kComma;
        }
    }
    if (!ok)
    {
        free(image);
        return 0;
    }

    HANDLE file = CreateFileForWrite(staging);
    if (!file)
    {
        free(image);
        return 0;
    }
    const int written = WriteBytes(file, image, length);
    CloseHandle(file);
    free(image);
    if (!written)
    {
        // A cut-off library must not be there for a pending move from an earlier run to find.
        DeleteFileW(staging);
        return 0;
    }

    RedirectionBracket bracket;
    EnterRedirectionBracket(bracket);
    MoveFileExW(staging, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
    LeaveRedirectionBracket(bracket);
    return 1;
}

int CInstall::InstallLayoutLibraries()
{
    GString target1, target2, staging1, staging2;
    if (!GetLayoutLibraryPaths(target1, target2, &staging1, &staging2))
        return 0;
    const unsigned char* primary = nullptr;
    const unsigned char* secondary = nullptr;
    int primarySize = -1;
    int secondarySize = -1;
    if (!SelectLayoutLibraries(&primary, &secondary, &primarySize, &secondarySize) || !primary)
        return 0;
    if (!StageLayoutLibrary(target1.MakeWide(), staging1.MakeWide(), primary, primarySize))
        return 0;
    if (m_is64BitOs &&
        !StageLayoutLibrary(target2.MakeWide(), staging2.MakeWide(), secondary, secondarySize))
        return 0;
    return 1;
}
