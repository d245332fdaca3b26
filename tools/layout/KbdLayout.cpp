#include "KbdLayout.h"

#include <cstdio>

namespace {

std::string Hex(unsigned value, int digits)
{
    char buf[16];
    std::snprintf(buf, sizeof(buf), "%0*X", digits, value);
    return buf;
}

} // namespace

std::string Utf16ToUtf8(const std::u16string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string DumpKbdLayout(const KbdLayout& l)
{
    std::string s;
    s += "flags " + Hex(l.localeFlags, 8) + "\n";
    s += "type " + Hex(l.type, 8) + " " + Hex(l.subtype, 8) + "\n";
    s += "ligatures " + Hex(l.ligatureColumns, 2) + " " + Hex(l.ligatureSize, 2) + (l.hasLigatures ? " table" : " none") + "\n";
    for (const auto& b : l.vkToBit)
        s += "modbit " + Hex(b.first, 2) + " " + Hex(b.second, 2) + "\n";
    s += "modnumber " + Hex(l.maxModBits, 4);
    for (uint8_t n : l.modNumber)
        s += " " + Hex(n, 2);
    s += "\n";
    for (size_t t = 0; t < l.charTables.size(); ++t) {
        const KbdCharTable& table = l.charTables[t];
        s += "chartable " + std::to_string(t) + " columns " + std::to_string(table.columns) + "\n";
        for (const KbdCharRecord& r : table.records) {
            s += "char " + Hex(r.vk, 2) + " " + Hex(r.attributes, 2);
            for (uint16_t c : r.chars)
                s += " " + Hex(c, 4);
            s += "\n";
        }
    }
    for (const KbdDeadEntry& d : l.deadKeys)
        s += "dead " + Hex(d.accent, 4) + " " + Hex(d.base, 4) + " " + Hex(d.composed, 4) + " " + Hex(d.flags, 4) + "\n";
    for (const KbdScanName& n : l.keyNames)
        s += "name " + Hex(n.scan, 2) + " " + Utf16ToUtf8(n.name) + "\n";
    for (const KbdScanName& n : l.keyNamesExt)
        s += "nameext " + Hex(n.scan, 2) + " " + Utf16ToUtf8(n.name) + "\n";
    for (const std::u16string& n : l.deadKeyNames)
        s += "namedead " + Utf16ToUtf8(n) + "\n";
    for (size_t i = 0; i < l.scanToVk.size(); ++i)
        s += "scan " + Hex(static_cast<unsigned>(i), 2) + " " + Hex(l.scanToVk[i], 4) + "\n";
    for (const KbdScanVk& e : l.e0)
        s += "e0 " + Hex(e.scan, 2) + " " + Hex(e.vk, 4) + "\n";
    for (const KbdScanVk& e : l.e1)
        s += "e1 " + Hex(e.scan, 2) + " " + Hex(e.vk, 4) + "\n";
    return s;
}
