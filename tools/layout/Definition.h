// The readable layout definition (content/layout/layout.kbd) and the layouts built from it.
// The file's own header comment describes its syntax; this class parses it, checks it, and
// builds the tables of one library for a (set, variant) pair.
#ifndef KBD_DEFINITION_H
#define KBD_DEFINITION_H

#include "KbdLayout.h"
#include "UnicodeData.h"

#include <cstdint>
#include <string>
#include <vector>

// Columns of the character table: the modifier combinations that type something.
enum KbdColumn { kColBase, kColShift, kColCtrl, kColShiftCtrl, kColAltGr, kColShiftAltGr, kColumnCount };

struct DefCell {
    uint32_t ch = 0;     // 0 = none
    int accent = -1;     // index into the accents: a spacing accent in set 0, a dead key in set 1
};

struct DefAccent {
    std::string name;
    uint32_t spacing = 0;
    uint32_t combining = 0;
    std::string title;
};

struct DefKey {
    std::string name;
    uint8_t vk = 0;
    DefCell cells[kColumnCount];
    int line = 0;
};

struct DefKeypad {
    std::string name;
    uint8_t vk = 0;
    uint32_t ch = 0;
};

struct DefScanName {
    uint8_t scan = 0;
    std::string name;
};

struct DefExtended {
    int prefix = 0;   // 0xE0 or 0xE1
    uint8_t scan = 0;
    uint16_t vk = 0;
};

const int kLayoutSets = 2;
const int kLayoutVariants = 3;
const int kScanTableSize = 127;   // scan codes 0-126

class CDefinition {
public:
    // Parses and checks the definition. False with Error() as "file:line: message".
    bool Load(const std::string& path);
    const std::string& Error() const { return m_error; }

    // The tables of the library of (set, variant); set 1 adds the dead keys.
    bool Build(int set, int variant, const CUnicodeData& ucd, KbdLayout& layout);

    const std::string& DisplayName(int set, int variant) const { return m_display[set][variant]; }
    const std::string& VariantTitle(int variant) const { return m_variantTitle[variant]; }
    const std::vector<DefKey>& Keys() const { return m_keys; }
    const std::vector<DefAccent>& Accents() const { return m_accents; }
    // The key index at each scan code in a variant (-1 where no character key sits).
    const std::vector<int>& Placement(int variant) const { return m_placement[variant]; }

private:
    bool Fail(int line, const std::string& what);
    bool ParseLine(const std::string& section, std::vector<std::string>& tokens, const std::string& rest, int line);
    bool ParseCell(const std::string& token, DefCell& cell, int line, bool allowAccent);
    bool ParseChar(const std::string& token, uint32_t& ch, int line);
    bool ParseNumber(const std::string& token, uint32_t& value, uint32_t max, int line);
    bool ParseVk(const std::string& token, uint8_t& vk, int line);
    int FindKey(const std::string& name) const;
    bool Check();

    std::string m_path;
    std::string m_error;
    std::string m_display[kLayoutSets][kLayoutVariants];
    std::string m_variantTitle[kLayoutVariants];
    std::vector<DefAccent> m_accents;
    std::vector<DefKey> m_keys;
    std::vector<DefKeypad> m_keypad;
    std::vector<std::pair<uint8_t, uint16_t>> m_scancodes;
    std::vector<DefExtended> m_extended;
    std::vector<DefScanName> m_names, m_namesExt;
    // Per variant: scan code -> key index, as written (variants 1 and 2 inherit the rest).
    std::vector<std::pair<uint8_t, int>> m_placed[kLayoutVariants];
    int m_variantLine[kLayoutVariants] = {0, 0, 0};
    int m_lineCount = 0;
    std::vector<int> m_placement[kLayoutVariants];
};

#endif
