#ifndef KBD_PAYLOAD_CRC32_H
#define KBD_PAYLOAD_CRC32_H

#include <stddef.h>
#include <stdint.h>

// The standard CRC-32 (reflected 0xEDB88320); pass 0 as the initial value, or a previous result
// to continue over more bytes. 0 for a null pointer.
uint32_t Crc32(uint32_t initial, const void* bytes, size_t length);

#endif
