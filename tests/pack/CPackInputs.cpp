#include "tests/pack/CPackInputs.h"

#include "tests/e2e/CSetupRun.h"
#include "tests/pack/CPackRun.h"
#include "tools/pe/CPeImage.h"

#include <wintrust.h>

#include <cstring>

namespace pack_inputs {

std::vector<std::uint8_t> Setup()
{
    return CPackRun::ReadFile(CSetupRun::DriverFolder() + L"\\setup\\Setup.exe");
}

std::vector<std::uint8_t> Tool32()
{
    return CPackRun::ReadFile(CPackRun::ProgramPath(L"tool32.exe"));
}

std::vector<std::uint8_t> Tool64()
{
    return CPackRun::ReadFile(CPackRun::ProgramPath(L"tool64.exe"));
}

std::vector<std::uint8_t> Signed(std::vector<std::uint8_t> image)
{
    const std::size_t entry = CPeImage(image).DirectoryEntryOffset(IMAGE_DIRECTORY_ENTRY_SECURITY);
    image.resize((image.size() + 7) & ~std::size_t{7});
    WIN_CERTIFICATE header = {};
    header.dwLength = sizeof(header) + 24;  // a blob no verifier would take; only its place counts
    header.wRevision = WIN_CERT_REVISION_2_0;
    header.wCertificateType = WIN_CERT_TYPE_PKCS_SIGNED_DATA;
    const IMAGE_DATA_DIRECTORY table = {static_cast<DWORD>(image.size()), header.dwLength};
    image.resize(image.size() + header.dwLength, 0x5A);
    std::memcpy(image.data() + table.VirtualAddress, &header, offsetof(WIN_CERTIFICATE, bCertificate));
    std::memcpy(image.data() + entry, &table, sizeof(table));
    return image;
}

std::vector<std::uint8_t> WithCharacteristics(std::vector<std::uint8_t> image, WORD bits)
{
    DWORD ntHeaders = 0;
    std::memcpy(&ntHeaders, image.data() + offsetof(IMAGE_DOS_HEADER, e_lfanew), sizeof(ntHeaders));
    const std::size_t field = ntHeaders + 4 + offsetof(IMAGE_FILE_HEADER, Characteristics);
    WORD characteristics = 0;
    std::memcpy(&characteristics, image.data() + field, sizeof(characteristics));
    characteristics |= bits;
    std::memcpy(image.data() + field, &characteristics, sizeof(characteristics));
    return image;
}

} // namespace pack_inputs
