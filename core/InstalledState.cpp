// The installer's own record of an installed copy, under HKEY_LOCAL_MACHINE:
//
//   K = key 7 \ key 8 \ key 10
//     11 original layout (SZ), 21 install count (DWORD), 72/73/74 text file and its links (SZ),
//     75/76/79 page links and page file (SZ), 31/32/33 second document and links (SZ),
//     34 second-document version (DWORD)
//   K \ key 24 \ key 23          main-document group
//     25/26/27 document and links (SZ), 28 version (DWORD), 29 use count (DWORD)
//   K \ key 36 \ key 89          the installation proper
//     37/38 setup copy and its link (SZ), 39 installer version (DWORD),
//     158 layout variant, 159 decimal variant, 155/156 layout set flags (DWORD),
//     157 key assignments (BINARY, packed KeyAssignment pairs)
//
// The numbers are string ids; the names themselves live in the string tables. The final value
// (HKEY_LOCAL_MACHINE \ key 4, value 71) is written once at the end of a run that changed
// something.
#include "core/Install.h"

#include <stdlib.h>

namespace
{
const uint32_t kKeyRead = 0x20019;
const uint32_t kKeyReadNative = 0x20119;  // KEY_READ | KEY_WOW64_64KEY
const uint32_t kKeyWrite = 0x20006;
const uint32_t kKeySetValueCreateSubKey = 0x0006;

const uint32_t kThisVersion = 190;
const uint32_t kOlderCopyVersion = 130;

enum
{
    kKeyLayouts = 3,
    kKeyFinal = 4,
    kKeyRecord1 = 7,
    kKeyRecord2 = 8,
    kKeyRecord3 = 10,
    kKeyDocMainGroup = 24,
    kKeyDocMainSub = 23,
    kKeyInstallGroup = 36,
    kKeyInstallSub = 89,
    kKeyLayoutEntry = 85,

    kValueOriginalLayout = 11,
    kFormatOriginalLayout = 12,
    kValueLayoutText = 17,
    kValueLayoutFile = 18,
    kValueLayoutId = 19,
    kValueInstallCount = 21,
    kValueDocMain = 25,
    kValueDocMainMenuLink = 26,
    kValueDocMainDesktopLink = 27,
    kValueDocMainVersion = 28,
    kValueDocMainUseCount = 29,
    kValueDocSecond = 31,
    kValueDocSecondMenuLink = 32,
    kValueDocSecondDesktopLink = 33,
    kValueDocSecondVersion = 34,
    kValueSetupCopy = 37,
    kValueSetupMenuLink = 38,
    kValueInstalledVersion = 39,
    kFinalTextLater = 50,
    kFinalTextEarly = 51,
    kValueFinal = 71,
    kValueTextFile = 72,
    kValueTextFileMenuLink = 73,
    kValueTextFileDesktopLink = 74,
    kValuePageMenuLink = 75,
    kValuePageDesktopLink = 76,
    kValuePageFile = 79,
    kExpectedLayoutText = 81,
    kExpectedLayoutFile = 83,
    kExpectedLayoutId = 84,
    kValueLayoutSetFlagA = 155,
    kValueLayoutSetFlagB = 156,
    kValueKeyAssignments = 157,
    kValueLayoutVariant = 158,
    kValueDecimalVariant = 159
};

void CloseKey(HKEY& key)
{
    if (key)
        RegCloseKey(key);
    key = nullptr;
}

// A DWORD read into a signed member; the member keeps its value unless the read succeeds.
int ReadSigned(CInstall& install, HKEY key, int valueId, int32_t& member)
{
    uint32_t value = 0;
    if (!install.QueryDwordValueById(key, valueId, &value))
        return 0;
    member = static_cast<int32_t>(value);
    return 1;
}

// An option value is taken only when it is one the program can act on.
void ReadOption(CInstall& install, HKEY key, int valueId, uint32_t highest, int32_t& member)
{
    uint32_t value = 0;
    if (install.QueryDwordValueById(key, valueId, &value) && value <= highest)
        member = static_cast<int32_t>(value);
}

// Values directly under K, in reading order; 0 at the first missing mandatory value.
int ReadRecordMain(CInstall& s, HKEY k)
{
    if (!s.QueryStringValueById(k, kValueOriginalLayout, s.m_storedOriginalLayout))
        return 0;
    if (!ReadSigned(s, k, kValueInstallCount, s.m_installCount))
        return 0;
    if (!s.QueryStringValueById(k, kValueTextFile, s.m_installedTextFile))
        return 0;
    s.QueryStringValueById(k, kValueTextFileMenuLink, s.m_installedTextFileMenuLink);
    s.QueryStringValueById(k, kValueTextFileDesktopLink, s.m_installedTextFileDesktopLink);
    if (!s.QueryStringValueById(k, kValuePageMenuLink, s.m_installedPageMenuLink))
        return 0;
    s.QueryStringValueById(k, kValuePageDesktopLink, s.m_installedPageDesktopLink);
    if (!s.QueryStringValueById(k, kValueDocSecond, s.m_installedDocSecond))
        return 0;
    if (!s.QueryStringValueById(k, kValueDocSecondMenuLink, s.m_installedDocSecondMenuLink))
        return 0;
    s.QueryStringValueById(k, kValueDocSecondDesktopLink, s.m_installedDocSecondDesktopLink);
    if (!s.QueryStringValueById(k, kValuePageFile, s.m_installedPageFile))
        return 0;
    if (!s.QueryDwordValueById(k, kValueDocSecondVersion, &s.m_docSecondVersion))
        return 0;
    return 1;
}

// The main-document group; a record without it reads on, a broken one stops.
int ReadRecordDocMain(CInstall& s, HKEY k)
{
    HKEY group = s.OpenKeyById(k, kKeyDocMainGroup, kKeyRead);
    if (!group)
        return 1;
    HKEY sub = s.OpenKeyById(group, kKeyDocMainSub, kKeyRead);
    if (!sub)
    {
        RegCloseKey(group);
        return 1;
    }
    int ok = s.QueryStringValueById(sub, kValueDocMain, s.m_installedDocMain) &&
             s.QueryStringValueById(sub, kValueDocMainMenuLink, s.m_installedDocMainMenuLink);
    if (ok)
    {
        s.QueryStringValueById(sub, kValueDocMainDesktopLink, s.m_installedDocMainDesktopLink);
        ok = s.QueryDwordValueById(sub, kValueDocMainVersion, &s.m_docMainVersion) &&
             ReadSigned(s, sub, kValueDocMainUseCount, s.m_docMainUseCount);
    }
    RegCloseKey(sub);
    RegCloseKey(group);
    return ok;
}

void ReadRecordInstallation(CInstall& s, HKEY k)
{
    HKEY group = s.OpenKeyById(k, kKeyInstallGroup, kKeyRead);
    if (!group)
        return;
    HKEY sub = s.OpenKeyById(group, kKeyInstallSub, kKeyRead);
    if (!sub)
    {
        RegCloseKey(group);
        return;
    }
    uint32_t version = 0;
    if (s.QueryStringValueById(sub, kValueSetupCopy, s.m_installedSetupCopy) &&
        s.QueryStringValueById(sub, kValueSetupMenuLink, s.m_installedSetupMenuLink) &&
        s.QueryDwordValueById(sub, kValueInstalledVersion, &version))
    {
        s.m_installedVersion = version;
        uint32_t size = 0;
        unsigned char* list = s.QueryBinaryValueById(sub, kValueKeyAssignments, &size);
        if (list && size > 0x7FFFFFFFu)
        {
            free(list);
            list = nullptr;
        }
        s.ApplyKeyAssignments(list, list ? static_cast<int>(size) : 0);
        ReadOption(s, sub, kValueLayoutVariant, 2, s.m_layoutVariant);
        ReadOption(s, sub, kValueDecimalVariant, 1, s.m_decimalVariant);
        ReadOption(s, sub, kValueLayoutSetFlagA, 1, s.m_layoutSetFlagA);
        ReadOption(s, sub, kValueLayoutSetFlagB, 1, s.m_layoutSetFlagB);
    }
    RegCloseKey(sub);
    RegCloseKey(group);
}

// An older copy kept no record; its keyboard-layout registration is all that shows it.
void RecogniseOlderCopy(CInstall& s)
{
    uint32_t access = s.m_osVersionCode > 50 ? kKeyReadNative : kKeyRead;
    HKEY layouts = s.OpenKeyById(HKEY_LOCAL_MACHINE, kKeyLayouts, access);
    if (!layouts)
        return;
    HKEY entry = s.OpenKeyById(layouts, kKeyLayoutEntry, access);
    GString text, file, id;
    if (entry && s.LoadText(kExpectedLayoutText, text) && s.LoadText(kExpectedLayoutFile, file) &&
        s.LoadText(kExpectedLayoutId, id) &&
        s.StringValueEqualsById(entry, kValueLayoutText, text) &&
        s.StringValueEqualsById(entry, kValueLayoutId, id) &&
        s.StringValueEqualsById(entry, kValueLayoutFile, file))
        s.m_installedVersion = kOlderCopyVersion;
    CloseKey(entry);
    RegCloseKey(layouts);
}

// Value 11: the user's language and the active layout before the first install, so that the
// layout in use then can be given back.
int ComputeOriginalLayout(CInstall& s, GString& out)
{
    wchar_t layoutName[10] = {0};
    if (!GetKeyboardLayoutNameW(layoutName))
        return 0;
    layoutName[9] = 0;
    GString format;
    if (!s.LoadText(kFormatOriginalLayout, format))
        return 0;
    return Format(&out, format.WideText(), static_cast<unsigned int>(GetUserDefaultLangID()),
                  layoutName);
}

int WriteOptions(CInstall& s, HKEY sub)
{
    if (!s.SetDwordValueById(sub, kValueLayoutVariant, static_cast<uint32_t>(s.m_layoutVariant)) ||
        !s.SetDwordValueById(sub, kValueDecimalVariant, static_cast<uint32_t>(s.m_decimalVariant)) ||
        !s.SetDwordValueById(sub, kValueLayoutSetFlagA, static_cast<uint32_t>(s.m_layoutSetFlagA)) ||
        !s.SetDwordValueById(sub, kValueLayoutSetFlagB, static_cast<uint32_t>(s.m_layoutSetFlagB)))
        return 0;
    int length = 0;
    unsigned char* list = s.ExportKeyAssignments(&length);
    if (list)
    {
        s.SetBinaryValueById(sub, kValueKeyAssignments, list, length);
        free(list);
    }
    return 1;
}

int WriteOptionsOnly(CInstall& s)
{
    HKEY keys[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};
    const int chain[5] = {kKeyRecord1, kKeyRecord2, kKeyRecord3, kKeyInstallGroup, kKeyInstallSub};
    int ok = 1;
    HKEY parent = HKEY_LOCAL_MACHINE;
    for (int i = 0; i < 5 && ok; ++i)
    {
        keys[i] = s.OpenKeyById(parent, chain[i], kKeyWrite);
        ok = keys[i] != nullptr;
        parent = keys[i];
    }
    if (ok)
        ok = WriteOptions(s, keys[4]);
    for (int i = 4; i >= 0; --i)
        CloseKey(keys[i]);
    return ok;
}

int WriteMainValues(CInstall& s, HKEY k, GString& originalLayout, int writeOriginalLayout)
{
    if (writeOriginalLayout && !s.SetStringValueById(k, kValueOriginalLayout, originalLayout))
        return 0;
    if (!s.SetDwordValueById(k, kValueInstallCount, static_cast<uint32_t>(s.m_installCount)))
        return 0;
    if (s.m_installedTextFileMenuLink.length == 0)
    {
        if (!s.SetStringValueById(k, kValueTextFileMenuLink, s.m_textFileMenuLink) ||
            !s.SetStringValueById(k, kValueTextFile, s.m_textFile))
            return 0;
    }
    if (s.m_textFileDesktopLinkMade &&
        !s.SetStringValueById(k, kValueTextFileDesktopLink, s.m_textFileDesktopLink))
        return 0;
    if (s.m_installedPageMenuLink.length == 0)
    {
        if (!s.SetStringValueById(k, kValuePageMenuLink, s.m_pageMenuLink) ||
            !s.SetStringValueById(k, kValuePageDesktopLink, s.m_pageDesktopLink) ||
            !s.SetStringValueById(k, kValuePageFile, s.m_pageFile))
            return 0;
    }
    if (s.m_docSecondVersion < kThisVersion)
    {
        if (!s.SetStringValueById(k, kValueDocSecond, s.m_docSecond) ||
            !s.SetStringValueById(k, kValueDocSecondMenuLink, s.m_docSecondMenuLink))
            return 0;
        if (s.m_docSecondDesktopLinkMade &&
            !s.SetStringValueById(k, kValueDocSecondDesktopLink, s.m_docSecondDesktopLink))
            return 0;
        // Not checked: the group's files are in place whether or not the version is noted.
        s.SetDwordValueById(k, kValueDocSecondVersion, kThisVersion);
    }
    return 1;
}

int WriteDocMainValues(CInstall& s, HKEY k)
{
    HKEY group = s.CreateKeyById(k, kKeyDocMainGroup, kKeyWrite);
    if (!group)
        return 0;
    HKEY sub = s.CreateKeyById(group, kKeyDocMainSub, kKeyWrite);
    int ok = sub != nullptr;
    ok = ok && s.SetStringValueById(sub, kValueDocMain, s.m_docMain) &&
         s.SetStringValueById(sub, kValueDocMainMenuLink, s.m_docMainMenuLink);
    if (ok && s.m_docMainDesktopLinkMade)
        ok = s.SetStringValueById(sub, kValueDocMainDesktopLink, s.m_docMainDesktopLink);
    ok = ok && s.SetDwordValueById(sub, kValueDocMainVersion, kThisVersion) &&
         s.SetDwordValueById(sub, kValueDocMainUseCount, static_cast<uint32_t>(s.m_docMainUseCount));
    CloseKey(sub);
    RegCloseKey(group);
    return ok;
}

int WriteInstallationValues(CInstall& s, HKEY k)
{
    HKEY group = s.CreateKeyById(k, kKeyInstallGroup, kKeyWrite);
    if (!group)
        return 0;
    HKEY sub = s.CreateKeyById(group, kKeyInstallSub, kKeyWrite);
    int ok = sub != nullptr;
    ok = ok && s.SetStringValueById(sub, kValueSetupCopy, s.m_setupCopy) &&
         s.SetStringValueById(sub, kValueSetupMenuLink, s.m_setupMenuLink) &&
         s.SetDwordValueById(sub, kValueInstalledVersion, kThisVersion);
    ok = ok && WriteOptions(s, sub);
    CloseKey(sub);
    RegCloseKey(group);
    return ok;
}

int WriteFull(CInstall& s)
{
    GString originalLayout;
    int writeOriginalLayout = s.m_storedOriginalLayout.length == 0;
    if (writeOriginalLayout && !ComputeOriginalLayout(s, originalLayout))
        return 0;

    HKEY root = s.OpenKeyById(HKEY_LOCAL_MACHINE, kKeyRecord1, kKeyWrite);
    if (!root)
        return 0;
    HKEY middle = s.CreateKeyById(root, kKeyRecord2, kKeyWrite);
    HKEY record = middle ? s.CreateKeyById(middle, kKeyRecord3, kKeyWrite) : nullptr;
    int ok = record != nullptr;
    ok = ok && WriteMainValues(s, record, originalLayout, writeOriginalLayout);
    ok = ok && WriteDocMainValues(s, record);
    ok = ok && WriteInstallationValues(s, record);
    CloseKey(record);
    CloseKey(middle);
    RegCloseKey(root);
    return ok;
}
}

void CInstall::ReadInstalledState()
{
    m_installedVersion = 0;

    HKEY root = OpenKeyById(HKEY_LOCAL_MACHINE, kKeyRecord1, kKeyRead);
    HKEY middle = root ? OpenKeyById(root, kKeyRecord2, kKeyRead) : nullptr;
    HKEY record = middle ? OpenKeyById(middle, kKeyRecord3, kKeyRead) : nullptr;
    if (record && ReadRecordMain(*this, record) && ReadRecordDocMain(*this, record))
        ReadRecordInstallation(*this, record);
    CloseKey(record);
    CloseKey(middle);
    CloseKey(root);

    if (m_installedVersion == 0)
        RecogniseOlderCopy(*this);
}

int CInstall::WriteInstalledState()
{
    return m_modifyOnly ? WriteOptionsOnly(*this) : WriteFull(*this);
}

int CInstall::WriteFinalValue()
{
    HKEY key = OpenKeyById(HKEY_LOCAL_MACHINE, kKeyFinal, kKeySetValueCreateSubKey);
    if (!key)
        return 0;
    int written = SetStringValueByIds(key, kValueFinal,
                                      m_osVersionCode <= 50 ? kFinalTextEarly : kFinalTextLater);
    RegCloseKey(key);
    return written;
}
