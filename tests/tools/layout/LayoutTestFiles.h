// Files the layout tests read: the definition, the character database, the compiler, and the
// built libraries with their expected-value dumps. The build passes their paths in.
#ifndef KBD_TESTS_LAYOUT_TEST_FILES_H
#define KBD_TESTS_LAYOUT_TEST_FILES_H

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string ReadText(const std::string& path)
{
    std::vector<uint8_t> b = ReadBytes(path);
    return std::string(b.begin(), b.end());
}

inline std::string CellName(int set, int variant, int slot)
{
    char buf[32];
    std::snprintf(buf, sizeof(buf), "s%dr%dc%02d.dll", set, variant, slot);
    return buf;
}

inline std::string LayoutPath(const std::string& file)
{
    return std::string(KBD_TEST_LAYOUT_DIR) + "/" + file;
}

inline std::string ExpectedPath(int set, int variant, const char* ext)
{
    return std::string(KBD_TEST_LAYOUT_DIR) + "/src/s" + std::to_string(set) + "r" + std::to_string(variant) + ext;
}

#endif
