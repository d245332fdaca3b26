// Writes the IA64 keyboard-layout library directly, since no IA64 compiler exists on the build
// machines: a PE32+ image (machine 0x200) with the tables of KbdTables.h in their 64-bit layout.
//
//   file 0x000  MZ header and DOS stub, u32 at 0x3C = 0x80
//        0x080  "PE\0\0", file header (machine 0x200, 5 sections, DLL), PE32+ optional header
//               (entry point 0, section alignment 0x2000 = the IA64 page, file alignment 0x200,
//               global-pointer directory = gp), then the section headers
//   RVA 0x2000  .text   one bundle, 16 bytes:
//                 { .mib  nop.m 0 ; addl r8 = tables - gp, r1 ; br.ret.sptk.many b0 ;; }
//       0x4000  .rdata  export directory: KbdLayerDescriptor, ordinal 1 -> the descriptor
//       0x6000  .data   the tables (same order as the C writer's), then the function
//               descriptor {entry address, gp}; gp = the start of .data
//       0x8000  .rsrc   string 1000 (the display name), language 0
//       0xA000  .reloc  one DIR64 (type 10) entry for every pointer of the tables and for both
//               words of the descriptor; the code itself is position-independent
//
// On IA64 a function's address is the address of its descriptor: a caller loads the entry and
// gp from it, branches with the return address in b0, and reads the result from r8. The
// function touches no memory and no stack, so it needs neither unwind data nor a frame.
#ifndef KBD_IA64_IMAGE_H
#define KBD_IA64_IMAGE_H

#include "KbdLayout.h"

#include <cstdint>
#include <string>
#include <vector>

const uint16_t kMachineIa64 = 0x200;

struct Ia64LibraryInfo {
    std::string fileName;      // the library's own name in its export directory
    std::string displayName;   // UTF-8; string resource 1000
    uint16_t osMajor = 0, osMinor = 0;   // operating-system and subsystem version
};

// One 128-bit instruction bundle: a 5-bit template and three 41-bit slots.
struct Ia64Bundle {
    uint8_t templ = 0;
    uint64_t slot[3] = {0, 0, 0};
};

class CIa64Image {
public:
    static const uint64_t kImageBase = 0x10000000;

    // The whole library file.
    static std::vector<uint8_t> Build(const KbdLayout& layout, const Ia64LibraryInfo& info);

    // Instruction encodings (41-bit slot values, qualifying predicate p0).
    static uint64_t NopM();
    static uint64_t NopI();
    static uint64_t Addl(int r1, int32_t imm22, int r3);   // r3 is one of r0-r3
    static uint64_t BrRetSptkMany(int b2);
    static const uint8_t kTemplateMibStop = 0x11;

    static void PackBundle(const Ia64Bundle& bundle, uint8_t out[16]);
    static Ia64Bundle UnpackBundle(const uint8_t in[16]);

    // The offset the exported function adds to gp, when `bundle` is exactly the function this
    // writer emits; false for any other bundle.
    static bool ReadTopTableOffset(const Ia64Bundle& bundle, int64_t& offset);

    // The optional header's checksum of a whole image file.
    static uint32_t Checksum(const std::vector<uint8_t>& file);
};

#endif
