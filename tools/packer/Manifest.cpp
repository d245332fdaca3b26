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

int IsStringTableRole(const std::string& role)
{
    return role == "common" || role == "ui0" || role == "ui1" || role == "setup";
}

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
        std::vector<std::string> words;
        for (size_t w = first; w != std::string::npos;) {
            const size_t wordEnd = content.find_first_of(" \t", w);
            words.push_back(content.substr(w, wordEnd == std::string::npos ? std::string::npos : wordEnd - w));
            w = wordEnd == std::string::npos ? std::string::npos : content.find_first_not_of(" \t", wordEnd);
        }
        const std::string role = words[0];
        if (role == "failing-slots") {
            if (manifest->failingSlotsLine)
                return fail("'failing-slots' is already given on line " + std::to_string(manifest->failingSlotsLine));
            if (words.size() < 2)
                return fail("'failing-slots' names no slot");
            for (size_t w = 1; w < words.size(); ++w) {
                const std::string& word = words[w];
                if (word.empty() || word.size() > 2 || word.find_first_not_of("0123456789") != std::string::npos ||
                    std::stoi(word) > 12)
                    return fail("'" + word + "' is not a catalogue slot (0 to 12)");
                if (!manifest->failingSlots.insert(std::stoi(word)).second)
                    return fail("slot " + word + " is listed twice");
            }
            manifest->failingSlotsLine = line;
            continue;
        }
        if (!IsRole(role))
            return fail("unknown role '" + role + "'");
        if (words.size() < 2)
            return fail("role '" + role + "' names no file");
        if (words.size() > 2 && !IsStringTableRole(role))
            return fail("role '" + role + "' takes one file");
        auto previous = manifest->roles.find(role);
        if (previous != manifest->roles.end())
            return fail("role '" + role + "' is already given on line " + std::to_string(previous->second.line));
        ManifestEntry entry;
        entry.line = line;
        for (size_t w = 1; w < words.size(); ++w) {
            std::string path = words[w];
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
            if (path.empty() || path[0] != '/')
                path = Directory(file) + "/" + path;
            for (const std::string& earlier : entry.paths)
                if (earlier == path)
                    return fail("'" + words[w] + "' is given twice");
            entry.paths.push_back(path);
        }
        entry.path = entry.paths[0];
        manifest->roles[role] = entry;
    }
    manifest->lineCount = line;
    for (int i = 0; kManifestRoles[i]; ++i)
        if (!manifest->roles.count(kManifestRoles[i])) {
            *error = PackError{ file, line, std::string("missing role '") + kManifestRoles[i] + "' (end of manifest)" };
            return 0;
        }
    return 1;
}
