// What a keyboard-layout library holds, independent of pointer size and addresses: the model
// the layout compiler builds from the definition, and the model a walk of a built library
// gives back. Two layouts are the same when their dumps are the same text.
#ifndef KBD_LAYOUT_H
#define KBD_LAYOUT_H

#include <cstdint>
#include <string>
#include <vector>

struct KbdCharRecord {
    uint8_t vk = 0;
    uint8_t attributes = 0;
    std::vector<uint16_t> chars;   // one per column
};

struct KbdCharTable {
    int columns = 0;
    std::vector<KbdCharRecord> records;   // without the terminating record
};

struct KbdDeadEntry {
    uint16_t base = 0;
    uint16_t accent = 0;
    uint16_t composed = 0;
    uint16_t flags = 0;
};

struct KbdScanVk {
    uint8_t scan = 0;
    uint16_t vk = 0;
};

struct KbdScanName {
    uint8_t scan = 0;
    std::u16string name;
};

struct KbdLayout {
    std::vector<std::pair<uint8_t, uint8_t>> vkToBit;   // virtual key, modifier bit
    uint16_t maxModBits = 0;
    std::vector<uint8_t> modNumber;                       // maxModBits + 1 entries
    std::vector<KbdCharTable> charTables;
    std::vector<KbdDeadEntry> deadKeys;
    std::vector<KbdScanName> keyNames;
    std::vector<KbdScanName> keyNamesExt;
    std::vector<std::u16string> deadKeyNames;             // accent character, then the name
    std::vector<uint16_t> scanToVk;
    std::vector<KbdScanVk> e0;
    std::vector<KbdScanVk> e1;
    uint32_t localeFlags = 0;
    uint8_t ligatureColumns = 0;
    uint8_t ligatureSize = 0;
    bool hasLigatures = false;
    uint32_t type = 0;
    uint32_t subtype = 0;
};

// Canonical text of a layout, one fact per line (hexadecimal numbers, names in UTF-8).
std::string DumpKbdLayout(const KbdLayout& layout);

std::string Utf16ToUtf8(const std::u16string& text);

#endif
