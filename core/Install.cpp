// The installer object's lifecycle: construction, Init, Run, Finish, destruction, and the text
// lookup every other part of the program goes through.
#include "core/Install.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "payload/AssetStore.h"
#include "ui/Wizard.h"

namespace
{
const int kStringDefaultLanguage = 86;
const int kStringNotAdmin = 123;
const int kStringUnsupportedSystem = 124;
const int kStringNativeInfoFunction = 58;
const int kStringKernelModule = 144;
const int kStringDocAssociation = 42;
const int kStringDocViewerName = 45;
const LANGID kPolish = 0x0415;
const DWORD kRestartReason = 0x80020004;  // planned | operating system | reconfiguration
}

CInstallBase::CInstallBase()
    : m_hInstance(nullptr), m_currentPage(0), m_osVersionCode(0), m_uiLanguage(0),
      m_is64BitOs(0), m_processorArchitecture(0xFFFF)
{
}

CInstallBase::~CInstallBase()
{
    // Called non-virtually on purpose: the derived part is already gone.
    CInstallBase::ReleaseResources();
    m_uiStrings[1].Release();
    m_uiStrings[0].Release();
    m_commonStrings.Release();
    m_guard.Release();
}

HWND CInstallBase::GetOwnerWindow()
{
    return nullptr;
}

int CInstallBase::Init(HINSTANCE instance)
{
    m_hInstance = instance;
    return 1;
}

void CInstallBase::ReleaseResources()
{
    m_commonStrings.Release();
    m_uiStrings[0].Release();
    m_uiStrings[1].Release();
    m_guard.Release();
}

const void* CInstallBase::FindText(int id)
{
    const DataBuffer& ui = m_uiStrings[m_uiLanguage == 1 ? 1 : 0];
    const unsigned char* entry = ui.Lookup(static_cast<uint32_t>(id));
    if (!entry)
        entry = m_commonStrings.Lookup(static_cast<uint32_t>(id));
    return entry;
}

int CInstallBase::DecodeStringTable(int blob, DataBuffer& table)
{
    const unsigned char* stored = StoreBlob(blob);
    int length = StoreBlobLength(blob);
    int itemCount = 0;
    if (!stored || length <= 0)
        return 0;
    unsigned char* decoded = m_guard.Decode(stored, &length, &itemCount);
    if (!decoded)
        return 0;
    if (!table.Attach(decoded, itemCount, length))
    {
        free(decoded);
        return 0;
    }
    return 1;
}

CInstall::CInstall()
    : m_defaultLanguageId(0), m_layoutLanguageId(0), m_setAsDefault(1), m_docViewerOk(0),
      m_isAdmin(0), m_uninstalled(0), m_installed(0), m_restartRequested(0),
      m_licenceAccepted(0), m_setHotkeyValues(1), m_desktopShortcuts(1),
      m_textFileDesktopLinkMade(0), m_docMainDesktopLinkMade(0), m_docSecondDesktopLinkMade(0),
      m_layoutVariant(-1), m_decimalVariant(-1), m_layoutSetFlagA(0), m_layoutSetFlagB(0),
      m_modifyOnly(0), m_scancodeMapRead(0), m_keys(nullptr), m_keyCount(kKeyTableRows),
      m_app(nullptr), m_docSecondVersion(0), m_docMainVersion(0), m_docMainUseCount(0),
      m_installedVersion(0), m_installCount(0)
{
    // The working table starts without assignments; the default table keeps the default keys.
    m_keys = static_cast<KeyEntry*>(malloc(sizeof(KeyEntry) * kKeyTableRows));
    if (m_keys)
    {
        memcpy(m_keys, DefaultKeyTable, sizeof(KeyEntry) * kKeyTableRows);
        for (int i = 0; i < kKeyTableRows; ++i)
            m_keys[i].virtualKey = 0;
    }
    else
    {
        m_keyCount = 0;
    }
}

CInstall::~CInstall()
{
    CInstall::ReleaseResources();
    if (m_app)
    {
        delete m_app;
        m_app = nullptr;
    }
    free(m_keys);
    m_keys = nullptr;
    m_setupStrings.Release();
}

HWND CInstall::GetOwnerWindow()
{
    return m_app ? m_app->FrameWindow() : nullptr;
}

int CInstall::Init(HINSTANCE instance)
{
    CInstallBase::Init(instance);
    if (!m_guard.Load(StoreBlob(kBlobKey), StoreBlobLength(kBlobKey)))
        return 0;
    if (!DecodeStringTable(kBlobCommonStrings, m_commonStrings))
        return 0;
    if (!DecodeStringTable(kBlobSetupStrings, m_setupStrings))
        return 0;
    if (!DecodeStringTable(kBlobUiStrings0, m_uiStrings[0]))
        return 0;
    if (!DecodeStringTable(kBlobUiStrings1, m_uiStrings[1]))
        return 0;

    m_app = new CWizard(this);
    if (!m_app)
        return 0;
    if (!m_app->Init(instance))
        return 0;

    LoadText(kStringDefaultLanguage, m_text);
    unsigned int language = 0;
    if (m_text.length > 0 && swscanf(m_text.MakeWide(-1), L"%X", &language) == 1)
        m_defaultLanguageId = static_cast<uint16_t>(language & 0xFFFF);

    GetLayoutVariant();
    GetDecimalVariant();
    return 1;
}

void CInstall::ReleaseResources()
{
    CInstallBase::ReleaseResources();
    m_setupStrings.Release();
}

const void* CInstall::FindText(int id)
{
    const void* entry = CInstallBase::FindText(id);
    if (!entry)
        entry = m_setupStrings.Lookup(static_cast<uint32_t>(id));
    return entry;
}

int CInstall::LoadText(int id, GString& out)
{
    out.Clear();
    const void* entry = FindText(id);
    if (!entry)
        return 0;
    if (!out.AssignStored(entry) || !out.MakeWide(-1))
    {
        out.ClearAs(1);
        return 0;
    }
    return 1;
}

int CInstall::SetUiLanguage(int index)
{
    if (index != 0 && index != 1)
        return 0;
    m_uiLanguage = index;
    return 1;
}

int CInstall::Run()
{
    if (!m_app)
        return 0;
    m_uiLanguage = GetUserDefaultLangID() == kPolish ? 1 : 0;

    ProbeSystem(kStringNativeInfoFunction, kStringKernelModule);
    if (!IsSupportedSystem())
    {
        ShowMessage(kStringUnsupportedSystem, MB_ICONWARNING);
        return 0;
    }
    m_layoutLanguageId = m_osVersionCode >= 60 ? GetUserDefaultLangID() : m_defaultLanguageId;
    if (m_osVersionCode < 51)
        m_setAsDefault = 0;
    if (!ActivateRunningInstance())
        return 0;
    BuildPaths();
    m_docViewerOk = IsAssociatedWith(kStringDocAssociation, kStringDocViewerName);
    m_isAdmin = IsUserAdmin();
    if (!m_isAdmin)
    {
        ShowMessage(kStringNotAdmin, MB_OK);
        return 1;
    }
    ReadScancodeMap();
    ReadInstalledState();
    return m_app->RunMessageLoop() ? 1 : 0;
}

void CInstall::Finish()
{
    if (m_app)
    {
        m_app->DestroyWindows();
        delete m_app;
        m_app = nullptr;
    }
    if (m_uninstalled || m_installed)
        WriteFinalValue();
    ReleaseResources();
    if (m_restartRequested)
        RestartSystem();
}

int CInstall::RestartSystem()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return 0;
    TOKEN_PRIVILEGES privileges;
    ZeroMemory(&privileges, sizeof(privileges));
    if (!LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid))
        return 0;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    // Also ERROR_NOT_ALL_ASSIGNED: the call "succeeds" without the privilege.
    if (GetLastError() != ERROR_SUCCESS)
        return 0;
    // The process ends right after; the token handle goes with it.
    // Windows 2000 lacks the call with a reason code: it is looked up by name so the program
    // still loads there, and the plain restart serves when it is missing.
    wchar_t noMessage[1] = {0};
    typedef BOOL(WINAPI * ShutdownExFn)(LPWSTR, LPWSTR, DWORD, BOOL, BOOL, DWORD);
    HMODULE advapi = GetModuleHandleW(L"advapi32.dll");
    ShutdownExFn shutdownEx = advapi ? reinterpret_cast<ShutdownExFn>(reinterpret_cast<void*>(
                                           GetProcAddress(advapi, "InitiateSystemShutdownExW")))
                                     : nullptr;
    if (shutdownEx)
        return shutdownEx(nullptr, noMessage, 0, FALSE, TRUE, kRestartReason) ? 1 : 0;
    return InitiateSystemShutdownW(nullptr, noMessage, 0, FALSE, TRUE) ? 1 : 0;
}
