// Shared by the install, uninstall, registration and restart tests: the names of the install
// fixture, a start-up like the program's own, a wipe of everything an installation leaves, and
// readers of the registry, files, shortcuts and pending restart operations that go straight to
// the platform, so that the tests do not depend on the code they check.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Install.h"

namespace insttest
{
typedef std::vector<unsigned char> Bytes;

// Registry names of the fixture (tests/engine/install-fixture/strings/common.txt).
extern const wchar_t kLayoutsKey[];
extern const wchar_t kLayoutKey[];
extern const wchar_t kMapKey[];
extern const wchar_t kMapValue[];
extern const wchar_t kToggleKey[];
extern const wchar_t kVendorKey[];
extern const wchar_t kRecordKey[];
extern const wchar_t kDocGroupKey[];
extern const wchar_t kDocKey[];
extern const wchar_t kInstallGroupKey[];
extern const wchar_t kInstallKey[];
extern const wchar_t kLibraryName[];
// Where the command of the settings files (the test program itself, copied) records them.
extern const wchar_t kRecorderFolder[];

// The paths an installation of the fixture makes, computed from the special folders.
struct ExpectedPaths
{
    std::wstring programParent, programFolder, menuParent, menuFolder, desktop;
    std::wstring docMain, docMainMenuLink, docMainDesktopLink;
    std::wstring docSecond, docSecondMenuLink, docSecondDesktopLink;
    std::wstring textFile, textFileMenuLink, textFileDesktopLink;
    std::wstring pageMenuLink, pageDesktopLink, pageFile;
    std::wstring setupCopy, setupMenuLink;
};
ExpectedPaths Paths();
std::wstring SpecialFolder(int csidl);
std::wstring SystemFolder();
std::wstring Wow64Folder();
std::wstring OwnPath();

// The program's start-up up to the wizard: Init, probe, paths, scan-code map, installed state.
void Start(CInstall& install);

// Removes everything an installation of the fixture, an older copy or a recorder left.
void Wipe();

// Registry, straight from the platform. Keys of the machine are read in the native view.
bool KeyExists(HKEY root, const std::wstring& path);
bool ValueExists(HKEY root, const std::wstring& path, const wchar_t* name);
std::wstring ReadString(HKEY root, const std::wstring& path, const wchar_t* name);
uint32_t ReadDword(HKEY root, const std::wstring& path, const wchar_t* name, bool* found = nullptr);
Bytes ReadBinary(HKEY root, const std::wstring& path, const wchar_t* name, bool* found = nullptr);
void WriteString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text);
void WriteDword(HKEY root, const std::wstring& path, const wchar_t* name, uint32_t value);
void DeleteTree(HKEY root, const std::wstring& path);

// Files.
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
Bytes ReadFileBytes(const std::wstring& path, bool* found = nullptr);
std::string ReadFileText(const std::wstring& path);
void WriteFileText(const std::wstring& path, const std::string& text);

struct Shortcut
{
    bool loaded = false;
    std::wstring target, description, icon;
    int iconIndex = -1;
};
Shortcut ReadShortcut(const std::wstring& link);

// Pending restart operations: (source, target) with the \??\ prefix and the replace mark '!'
// taken off; an empty target is a deletion.
struct PendingOperation
{
    std::wstring source, target;
    bool replace = false;
};
std::vector<PendingOperation> PendingOperations();
bool HasPendingDeletion(const std::wstring& path);
bool HasPendingMove(const std::wstring& source, const std::wstring& target);

// The settings files the command was given, in the order it was run.
std::vector<std::string> RecordedSettings();
std::vector<std::wstring> RecordedPaths();
// Puts a copy of this program where the fixture's command template names it.
void InstallRecorder();

// Texts of the fixture.
std::wstring Text(CInstall& install, int id);
std::string Narrow(const std::wstring& text);
bool SameText(const std::wstring& a, const std::wstring& b);  // without regard to case

// A stored catalogue cell decoded, and the same image patched the way the installation must
// patch it for the given key table and decimal variant (independent of the patcher).
Bytes DecodeCell(CInstall& install, int set, int row, int slot);
Bytes ExpectedPatchedImage(CInstall& install, const Bytes& image, int layoutVariant,
                           int decimalVariant, std::vector<size_t>* patched);

// The catalogue cells a 64-bit (AMD64) system of the install's version code takes.
void LibrarySlots(const CInstall& install, int* primary, int* secondary);

// The settings text the fixture's templates give for adding the layout on this version.
std::string ExpectedAddSettings(const CInstall& install, uint16_t language, int setAsDefault);

// An older copy (version 130): its layout registration and four files in the user's folders,
// and no record. Returns the four files.
std::vector<std::wstring> SeedOlderCopy();

// Key assignments and remaps used by several tests.
void AssignTestKeys(CInstall& install);
}
