#ifndef KBD_PAYLOAD_BLOWFISH_H
#define KBD_PAYLOAD_BLOWFISH_H

// Blowfish, 16 rounds, ECB. A block of 8 bytes is read as two little-endian 32-bit halves:
//
//   byte  0  1  2  3   4  5  6  7
//         L (LSB..MSB) R (LSB..MSB)
//
// (the published test vectors read the halves most significant byte first; the stored data
// depends on this reading, so it must not change). A final partial block is padded with zeros
// in a local copy and only the bytes inside the length are written.

#include <stddef.h>
#include <stdint.h>

class BlowfishContext
{
public:
    BlowfishContext();
    ~BlowfishContext();

    // 0 when the P-array and S-boxes could not be allocated.
    int IsReady() const { return P != 0 && S != 0; }

    int SetKey(const unsigned char* key, int keyLength);
    void EncryptBlock(uint32_t* left, uint32_t* right) const;
    void DecryptBlock(uint32_t* left, uint32_t* right) const;

    // source == target deciphers in place; otherwise the source is left unchanged.
    void Decrypt(const unsigned char* source, unsigned char* target, size_t length) const;
    // The packer's direction, with the same block handling.
    void Encrypt(const unsigned char* source, unsigned char* target, size_t length) const;

    uint32_t* P;  // 18 words
    uint32_t* S;  // 4 x 256 words, S-box 0 first

private:
    uint32_t F(uint32_t x) const;
    void Crypt(const unsigned char* source, unsigned char* target, size_t length, int decrypt) const;
    BlowfishContext(const BlowfishContext&);
    BlowfishContext& operator=(const BlowfishContext&);
};

#endif
