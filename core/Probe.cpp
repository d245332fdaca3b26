// What system the program runs on, and the checks made before the wizard is shown.
#include "core/Install.h"

#include <shlwapi.h>

#include "ui/Wizard.h"

namespace
{
const int kStringWindowClass = 94;
const int kAssocBufferChars = 2048;
// Longer than any path Windows can open, even in the long-path form.
const DWORD kAssocLargestChars = 0x10000;
const uint16_t kArchIntel = 0;
const uint16_t kArchIa64 = 6;
const uint16_t kArchAmd64 = 9;
const uint16_t kArchUnknown = 0xFFFF;
}

HMODULE CInstall::LoadLibraryById(int moduleNameId)
{
    if (!LoadText(moduleNameId, m_text) || m_text.length == 0)
        return nullptr;
    return LoadLibraryW(m_text.WideText(0));
}

void* CInstall::GetProcAddressById(int functionNameId, int moduleNameId, HMODULE* module)
{
    if (!module)
        return nullptr;
    if (!*module)
    {
        *module = LoadLibraryById(moduleNameId);
        if (!*module)
            return nullptr;
    }
    if (!LoadText(functionNameId, m_text) || m_text.length == 0)
        return nullptr;
    const char* name = m_text.MakeNarrow(-1);
    if (!name)
        return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(*module, name));
}

int CInstall::ProbeSystem(int functionNameId, int moduleNameId)
{
    m_processorArchitecture = kArchUnknown;
    m_osVersionCode = 0;
    m_is64BitOs = 0;
    HMODULE module = nullptr;

    OSVERSIONINFOEXW version;
    ZeroMemory(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)))
    {
        // Systems before the extended structure accept only the short one.
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
        if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)))
            return 0;
    }
    m_osVersionCode = static_cast<int32_t>(version.dwMajorVersion * 10 + version.dwMinorVersion);

    // The native-information call tells a 32-bit process on 64-bit Windows the real
    // architecture; Windows 2000 lacks it, so it is looked up by name.
    typedef void(WINAPI * NativeInfoFn)(LPSYSTEM_INFO);
    SYSTEM_INFO info;
    ZeroMemory(&info, sizeof(info));
    NativeInfoFn native =
        reinterpret_cast<NativeInfoFn>(GetProcAddressById(functionNameId, moduleNameId, &module));
    if (native)
        native(&info);
    else
        GetSystemInfo(&info);
    if (module)
        FreeLibrary(module);

    m_processorArchitecture = info.wProcessorArchitecture;
    if (m_processorArchitecture == kArchAmd64 || m_processorArchitecture == kArchIa64)
        m_is64BitOs = 1;
    return 1;
}

int CInstall::IsSupportedSystem()
{
    const uint16_t arch = m_processorArchitecture;
    if ((m_osVersionCode == 50 || m_osVersionCode == 51) && arch == kArchIntel)
        return 1;
    switch (m_osVersionCode)
    {
    case 52:
    case 60:
    case 61:
    case 62:
    case 63:
    case 100:
        return arch == kArchAmd64 || arch == kArchIa64 || arch == kArchIntel;
    default:
        return 0;
    }
}

int CInstall::ActivateRunningInstance()
{
    if (!LoadText(kStringWindowClass, m_text) || m_text.length == 0)
        return 1;
    HWND other = FindWindowW(m_text.WideText(0), nullptr);
    if (!other)
        return 1;
    SetForegroundWindow(other);
    return 0;
}

int CInstall::IsUserAdmin()
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = {{0, 0, 0, 0, 0, 5}};
    PSID admins = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins))
        return 0;
    BOOL member = FALSE;
    int answer = 0;
    if (CheckTokenMembership(nullptr, admins, &member))
        answer = member ? 1 : 0;
    FreeSid(admins);
    return answer;
}

int CInstall::IsAssociatedWith(int associationId, int nameId)
{
    GString association;
    if (!LoadText(associationId, association) || association.length == 0)
        return 0;
    GString path;
    DWORD room = kAssocBufferChars;
    wchar_t* out = path.BeginWideWrite(static_cast<int>(room));
    if (!out)
        return 0;
    DWORD chars = room;
    HRESULT result = AssocQueryStringW(0, ASSOCSTR_EXECUTABLE, association.WideText(0), nullptr,
                                       out, &chars);
    // Windows says "too small" with E_POINTER, Wine with the Win32 code; both report the size.
    if ((result == E_POINTER || result == HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER)) &&
        chars > room)
    {
        if (chars > kAssocLargestChars)
            return 0;
        room = chars;
        out = path.BeginWideWrite(static_cast<int>(room));
        if (!out)
            return 0;
    }
    // A failed first call may have left a count larger than the buffer; the second call is
    // never told of more room than there is.
    chars = room;
    result = AssocQueryStringW(0, ASSOCSTR_EXECUTABLE, association.WideText(0), nullptr, out,
                               &chars);
    if (FAILED(result))
        return 0;
    // The reported count includes the terminator; SetLength clips to the room made.
    path.SetLength(-1);
    path.ToUpper();
    if (!LoadText(nameId, m_text) || m_text.length == 0)
        return 0;
    return path.FindWide(m_text.WideText(0), 0, m_text.length) >= 0 ? 1 : 0;
}

int CInstall::ShowMessage(int id, unsigned int flags)
{
    if (!m_app)
        return 0;
    return m_app->MessageBoxById(id, flags);
}
