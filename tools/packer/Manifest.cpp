#include "tools/packer/Manifest.h"

#include <cstdio>

const char* const kManifestRoles[] = {
    "seed", "common", "ui0", "ui1", "setup", "licence0", "licence1", "layouts", "docmain", "page", "docsecond", nullptr,
};

namespace {

std::string Directory(const std::string& file)
{
    const size_t slash = file.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : file.substr(0, slash);
}

bool IsRole(const std::string& name)
{
    for (int i = 0; kManifestRoles[i]; ++i)
        if (name == kManifestRoles[i])
            return true;
    return false;
}

std::string Replace(std::string text, const std::string& what, const std::string& with)
{
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

} // namespace

std::string LayoutPath(const std::string& pattern, int set, int row, int slot)
{
    char two[8];
    std::snprintf(two, sizeof(two), "%02d", slot);
    return Replace(Replace(Replace(pattern, "{set}", std::to_string(set)), "{row}", std::to_string(row)), "{slot}", two);
}

int ParseManifest(const std::string& file, const std::string& text, const std::map<std::string, std::string>& variables,
                  Manifest* manifest, PackError* error)
{
    manifest->file = file;
    size_t at = 0;
    int line = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string content = text.substr(at, end - at);
        at = end + 1;
        ++line;
        auto fail = [&](const std::string& message) {
            *error = PackError{ file, line, message };
            return 0;
        };
        if (!content.empty() && content.back() == '\r')
            content.pop_back();
        const size_t first = content.find_first_not_of(" \t");
        if (first == std::string::npos || content[first] == '#')
            continue;
        const size_t roleEnd = content.find_first_of(" \t", first);
        const std::string role = content.substr(first, roleEnd == std::string::npos ? std::string::npos : roleEnd - first);
        const size_t pathStart = roleEnd == std::string::npos ? std::string::npos : content.find_first_not_of(" \t", roleEnd);
        if (!IsRole(role))
            return fail("unknown role '" + role + "'");
        if (pathStart == std::string::npos)
            return fail("role '" + role + "' names no file");
        std::string path = content.substr(pathStart);
        while (!path.empty() && (path.back() == ' ' || path.back() == '\t'))
            path.pop_back();
        for (size_t open = path.find("${"); open != std::string::npos; open = path.find("${")) {
            const size_t close = path.find('}', open);
            if (close == std::string::npos)
                return fail("unclosed '${' in the path");
            const std::string name = path.substr(open + 2, close - open - 2);
            auto value = variables.find(name);
            if (value == variables.end())
                return fail("no value for '${" + name + "}' (give it with -D " + name + "=...)");
            path.replace(open, close - open + 1, value->second);
        }
        if (path[0] != '/')
            path = Directory(file) + "/" + path;
        auto previous = manifest->roles.find(role);
        if (previous != manifest->roles.end())
            return fail("role '" + role + "' is already given on line " + std::to_string(previous->second.line));
        manifest->roles[role] = ManifestEntry{ path, line };
    }
    manifest->lineCount = line;
    for (int i = 0; kManifestRoles[i]; ++i)
        if (!manifest->roles.count(kManifestRoles[i])) {
            *error = PackError{ file, line, std::string("missing role '") + kManifestRoles[i] + "' (end of manifest)" };
            return 0;
        }
    return 1;
}
