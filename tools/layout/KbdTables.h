/* The tables of a Windows keyboard-layout library, as the system reads them.
 *
 * The library exports KbdLayerDescriptor(), which returns the address of the top table:
 *
 *   KbdTables               32-bit  64-bit
 *     pCharModifiers           0       0    -> KbdModifiers
 *     pVkToWcharTable          4       8    -> KbdVkToWcharTable[], ended by a null pointer
 *     pDeadKey                 8      16    -> KbdDeadKey[], ended by a zero record (or null)
 *     pKeyNames               12      24    -> KbdScanName[] of plain scan codes
 *     pKeyNamesExt            16      32    -> KbdScanName[] of E0 scan codes
 *     pKeyNamesDead           20      40    -> wide strings, null-ended: accent char + name
 *     pusVSCtoVK              24      48    -> u16[bMaxVSCtoVK], virtual key by scan code
 *     bMaxVSCtoVK             28      56    u8, entries of that array
 *     pVSCtoVK_E0             32      64    -> KbdScanVk[], ended by scan code 0
 *     pVSCtoVK_E1             36      72    -> KbdScanVk[], ended by scan code 0
 *     fLocaleFlags            40      80    u32: low word flags (ALTGR 1), high word version 1
 *     nLgMax, cbLgEntry       44,45   84,85 u8, u8 (no ligatures: 0, 0)
 *     pLigature               48      88    null
 *     dwType, dwSubType       52,56   96,100
 *     size                    60     104
 *
 *   KbdModifiers: pointer to {u8 vk, u8 bit}[] ended by vk 0; u16 highest bit combination;
 *     u8 column[combination + 1] (0x0F = no column for that combination).
 *   KbdVkToWcharTable: pointer to records, u8 columns, u8 record size.
 *   Records: u8 vk, u8 attributes (1 Caps Lock shifts, 4 Caps Lock shifts AltGr too),
 *     u16 character per column (0xF000 none, 0xF001 dead key). A record of vk 0xFF right after a
 *     key with dead columns holds their accents. A record of vk 0 ends the table.
 *   KbdDeadKey: u32 (base character in the low word, accent in the high word), u16 composed,
 *     u16 flags.
 *   KbdScanVk: u8 scan code, u8 padding, u16 virtual key with flags.
 *
 * Compiled by the cross compilers into each library; the host tools read the same bytes with
 * their own walker (KbdWalker), for either pointer size.
 */
#ifndef KBD_TABLES_H
#define KBD_TABLES_H

typedef unsigned char KbdU8;
typedef unsigned short KbdU16;
typedef unsigned int KbdU32;
typedef unsigned short KbdWchar; /* UTF-16 unit, whatever wchar_t is */

typedef struct {
    KbdU8 vk;
    KbdU8 bit;
} KbdVkToBit;

/* Eight bit combinations (Shift 1, Ctrl 2, Alt 4) give eight column entries. */
typedef struct {
    KbdVkToBit *pVkToBit;
    KbdU16 wMaxModBits;
    KbdU8 modNumber[8];
} KbdModifiers;

typedef struct {
    void *pVkToWchars;
    KbdU8 nModifications;
    KbdU8 cbSize;
} KbdVkToWcharTable;

typedef struct {
    KbdU32 dwBoth;
    KbdWchar wchComposed;
    KbdU16 uFlags;
} KbdDeadKey;

typedef struct {
    KbdU8 vsc;
    const KbdWchar *pwsz;
} KbdScanName;

typedef struct {
    KbdU8 vsc;
    KbdU8 pad;
    KbdU16 vk;
} KbdScanVk;

typedef struct {
    KbdModifiers *pCharModifiers;
    KbdVkToWcharTable *pVkToWcharTable;
    KbdDeadKey *pDeadKey;
    KbdScanName *pKeyNames;
    KbdScanName *pKeyNamesExt;
    const KbdWchar **pKeyNamesDead;
    KbdU16 *pusVSCtoVK;
    KbdU8 bMaxVSCtoVK;
    KbdScanVk *pVSCtoVK_E0;
    KbdScanVk *pVSCtoVK_E1;
    KbdU32 fLocaleFlags;
    KbdU8 nLgMax;
    KbdU8 cbLgEntry;
    void *pLigature;
    KbdU32 dwType;
    KbdU32 dwSubType;
} KbdTables;

#define KBD_WCH_NONE 0xF000
#define KBD_WCH_DEAD 0xF001

#endif
