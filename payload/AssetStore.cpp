// Built only into programs that link a packed store: it resolves the store's symbols, which the
// packer generates together with the store bytes.
#include "payload/AssetStore.h"

#include "payload/BlobHeader.h"
#include "payload/Guard.h"

// Generated with the store: the address of each record, and the key parameters it was packed with.
extern "C" const unsigned char* const kbdStoreRecords[kStoreRecordCount];
extern "C" const GuardParameters kbdGuardParameters;

CGuard::CGuard()
    : keyBlob(0), blobLength(kKeyBlobLength), keyLength(kCipherKeyLength)
{
    SetParameters(kbdGuardParameters);
}

const unsigned char* StoreBlob(int blob)
{
    if (blob < 0 || blob >= kStoreBlobCount)
        return 0;
    const unsigned char* record = kbdStoreRecords[blob / 2];
    return (blob & 1) ? record + 8 + ReadLe32(record) : record + 8;
}

int StoreBlobLength(int blob)
{
    if (blob < 0 || blob >= kStoreBlobCount)
        return 0;
    return (int)ReadLe32(kbdStoreRecords[blob / 2] + 4 * (blob & 1));
}

namespace {

LayoutCatalogue BuildCatalogue()
{
    LayoutCatalogue catalogue;
    for (int s = 0; s < kCatalogueSets; ++s)
        for (int r = 0; r < kCatalogueRows; ++r)
            for (int c = 0; c < kCatalogueSlots; ++c) {
                const int blob = CatalogueBlobNumber(s, r, c);
                catalogue.blob[s][r][c] = StoreBlob(blob);
                catalogue.length[s][r][c] = StoreBlobLength(blob);
            }
    return catalogue;
}

} // namespace

const LicenceEntry LicenceTable[kLicenceCount] = {
    { StoreBlob(kBlobLicence0), StoreBlobLength(kBlobLicence0) },
    { StoreBlob(kBlobLicence1), StoreBlobLength(kBlobLicence1) },
};

const LayoutCatalogue g_layoutCatalogue = BuildCatalogue();
