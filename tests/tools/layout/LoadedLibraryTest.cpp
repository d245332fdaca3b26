// Each x86_64 layout library loaded by the system loader (Wine's): its export is called and the
// tables it returns are walked in the process's memory and compared with the definition's.
#include "KbdWalker.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// Reads inside one loaded module only, so a stray pointer fails the walk instead of the test.
class CModuleMemory : public CKbdMemory {
public:
    explicit CModuleMemory(HMODULE module) : m_base(reinterpret_cast<uintptr_t>(module)), m_size(0)
    {
        const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
        const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(m_base + dos->e_lfanew);
        m_size = nt->OptionalHeader.SizeOfImage;
    }
    bool Read(uint64_t address, void* out, size_t size) const override
    {
        if (address < m_base || address - m_base > m_size || size > m_size - (address - m_base))
            return false;
        memcpy(out, reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), size);
        return true;
    }

private:
    uintptr_t m_base;
    size_t m_size;
};

// The host build folder as Wine shows it: drive Z: is the host's root.
std::string HostPath(const std::string& relative)
{
    const char* host = std::getenv("KBD_HOST_DIR");
    std::string path = std::string("Z:") + (host ? host : "") + "/" + relative;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::wstring Widen(const std::string& utf8)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
}

typedef void*(WINAPI* DescriptorFn)();

TEST(LoadedLayoutLibraries, TablesReturnedByTheExportMatchTheDefinition)
{
    ASSERT_NE(nullptr, std::getenv("KBD_HOST_DIR"));
    const int kAmd64Slots[] = {4, 7, 10, 12};
    int loaded = 0;
    for (int set = 0; set < 2; ++set) {
        for (int variant = 0; variant < 3; ++variant) {
            std::string stem = "layouts/src/s" + std::to_string(set) + "r" + std::to_string(variant);
            std::string expected = ReadText(HostPath(stem + ".expected"));
            std::string name = ReadText(HostPath(stem + ".name"));
            ASSERT_FALSE(expected.empty());
            ASSERT_FALSE(name.empty());
            name.erase(name.find_last_not_of("\r\n") + 1);
            for (int slot : kAmd64Slots) {
                char file[32];
                snprintf(file, sizeof(file), "layouts/s%dr%dc%02d.dll", set, variant, slot);
                SCOPED_TRACE(file);
                std::wstring path = Widen(HostPath(file));
                HMODULE module = LoadLibraryW(path.c_str());
                ASSERT_NE(nullptr, module) << "error " << GetLastError();
                DescriptorFn descriptor =
                    reinterpret_cast<DescriptorFn>(reinterpret_cast<void*>(GetProcAddress(module, "KbdLayerDescriptor")));
                ASSERT_NE(nullptr, descriptor);
                EXPECT_EQ(reinterpret_cast<void*>(descriptor), reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(1))));
                void* top = descriptor();
                CModuleMemory memory(module);
                CKbdWalker walker(memory, 8);
                KbdLayout layout;
                ASSERT_TRUE(walker.Walk(reinterpret_cast<uintptr_t>(top), layout)) << walker.Error();
                EXPECT_EQ(expected, DumpKbdLayout(layout));

                wchar_t text[256] = {0};
                int length = LoadStringW(module, 1000, text, 256);
                EXPECT_EQ(Widen(name), std::wstring(text, length > 0 ? length : 0));
                EXPECT_TRUE(FreeLibrary(module));
                ++loaded;
            }
        }
    }
    EXPECT_EQ(24, loaded);
}

} // namespace
