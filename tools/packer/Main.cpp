// kbdpack: packs the setup program's asset store from a manifest.
#include "tools/packer/Packer.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: kbdpack [-D name=value]... [--depfile FILE] [--report FILE] [--fast] MANIFEST STORE_FILE SOURCE_FILE\n"
    "  Packs the asset store described by MANIFEST into STORE_FILE and writes SOURCE_FILE, the C++\n"
    "  source that embeds it. --fast compresses with zlib level 9 only (for test stores).\n"
    "  Exit codes: 0 packed, 1 content refused, 2 usage, 3 write or self-check failed.\n";

int Usage(const char* why)
{
    if (why)
        std::fprintf(stderr, "kbdpack: %s\n", why);
    std::fputs(kUsage, stderr);
    return kPackUsage;
}

} // namespace

int main(int argc, char** argv)
{
    PackOptions options;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return kPackDone;
        }
        if (arg == "--fast") {
            options.fast = true;
            continue;
        }
        if (arg == "-D" || arg == "--depfile" || arg == "--report") {
            if (i + 1 >= argc)
                return Usage((arg + " needs a value").c_str());
            const std::string value = argv[++i];
            if (arg == "--depfile") {
                options.depFile = value;
            } else if (arg == "--report") {
                options.reportFile = value;
            } else {
                const size_t equals = value.find('=');
                if (equals == std::string::npos || equals == 0)
                    return Usage("-D takes name=value");
                options.variables[value.substr(0, equals)] = value.substr(equals + 1);
            }
        } else if (!arg.empty() && arg[0] == '-') {
            return Usage(("unknown option " + arg).c_str());
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 3)
        return Usage(nullptr);
    options.manifest = positional[0];
    options.storeFile = positional[1];
    options.sourceFile = positional[2];

    PackError error;
    const PackResult result = Pack(options, &error);
    if (result != kPackDone)
        std::fprintf(stderr, "kbdpack: %s\n", error.Text().c_str());
    return result;
}
