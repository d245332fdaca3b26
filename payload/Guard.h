#ifndef KBD_PAYLOAD_GUARD_H
#define KBD_PAYLOAD_GUARD_H

// The key holder. The scrambled key blob travels in the asset store as it is; the cipher key
// only exists after Load has undone the scrambling:
//
//   stored blob (968 bytes)
//     1. move  move1Count bytes  move1Source -> move1Target   (overlap-safe, clipped at the end)
//     2. move  move2Count bytes  move2Source -> move2Target
//     3. XOR   xorCount bytes from xorStart with the byte at xorKeyPos (read once, before the pass)
//   unscrambled blob
//     +-----------------+---------------------------+-----------------+
//     | 0 .. keyOffset  | cipher key, 495 bytes     | rest            |
//     +-----------------+---------------------------+-----------------+
//
// The parameters belong to the build that packed the store: they are linked in beside it.

#include <stdint.h>

enum
{
    kKeyBlobLength = 968,
    kCipherKeyLength = 495
};

// The ten build-time values of the scrambling, in this order in the table the packer emits.
struct GuardParameters
{
    int32_t keyOffset;
    int32_t move1Source, move1Target, move1Count;
    int32_t move2Source, move2Target, move2Count;
    int32_t xorCount, xorStart, xorKeyPos;
};

class CGuard
{
public:
    // Takes the parameters of the store linked into the program (defined beside the store).
    CGuard();
    explicit CGuard(const GuardParameters& parameters);
    virtual ~CGuard();

    int Load(const unsigned char* source, int length);
    void Release();
    void MoveBytes(int target, int source, int count);
    void XorSpan(int start, int keyPosition, int count);

    // Deciphers and inflates one stored blob. On success *length becomes the decoded size and
    // the caller frees the result with free(); on failure nothing changes and null comes back.
    unsigned char* Decode(const unsigned char* stored, int* length, int* itemCount) const;

    unsigned char* keyBlob;
    int32_t blobLength;
    int32_t keyOffset;
    int32_t keyLength;
    int32_t move1Source, move1Target, move1Count;
    int32_t move2Source, move2Target, move2Count;
    int32_t xorCount, xorStart, xorKeyPos;

private:
    void SetParameters(const GuardParameters& parameters);
    CGuard(const CGuard&);
    CGuard& operator=(const CGuard&);
};

#endif
