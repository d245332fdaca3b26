#include "UnicodeData.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

bool ParseHex(const std::string& text, uint32_t& value)
{
    if (text.empty() || text.size() > 6)
        return false;
    value = 0;
    for (char c : text) {
        int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
        if (d < 0)
            return false;
        value = value * 16 + static_cast<uint32_t>(d);
    }
    return true;
}

} // namespace

bool CUnicodeData::Load(const std::string& path)
{
    std::ifstream in(path);
    if (!in) {
        m_error = path + ": cannot be read";
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty())
            continue;
        std::vector<std::string> f;
        std::stringstream ss(line);
        std::string field;
        while (std::getline(ss, field, ';'))
            f.push_back(field);
        while (f.size() < 15)
            f.push_back("");
        uint32_t code;
        if (!ParseHex(f[0], code)) {
            m_error = path + ":" + std::to_string(number) + ": bad code point '" + f[0] + "'";
            return false;
        }
        Entry e;
        e.name = f[1];
        e.category = f[2];
        if (!f[12].empty() && !ParseHex(f[12], e.upper)) {
            m_error = path + ":" + std::to_string(number) + ": bad upper-case mapping";
            return false;
        }
        if (!f[5].empty() && f[5][0] != '<') {
            std::stringstream ds(f[5]);
            std::string part;
            while (ds >> part) {
                uint32_t c;
                if (!ParseHex(part, c)) {
                    m_error = path + ":" + std::to_string(number) + ": bad decomposition";
                    return false;
                }
                e.decomposition.push_back(c);
            }
        }
        m_entries[code] = e;
    }
    if (m_entries.empty()) {
        m_error = path + ": no entries";
        return false;
    }
    return true;
}

uint32_t CUnicodeData::Upper(uint32_t c) const
{
    auto it = m_entries.find(c);
    return it == m_entries.end() ? 0 : it->second.upper;
}

std::vector<UnicodeComposition> CUnicodeData::Compositions(uint32_t mark) const
{
    std::vector<UnicodeComposition> out;
    for (const auto& kv : m_entries) {
        const Entry& e = kv.second;
        if (e.decomposition.size() != 2 || e.decomposition[1] != mark)
            continue;
        auto base = m_entries.find(e.decomposition[0]);
        if (base == m_entries.end() || base->second.category.empty() || base->second.category[0] != 'L' ||
            base->second.name.compare(0, 6, "LATIN ") != 0)
            continue;
        UnicodeComposition c;
        c.base = e.decomposition[0];
        c.composed = kv.first;
        out.push_back(c);
    }
    std::sort(out.begin(), out.end(), [](const UnicodeComposition& a, const UnicodeComposition& b) {
        return a.base != b.base ? a.base < b.base : a.composed < b.composed;
    });
    return out;
}
