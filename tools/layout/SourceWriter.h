// Writes a layout as the C source of a keyboard-layout library (compiled by the cross
// compilers against KbdTables.h) and as the resource script of its display name.
//
// The tables an installation patches are defined first and in this order: the character
// tables (the decimal key), the E1 list, the E0 list, the scan-code table. The libraries are
// compiled with -fno-toplevel-reorder, so the image keeps that order and each search of the
// patcher, which runs in the opposite order on an image patched so far, meets its own table
// before any patched bytes.
#ifndef KBD_SOURCE_WRITER_H
#define KBD_SOURCE_WRITER_H

#include "KbdLayout.h"

#include <string>

// The string resource that names the layout ("Layout Display Name" points at it).
const int kDisplayNameResourceId = 1000;

class CSourceWriter {
public:
    static std::string TablesSource(const KbdLayout& layout, const std::string& title);
    static std::string ResourceScript(const std::string& displayName);
};

#endif
