#include "Definition.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace {

const uint16_t kWchNone = 0xF000;
const uint16_t kWchDead = 0xF001;
const uint8_t kCapLok = 0x01;
const uint8_t kCapLokAltGr = 0x04;

// Decodes UTF-8; false on a malformed sequence.
bool DecodeUtf8(const std::string& s, std::vector<uint32_t>& out)
{
    out.clear();
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || i + extra >= s.size() + (extra == 0 ? 1 : 0))
            return false;
        uint32_t v = extra == 0 ? c : (c & (0x3F >> extra));
        for (int k = 1; k <= extra; ++k) {
            unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            v = (v << 6) | (d & 0x3F);
        }
        out.push_back(v);
        i += extra + 1;
    }
    return true;
}

std::u16string ToUtf16(const std::string& s)
{
    std::vector<uint32_t> cps;
    DecodeUtf8(s, cps);
    std::u16string out;
    for (uint32_t c : cps) {
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

} // namespace

bool CDefinition::Fail(int line, const std::string& what)
{
    m_error = m_path + ":" + std::to_string(line) + ": " + what;
    return false;
}

bool CDefinition::ParseNumber(const std::string& t, uint32_t& value, uint32_t max, int line)
{
    if (t.size() < 3 || t[0] != '0' || (t[1] != 'x' && t[1] != 'X'))
        return Fail(line, "expected a hexadecimal number such as 0x1E, found '" + t + "'");
    value = 0;
    for (size_t i = 2; i < t.size(); ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(t[i])) || value > 0xFFFFFF)
            return Fail(line, "bad hexadecimal number '" + t + "'");
        value = value * 16 + static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(t[i])) ? t[i] - '0' : (std::toupper(t[i]) - 'A' + 10));
    }
    if (value > max)
        return Fail(line, "number " + t + " is out of range");
    return true;
}

bool CDefinition::ParseVk(const std::string& t, uint8_t& vk, int line)
{
    if (t.size() == 1 && (std::isupper(static_cast<unsigned char>(t[0])) || std::isdigit(static_cast<unsigned char>(t[0])))) {
        vk = static_cast<uint8_t>(t[0]);
        return true;
    }
    uint32_t v;
    if (!ParseNumber(t, v, 0xFE, line))
        return false;
    if (v == 0)
        return Fail(line, "virtual key 0 ends a table and cannot name a key");
    vk = static_cast<uint8_t>(v);
    return true;
}

bool CDefinition::ParseChar(const std::string& t, uint32_t& ch, int line)
{
    if (t == "none") {
        ch = 0;
        return true;
    }
    if (t.size() >= 6 && t.compare(0, 2, "U+") == 0) {
        if (!ParseNumber("0x" + t.substr(2), ch, 0x10FFFF, line))
            return false;
    } else {
        std::vector<uint32_t> cps;
        if (!DecodeUtf8(t, cps))
            return Fail(line, "'" + t + "' is not valid UTF-8");
        if (cps.size() != 1)
            return Fail(line, "expected one character, U+XXXX or none, found '" + t + "'");
        ch = cps[0];
    }
    if (ch == 0 || ch > 0xFFFF || (ch >= 0xD800 && ch < 0xE000) || (ch >= 0xF000 && ch <= 0xF0FF))
        return Fail(line, "character " + t + " cannot be typed by a layout (outside the 16-bit range or reserved)");
    return true;
}

bool CDefinition::ParseCell(const std::string& t, DefCell& cell, int line, bool allowAccent)
{
    cell = DefCell();
    if (t.size() > 1 && t[0] == '*') {
        if (!allowAccent)
            return Fail(line, "an accent cannot stand here");
        for (size_t i = 0; i < m_accents.size(); ++i)
            if (m_accents[i].name == t.substr(1)) {
                cell.accent = static_cast<int>(i);
                return true;
            }
        return Fail(line, "unknown accent '" + t.substr(1) + "' (not in [accents])");
    }
    return ParseChar(t, cell.ch, line);
}

int CDefinition::FindKey(const std::string& name) const
{
    for (size_t i = 0; i < m_keys.size(); ++i)
        if (m_keys[i].name == name)
            return static_cast<int>(i);
    return -1;
}

bool CDefinition::ParseLine(const std::string& section, std::vector<std::string>& tk, const std::string& rest, int line)
{
    uint32_t a, b;
    if (section == "display") {
        if (tk.size() < 3 || tk[0].size() != 1 || tk[1].size() != 1 || tk[0][0] < '0' || tk[0][0] > '1' || tk[1][0] < '0' || tk[1][0] > '2')
            return Fail(line, "expected: set (0-1) variant (0-2) name");
        m_display[tk[0][0] - '0'][tk[1][0] - '0'] = rest;
    } else if (section == "accents") {
        if (tk.size() < 4)
            return Fail(line, "expected: name spacing combining title");
        DefAccent acc;
        acc.name = tk[0];
        if (!ParseChar(tk[1], acc.spacing, line) || !ParseChar(tk[2], acc.combining, line))
            return false;
        acc.title = rest;
        m_accents.push_back(acc);
    } else if (section == "keys") {
        if (tk.size() != 6)
            return Fail(line, "expected: name vk base shift altgr shift+altgr (" + std::to_string(tk.size()) + " fields found)");
        if (FindKey(tk[0]) >= 0)
            return Fail(line, "key '" + tk[0] + "' is defined twice");
        DefKey k;
        k.name = tk[0];
        k.line = line;
        if (!ParseVk(tk[1], k.vk, line) || !ParseCell(tk[2], k.cells[kColBase], line, true) ||
            !ParseCell(tk[3], k.cells[kColShift], line, true) || !ParseCell(tk[4], k.cells[kColAltGr], line, true) ||
            !ParseCell(tk[5], k.cells[kColShiftAltGr], line, true))
            return false;
        for (const DefKey& other : m_keys)
            if (other.vk == k.vk)
                return Fail(line, "virtual key of '" + k.name + "' is already used by '" + other.name + "'");
        m_keys.push_back(k);
    } else if (section == "control") {
        if (tk.size() != 3)
            return Fail(line, "expected: name ctrl shift+ctrl");
        int k = FindKey(tk[0]);
        if (k < 0)
            return Fail(line, "unknown key '" + tk[0] + "' (not in [keys])");
        if (!ParseCell(tk[1], m_keys[k].cells[kColCtrl], line, false) ||
            !ParseCell(tk[2], m_keys[k].cells[kColShiftCtrl], line, false))
            return false;
    } else if (section == "keypad") {
        if (tk.size() != 3)
            return Fail(line, "expected: name vk character");
        DefKeypad k;
        k.name = tk[0];
        if (!ParseVk(tk[1], k.vk, line) || !ParseChar(tk[2], k.ch, line))
            return false;
        m_keypad.push_back(k);
    } else if (section == "scancodes") {
        if (tk.size() != 2)
            return Fail(line, "expected: scan code and virtual key");
        if (!ParseNumber(tk[0], a, kScanTableSize - 1, line) || !ParseNumber(tk[1], b, 0xFFFF, line))
            return false;
        for (const auto& s : m_scancodes)
            if (s.first == a)
                return Fail(line, "scan code " + tk[0] + " is given twice");
        m_scancodes.emplace_back(static_cast<uint8_t>(a), static_cast<uint16_t>(b));
    } else if (section == "extended") {
        if (tk.size() != 3 || (tk[0] != "E0" && tk[0] != "E1"))
            return Fail(line, "expected: E0 or E1, scan code, virtual key");
        if (!ParseNumber(tk[1], a, 0xFF, line) || !ParseNumber(tk[2], b, 0xFFFF, line))
            return false;
        if (a == 0)
            return Fail(line, "scan code 0 ends the list and cannot be used");
        DefExtended e;
        e.prefix = tk[0] == "E0" ? 0xE0 : 0xE1;
        e.scan = static_cast<uint8_t>(a);
        e.vk = static_cast<uint16_t>(b);
        m_extended.push_back(e);
    } else if (section == "names" || section == "names extended") {
        if (tk.size() < 2)
            return Fail(line, "expected: scan code and name");
        if (!ParseNumber(tk[0], a, 0xFF, line))
            return false;
        DefScanName n;
        n.scan = static_cast<uint8_t>(a);
        n.name = rest;
        (section == "names" ? m_names : m_namesExt).push_back(n);
    } else if (section.compare(0, 8, "variant ") == 0) {
        int v = section[8] - '0';
        if (tk.size() < 2)
            return Fail(line, "expected: first scan code, then key names");
        if (!ParseNumber(tk[0], a, kScanTableSize - 1, line))
            return false;
        for (size_t i = 1; i < tk.size(); ++i, ++a) {
            int k = FindKey(tk[i]);
            if (k < 0)
                return Fail(line, "unknown key '" + tk[i] + "' (not in [keys])");
            if (a >= static_cast<uint32_t>(kScanTableSize))
                return Fail(line, "key '" + tk[i] + "' falls beyond scan code 0x7E");
            for (const auto& p : m_placed[v])
                if (p.first == a)
                    return Fail(line, "scan code of key '" + tk[i] + "' is already taken in this variant");
            m_placed[v].emplace_back(static_cast<uint8_t>(a), k);
        }
    } else {
        return Fail(line, "line outside a known section");
    }
    return true;
}

bool CDefinition::Load(const std::string& path)
{
    m_path = path;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        m_error = path + ": cannot be read";
        return false;
    }
    std::string text, section;
    int number = 0;
    while (std::getline(in, text)) {
        ++number;
        m_lineCount = number;
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        std::vector<std::string> tokens;
        std::istringstream ss(text);
        std::string t;
        while (ss >> t) {
            if (t[0] == '#')
                break;
            tokens.push_back(t);
        }
        if (tokens.empty())
            continue;
        std::string joined;
        for (const std::string& x : tokens)
            joined += (joined.empty() ? "" : " ") + x;
        if (joined.size() > 2 && joined[0] == '[' && joined.back() == ']' && std::isalpha(static_cast<unsigned char>(joined[1]))) {
            section = joined.substr(1, joined.size() - 2);
            if (section.compare(0, 8, "variant ") == 0) {
                if (section.size() < 10 || section[8] < '0' || section[8] > '2' || section[9] != ' ')
                    return Fail(number, "expected [variant N Title] with N 0-2");
                int v = section[8] - '0';
                if (m_variantLine[v])
                    return Fail(number, "variant " + std::to_string(v) + " is defined twice");
                m_variantLine[v] = number;
                m_variantTitle[v] = section.substr(10);
                section = section.substr(0, 9);
            }
            continue;
        }
        if (section.empty())
            return Fail(number, "line before the first [section]");
        // The free text after the fields that a line of these sections starts with.
        size_t fixed = section == "display" ? 2 : section == "accents" ? 3 : 1;
        std::string rest;
        for (size_t i = fixed; i < tokens.size(); ++i)
            rest += (rest.empty() ? "" : " ") + tokens[i];
        if (!ParseLine(section, tokens, rest, number))
            return false;
    }
    return Check();
}

bool CDefinition::Check()
{
    const int end = m_lineCount;
    for (int s = 0; s < kLayoutSets; ++s)
        for (int v = 0; v < kLayoutVariants; ++v)
            if (m_display[s][v].empty())
                return Fail(end, "no display name for set " + std::to_string(s) + " variant " + std::to_string(v));
    for (int v = 0; v < kLayoutVariants; ++v)
        if (!m_variantLine[v])
            return Fail(end, "variant " + std::to_string(v) + " is missing");
    if (m_keys.empty() || m_keypad.empty())
        return Fail(end, "no [keys] or no [keypad] entries");
    bool hasE1 = false, hasE0 = false;
    for (const DefExtended& e : m_extended)
        (e.prefix == 0xE0 ? hasE0 : hasE1) = true;
    if (!hasE0 || !hasE1)
        return Fail(end, "[extended] needs E0 and E1 entries");

    std::vector<int> base(kScanTableSize, -1);
    for (const auto& p : m_placed[0])
        base[p.first] = p.second;
    for (int v = 0; v < kLayoutVariants; ++v) {
        std::vector<int>& place = m_placement[v];
        place = base;
        for (const auto& p : m_placed[v])
            place[p.first] = p.second;
        std::vector<int> seen(m_keys.size(), -1);
        for (int scan = 0; scan < kScanTableSize; ++scan) {
            int k = place[scan];
            if (k < 0)
                continue;
            for (const auto& s : m_scancodes)
                if (s.first == scan)
                    return Fail(m_variantLine[v], "key '" + m_keys[k].name + "' sits on scan code of [scancodes]");
            if (seen[k] >= 0)
                return Fail(m_variantLine[v], "variant " + std::to_string(v) + " places key '" + m_keys[k].name +
                                                  "' twice (a key it moved also stays where variant 0 has it)");
            seen[k] = scan;
        }
        for (const auto& p : m_placed[0])
            if (seen[p.second] < 0)
                return Fail(m_variantLine[v], "variant " + std::to_string(v) + " loses key '" + m_keys[p.second].name + "'");
    }
    return true;
}

bool CDefinition::Build(int set, int variant, const CUnicodeData& ucd, KbdLayout& l)
{
    l = KbdLayout();
    l.vkToBit = {{0x10, 1}, {0x11, 2}, {0x12, 4}};   // Shift, Ctrl, Alt
    l.maxModBits = 7;
    // Combination -> column: Alt alone and Shift+Alt type nothing; Ctrl+Alt is AltGr.
    l.modNumber = {kColBase, kColShift, kColCtrl, kColShiftCtrl, 0x0F, 0x0F, kColAltGr, kColShiftAltGr};
    l.localeFlags = 0x00010001;   // AltGr, table version 1
    l.type = 4;                   // enhanced 101/102-key keyboard

    KbdCharTable main;
    main.columns = kColumnCount;
    std::vector<int> usedAccents;
    for (const DefKey& k : m_keys) {
        KbdCharRecord r, dead;
        r.vk = k.vk;
        dead.vk = 0xFF;
        bool hasDead = false;
        for (int c = 0; c < kColumnCount; ++c) {
            const DefCell& cell = k.cells[c];
            uint16_t ch = kWchNone, deadCh = kWchNone;
            if (cell.accent >= 0) {
                const DefAccent& a = m_accents[cell.accent];
                if (set == 0) {
                    ch = static_cast<uint16_t>(a.spacing);
                } else {
                    ch = kWchDead;
                    deadCh = static_cast<uint16_t>(a.spacing);
                    hasDead = true;
                    if (std::find(usedAccents.begin(), usedAccents.end(), cell.accent) == usedAccents.end())
                        usedAccents.push_back(cell.accent);
                }
            } else if (cell.ch) {
                ch = static_cast<uint16_t>(cell.ch);
            }
            r.chars.push_back(ch);
            dead.chars.push_back(deadCh);
        }
        auto plain = [&](int c) { return k.cells[c].accent < 0 ? k.cells[c].ch : 0; };
        if (plain(kColBase) && ucd.Upper(plain(kColBase)) == plain(kColShift) && plain(kColShift))
            r.attributes |= kCapLok;
        if (plain(kColAltGr) && ucd.Upper(plain(kColAltGr)) == plain(kColShiftAltGr) && plain(kColShiftAltGr))
            r.attributes |= kCapLokAltGr;
        main.records.push_back(r);
        if (hasDead)
            main.records.push_back(dead);
    }
    l.charTables.push_back(main);

    // The number pad in a table of its own: two equal columns, so that an installation can
    // change the decimal key's character by overwriting both.
    KbdCharTable pad;
    pad.columns = 2;
    for (const DefKeypad& k : m_keypad) {
        KbdCharRecord r;
        r.vk = k.vk;
        r.chars = {static_cast<uint16_t>(k.ch), static_cast<uint16_t>(k.ch)};
        pad.records.push_back(r);
    }
    l.charTables.push_back(pad);

    std::sort(usedAccents.begin(), usedAccents.end());
    for (int ai : usedAccents) {
        const DefAccent& a = m_accents[ai];
        std::vector<UnicodeComposition> comps = ucd.Compositions(a.combining);
        if (comps.empty()) {
            m_error = m_path + ": accent '" + a.name + "' composes with no Latin letter in the character database";
            return false;
        }
        KbdDeadEntry space;
        space.base = 0x20;
        space.accent = static_cast<uint16_t>(a.spacing);
        space.composed = static_cast<uint16_t>(a.spacing);
        l.deadKeys.push_back(space);
        for (const UnicodeComposition& c : comps) {
            if (c.base > 0xFFFF || c.composed > 0xFFFF)
                continue;   // a layout types 16-bit units only
            KbdDeadEntry d;
            d.base = static_cast<uint16_t>(c.base);
            d.accent = static_cast<uint16_t>(a.spacing);
            d.composed = static_cast<uint16_t>(c.composed);
            l.deadKeys.push_back(d);
        }
        l.deadKeyNames.push_back(std::u16string(1, static_cast<char16_t>(a.spacing)) + ToUtf16(a.title));
    }

    for (const DefScanName& n : m_names)
        l.keyNames.push_back({n.scan, ToUtf16(n.name)});
    for (const DefScanName& n : m_namesExt)
        l.keyNamesExt.push_back({n.scan, ToUtf16(n.name)});

    l.scanToVk.assign(kScanTableSize, 0xFF);
    for (const auto& s : m_scancodes)
        l.scanToVk[s.first] = s.second;
    for (int scan = 0; scan < kScanTableSize; ++scan)
        if (m_placement[variant][scan] >= 0)
            l.scanToVk[scan] = m_keys[m_placement[variant][scan]].vk;
    for (const DefExtended& e : m_extended)
        (e.prefix == 0xE0 ? l.e0 : l.e1).push_back({e.scan, e.vk});
    return true;
}
