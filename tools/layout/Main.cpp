// kbdlayout: the keyboard-layout compiler.
//   kbdlayout generate DEFINITION UNICODEDATA OUTDIR
//       writes OUTDIR/s<set>r<variant>.c (tables), .rc (display-name resource), .expected
//       (the canonical dump the library tests compare a built library with) and .name (the
//       display name), for sets 0-1 and variants 0-2
//   kbdlayout patterns OUTFILE LIBRARY...
//       finds the patched tables in the built libraries (named s<set>r<variant>c<slot>.dll;
//       empty files are skipped) and writes the patterns 146-151 to OUTFILE
// Exit codes: 0 done, 1 bad input (the message names the file and line), 2 usage, 3 a file
// could not be read or written.
#include "Definition.h"
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
    if (argc >= 4 && std::string(argv[1]) == "patterns")
        return Patterns(argv[2], std::vector<std::string>(argv + 3, argv + argc));
    return Usage();
}
