// kbdlayout: the keyboard-layout compiler.
//   kbdlayout generate DEFINITION UNICODEDATA OUTDIR
//       writes OUTDIR/s<set>r<variant>.c (tables), .rc (display-name resource), .expected
//       (the canonical dump the library tests compare a built library with) and .name (the
//       display name), for sets 0-1 and variants 0-2
//   kbdlayout ia64 DEFINITION UNICODEDATA SET VARIANT OSVERSION OUTFILE
//       writes the IA64 library of (SET, VARIANT) for Windows OSVERSION (major.minor) itself,
//       since no IA64 compiler is at hand; its export directory names OUTFILE's file name
//   kbdlayout patterns OUTFILE LIBRARY...
//       finds the patched tables in the built libraries (named s<set>r<variant>c<slot>.dll;
//       empty files are skipped) and writes the patterns 146-151 to OUTFILE
// Exit codes: 0 done, 1 bad input (the message names the file and line), 2 usage, 3 a file
// could not be read or written.
#include "Definition.h"
#include "Ia64Image.h"
#include "Patterns.h"
#include "SourceWriter.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>

namespace {

const int kExitBadInput = 1;
const int kExitUsage = 2;
const int kExitIo = 3;

int Usage()
{
    std::cerr << "usage: kbdlayout generate DEFINITION UNICODEDATA OUTDIR\n"
                 "       kbdlayout ia64 DEFINITION UNICODEDATA SET VARIANT OSVERSION OUTFILE\n"
                 "       kbdlayout patterns OUTFILE LIBRARY...\n";
    return kExitUsage;
}

bool WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        std::cerr << "kbdlayout: " << path << ": cannot be written\n";
        return false;
    }
    return true;
}

int Generate(const std::string& definition, const std::string& ucdPath, const std::string& outDir)
{
    CUnicodeData ucd;
    if (!ucd.Load(ucdPath)) {
        std::cerr << "kbdlayout: " << ucd.Error() << "\n";
        return kExitIo;
    }
    CDefinition def;
    if (!def.Load(definition)) {
        std::cerr << "kbdlayout: " << def.Error() << "\n";
        return def.Error().find("cannot be read") != std::string::npos ? kExitIo : kExitBadInput;
    }
    for (int set = 0; set < kLayoutSets; ++set) {
        for (int variant = 0; variant < kLayoutVariants; ++variant) {
            KbdLayout layout;
            if (!def.Build(set, variant, ucd, layout)) {
                std::cerr << "kbdlayout: " << def.Error() << "\n";
                return kExitBadInput;
            }
            std::string base = outDir + "/s" + std::to_string(set) + "r" + std::to_string(variant);
            if (!WriteFile(base + ".c", CSourceWriter::TablesSource(layout, def.DisplayName(set, variant))) ||
                !WriteFile(base + ".rc", CSourceWriter::ResourceScript(def.DisplayName(set, variant))) ||
                !WriteFile(base + ".expected", DumpKbdLayout(layout)) ||
                !WriteFile(base + ".name", def.DisplayName(set, variant) + "\n"))
                return kExitIo;
        }
    }
    return 0;
}

int Ia64(const std::string& definition, const std::string& ucdPath, const std::string& setText,
         const std::string& variantText, const std::string& version, const std::string& outFile)
{
    int set = -1, variant = -1;
    unsigned major = 0, minor = 0;
    char end;
    if (std::sscanf(setText.c_str(), "%d%c", &set, &end) != 1 || set < 0 || set >= kLayoutSets ||
        std::sscanf(variantText.c_str(), "%d%c", &variant, &end) != 1 || variant < 0 || variant >= kLayoutVariants ||
        std::sscanf(version.c_str(), "%u.%u%c", &major, &minor, &end) != 2 || major > 0xFFFF || minor > 0xFFFF)
        return Usage();
    CUnicodeData ucd;
    if (!ucd.Load(ucdPath)) {
        std::cerr << "kbdlayout: " << ucd.Error() << "\n";
        return kExitIo;
    }
    CDefinition def;
    if (!def.Load(definition)) {
        std::cerr << "kbdlayout: " << def.Error() << "\n";
        return def.Error().find("cannot be read") != std::string::npos ? kExitIo : kExitBadInput;
    }
    KbdLayout layout;
    if (!def.Build(set, variant, ucd, layout)) {
        std::cerr << "kbdlayout: " << def.Error() << "\n";
        return kExitBadInput;
    }
    Ia64LibraryInfo info;
    size_t slash = outFile.find_last_of('/');
    info.fileName = slash == std::string::npos ? outFile : outFile.substr(slash + 1);
    info.displayName = def.DisplayName(set, variant);
    info.osMajor = static_cast<uint16_t>(major);
    info.osMinor = static_cast<uint16_t>(minor);
    std::vector<uint8_t> image = CIa64Image::Build(layout, info);
    return WriteFile(outFile, std::string(image.begin(), image.end())) ? 0 : kExitIo;
}

int Patterns(const std::string& outFile, const std::vector<std::string>& paths)
{
    std::vector<PatternLibrary> libs;
    for (const std::string& path : paths) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::cerr << "kbdlayout: " << path << ": cannot be read\n";
            return kExitIo;
        }
        PatternLibrary lib;
        lib.name = path;
        lib.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (lib.bytes.empty())
            continue;   // a cell without a library yet
        size_t slash = path.find_last_of('/');
        std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
        int set, variant, slot;
        if (std::sscanf(file.c_str(), "s%1dr%1dc%2d.dll", &set, &variant, &slot) != 3 || variant < 0 || variant > 2) {
            std::cerr << "kbdlayout: " << path << ": name is not s<set>r<variant>c<slot>.dll\n";
            return kExitUsage;
        }
        lib.variant = variant;
        std::string error;
        if (!CPatternFinder::Locate(lib, error)) {
            std::cerr << "kbdlayout: " << error << "\n";
            return kExitBadInput;
        }
        libs.push_back(lib);
    }
    std::map<int, std::string> patterns;
    std::string error;
    if (!CPatternFinder::Compute(libs, patterns, error)) {
        std::cerr << "kbdlayout: " << error << "\n";
        return kExitBadInput;
    }
    return WriteFile(outFile, CPatternFinder::Format(patterns)) ? 0 : kExitIo;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::string(argv[1]) == "generate")
        return Generate(argv[2], argv[3], argv[4]);
    if (argc == 8 && std::string(argv[1]) == "ia64")
        return Ia64(argv[2], argv[3], argv[4], argv[5], argv[6], argv[7]);
    if (argc >= 4 && std::string(argv[1]) == "patterns")
        return Patterns(argv[2], std::vector<std::string>(argv + 3, argv + argc));
    return Usage();
}
