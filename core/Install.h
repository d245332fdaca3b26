#ifndef KBD_CORE_INSTALL_H
#define KBD_CORE_INSTALL_H

// The installer object: everything the program knows, from the decoded string tables to the
// user's choices and the paths of an installation. One CInstall lives in wWinMain; its
// operations are spread over the files of the subsystem that owns them:
//   core/Install.cpp         lifecycle, text lookup, restart
//   core/Probe.cpp           system probe and start-up checks
//   core/Paths.cpp           paths and option defaults
//   core/InstalledState.cpp  the installed-state record
//   core/Keys.cpp            the key table and the scan-code map
//   engine/Registry.cpp      registry access layer
//   engine/...               files, layout libraries, install and uninstall

#include <windows.h>
#include <stdint.h>

#include "core/KeyTable.h"
#include "payload/DataBuffer.h"
#include "payload/Guard.h"
#include "text/GString.h"

class CWizard;

class CInstallBase
{
public:
    CInstallBase();
    ~CInstallBase();

    virtual HWND GetOwnerWindow();
    virtual int Init(HINSTANCE instance);
    virtual void ReleaseResources();
    virtual const void* FindText(int id);

    HINSTANCE m_hInstance;
    CGuard m_guard;
    DataBuffer m_commonStrings;
    DataBuffer m_uiStrings[2];
    int32_t m_currentPage;
    int32_t m_osVersionCode;
    int32_t m_uiLanguage;
    int32_t m_is64BitOs;
    uint16_t m_processorArchitecture;
    GString m_text;

protected:
    // Decodes one string-table blob of the store into a table; 0 when it does not verify.
    int DecodeStringTable(int blob, DataBuffer& table);

private:
    CInstallBase(const CInstallBase&);
    CInstallBase& operator=(const CInstallBase&);
};

class CInstall : public CInstallBase
{
public:
    CInstall();
    virtual ~CInstall();

    HWND GetOwnerWindow() override;
    int Init(HINSTANCE instance) override;
    void ReleaseResources() override;
    const void* FindText(int id) override;

    // Lifecycle.
    int Run();
    void Finish();
    int LoadText(int id, GString& out);
    int SetUiLanguage(int index);
    int RestartSystem();

    // System probe and start-up checks.
    int ProbeSystem(int functionNameId, int moduleNameId);
    HMODULE LoadLibraryById(int moduleNameId);
    void* GetProcAddressById(int functionNameId, int moduleNameId, HMODULE* module);
    int IsSupportedSystem();
    int ActivateRunningInstance();
    int IsUserAdmin();
    int IsAssociatedWith(int associationId, int nameId);
    int ShowMessage(int id, unsigned int flags);

    // Paths and options.
    int BuildPaths();
    int SpecialFolder(int csidl, GString& out);
    int GetLayoutVariant();
    int SetLayoutVariant(int value);
    int GetDecimalVariant();
    int SetDecimalVariant(int value);
    int GetLayoutSetFlag();
    int SetLayoutSetFlag(int value);
    int SetModifyOnly(int value);

    // Installed-state record.
    void ReadInstalledState();
    int WriteInstalledState();
    int WriteFinalValue();

    // Key table.
    const KeyEntry* FindDefaultKey(uint16_t scanCode);
    KeyEntry* FindKey(uint16_t scanCode);
    int NormalizeKeys();
    int ApplyKeyAssignments(unsigned char* list, int length);
    unsigned char* ExportKeyAssignments(int* length);
    int ReadScancodeMap();

    // Registry access layer (engine/Registry.cpp). Handles returned by the key operations belong
    // to the caller, who closes them with RegCloseKey; the layer never closes a handle. The by-id
    // variants look the name up into m_text, so they are not re-entrant, and an id without text
    // fails before any registry access.
    HKEY OpenKey(HKEY root, const wchar_t* name, uint32_t access);
    HKEY CreateKey(HKEY root, const wchar_t* name, uint32_t access);
    int SetBinaryValue(HKEY key, const wchar_t* name, const void* data, int count);
    unsigned char* QueryBinaryValue(HKEY key, const wchar_t* name, uint32_t* size);
    int SetDwordValue(HKEY key, const wchar_t* name, uint32_t value);
    int QueryDwordValue(HKEY key, const wchar_t* name, uint32_t* value);
    int SetStringValue(HKEY key, const wchar_t* name, GString& text);
    int QueryStringValue(HKEY key, const wchar_t* name, GString& text);
    int StringValueEquals(HKEY key, const wchar_t* name, const GString& text);
    int DeleteValue(HKEY key, const wchar_t* name);

    HKEY OpenKeyById(HKEY root, int keyId, uint32_t access);
    HKEY CreateKeyById(HKEY root, int keyId, uint32_t access);
    int SetBinaryValueById(HKEY key, int valueId, const void* data, int count);
    unsigned char* QueryBinaryValueById(HKEY key, int valueId, uint32_t* size);
    int SetDwordValueById(HKEY key, int valueId, uint32_t value);
    int QueryDwordValueById(HKEY key, int valueId, uint32_t* value);
    int SetStringValueById(HKEY key, int valueId, GString& text);
    int SetStringValueByIds(HKEY key, int valueId, int dataId);
    int QueryStringValueById(HKEY key, int valueId, GString& text);
    int StringValueEqualsById(HKEY key, int valueId, const GString& text);
    int DeleteValueById(HKEY key, int valueId);
    int DeleteKeyById(HKEY parent, int keyId);
    int SetMachineStringByIds(int keyId, int valueId, int dataId);

    // File, process and shell operations (engine/Files.cpp). Paths handed over in a GString are
    // made wide in place. Handles from CreateFileForWrite and blocks from DecodeHexBytes belong to
    // the caller (CloseHandle, free).
    HANDLE CreateFileForWrite(const wchar_t* path);
    HANDLE CreateFileForWrite(GString& path);
    int WriteBytes(HANDLE file, const void* data, int count);
    int WriteText(HANDLE file, GString& text);
    int DeleteOrSchedule(const wchar_t* path);
    int DeleteOrSchedule(GString& path);
    int RemoveFolder(GString& path);
    static int EnsureFolder(const wchar_t* path);
    static int EnsureFolder(GString& path);
    int GetTempFolder(GString& out);
    int MakeTempFile(GString& out, int prefixId, const wchar_t* folder);
    static int CreateShortcut(const wchar_t* target, const wchar_t* linkFile,
                              const wchar_t* description, const wchar_t* iconFile, int iconIndex);
    int GetAssociatedExecutable(int typeId, GString& out);
    unsigned char* DecodeHexBytes(int id, int* count);
    // Text placeholders of the template take const wchar_t* arguments.
    int RunCommand(int templateId, ...);
    int OpenWithAssociated(int typeId, int templateId, const wchar_t* argument);
    int OpenExternalDocument();
    int WriteBlobFile(const wchar_t* path, const unsigned char* blob, int size);

    typedef BOOL(WINAPI* RedirectionOffFn)(void** saved);
    typedef BOOL(WINAPI* RedirectionOnFn)(void* saved);
    HMODULE LoadRedirectionFunctions(RedirectionOffFn* switchOff, RedirectionOnFn* switchOn);

    // The redirection bracket around operations on the system folders: Enter switches file-system
    // redirection off when m_is64BitOs is set (and does nothing otherwise), Leave switches it back
    // on and frees the library. Never fails; Leave is always paired with Enter.
    struct RedirectionBracket
    {
        HMODULE module;
        RedirectionOnFn switchOn;
        void* saved;
    };
    void EnterRedirectionBracket(RedirectionBracket& bracket);
    void LeaveRedirectionBracket(RedirectionBracket& bracket);

    // Layout library selection and patching (engine/LayoutLibrary.cpp). Sizes are the stored
    // (encoded) sizes of catalogue cells; the outs of SelectLayoutLibraries are null / -1 when a
    // cell is not chosen.
    int SelectLayoutLibraries(const unsigned char** primary, const unsigned char** secondary,
                              int* primarySize, int* secondarySize);
    int GetLayoutLibraryPaths(GString& target1, GString& target2, GString* staging1,
                              GString* staging2);
    int StageLayoutLibrary(const wchar_t* target, const wchar_t* staging,
                           const unsigned char* blob, int size);
    int InstallLayoutLibraries();

    // Keyboard layout registration (engine/Registration.cpp). The layout key lives in the 64-bit
    // registry view on 64-bit Windows; the scan-code map and the per-user values do not.
    int RegisterLayout();
    // 1 when the layout key under our key name registers another layout's library: such a key
    // is neither overwritten nor deleted.
    int IsLayoutKeyForeign();
    int UnregisterLayout();
    int WriteScancodeMap();
    int WriteHotkeyValues();
    int AddInputLanguage(uint16_t languageId, int setAsDefault);
    int RemoveInputLanguage();

    // Install and uninstall procedures (engine/InstallProcedure.cpp, engine/Uninstall.cpp).
    // Neither rolls back: a failed step returns 0 and leaves what was done in place.
    int Install();
    int InstallFiles();
    int WriteStringFile(GString& path);
    int RemoveOldVersionFiles(int removeLibraries);
    // Asks Windows to delete the installed layout libraries at the next restart; 0 when their
    // paths cannot be built.
    int ScheduleLayoutLibraryRemoval();
    int Uninstall();
    int RemoveInstalledState();

    uint16_t m_defaultLanguageId;
    uint16_t m_layoutLanguageId;
    int32_t m_setAsDefault;
    int32_t m_docViewerOk;
    int32_t m_isAdmin;
    int32_t m_uninstalled;
    int32_t m_installed;
    int32_t m_restartRequested;
    int32_t m_licenceAccepted;
    int32_t m_setHotkeyValues;
    int32_t m_desktopShortcuts;
    int32_t m_textFileDesktopLinkMade;
    int32_t m_docMainDesktopLinkMade;
    int32_t m_docSecondDesktopLinkMade;
    int32_t m_layoutVariant;
    int32_t m_decimalVariant;
    int32_t m_layoutSetFlagA;
    int32_t m_layoutSetFlagB;
    int32_t m_modifyOnly;
    int32_t m_scancodeMapRead;
    KeyEntry* m_keys;
    int32_t m_keyCount;
    DataBuffer m_setupStrings;
    CWizard* m_app;

    // 36 strings, constructed in this order and destroyed in reverse.
    GString m_layoutLanguageName;
    GString m_storedOriginalLayout;
    GString m_programParent;
    GString m_programFolder;
    GString m_menuParent;
    GString m_menuFolder;
    GString m_installedDocMain, m_docMain;
    GString m_installedDocMainMenuLink, m_docMainMenuLink;
    GString m_installedDocMainDesktopLink, m_docMainDesktopLink;
    GString m_installedDocSecond, m_docSecond;
    GString m_installedDocSecondMenuLink, m_docSecondMenuLink;
    GString m_installedDocSecondDesktopLink, m_docSecondDesktopLink;
    GString m_installedTextFile, m_textFile;
    GString m_installedTextFileMenuLink, m_textFileMenuLink;
    GString m_installedTextFileDesktopLink, m_textFileDesktopLink;
    GString m_installedPageMenuLink, m_pageMenuLink;
    GString m_installedPageDesktopLink, m_pageDesktopLink;
    GString m_installedPageFile, m_pageFile;
    GString m_setupPath;
    GString m_setupLinkName;
    GString m_installedSetupCopy, m_setupCopy;
    GString m_installedSetupMenuLink, m_setupMenuLink;

    uint32_t m_docSecondVersion;
    uint32_t m_docMainVersion;
    int32_t m_docMainUseCount;
    uint32_t m_installedVersion;
    int32_t m_installCount;
};

#endif
