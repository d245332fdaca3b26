#ifndef KBD_CORE_KEYTABLE_H
#define KBD_CORE_KEYTABLE_H

// The key table edited by the expert pages.
//
//   KeyEntry, 8 bytes:   +0 scanCode    u16  0xE0nn / 0xE11D for prefixed keys; 0 ends searches
//                        +2 virtualKey  u16  with the layout flag bits (0x100 extended, 0x200 multi,
//                                            0x400 special, 0x800 numeric pad); 0 = unassigned
//                        +4 nameId      u16  string id of the key's label
//                        +6 remapTo     u16  scan-code-map target; 0 = none, 255 = disabled
//
//   KeyAssignment, 4 bytes, stored as a packed list without header or terminator:
//                        +0 scanCode u16 LE, +2 virtualKey u16 LE

#include <stdint.h>

struct KeyEntry
{
    uint16_t scanCode;
    uint16_t virtualKey;
    uint16_t nameId;
    uint16_t remapTo;
};

struct KeyAssignment
{
    uint16_t scanCode;
    uint16_t virtualKey;
};

enum
{
    kKeyTableRows = 146,
    kRemapDisabled = 255
};

extern const KeyEntry DefaultKeyTable[kKeyTableRows];

#endif
