// The reader itself, on images whose answers are known: this 64-bit console
// program, and the shipped Setup.exe spoilt in the ways a broken file can be.
#include "tools/pe/CPeImage.h"
#include "tests/structure/CShippedFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <stdexcept>

namespace {

std::wstring OwnPath()
{
    wchar_t path[MAX_PATH];
    return std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
}

std::vector<std::uint8_t> SetupBytes()
{
    return CPeImage::ReadFile(CShippedFiles::Get().setup).value_or(std::vector<std::uint8_t>{});
}

template <class T>
void Put(std::vector<std::uint8_t>& bytes, std::size_t offset, T value)
{
    std::memcpy(bytes.data() + offset, &value, sizeof(value));
}

DWORD NtHeaders(const std::vector<std::uint8_t>& bytes)
{
    DWORD offset = 0;
    std::memcpy(&offset, bytes.data() + offsetof(IMAGE_DOS_HEADER, e_lfanew), sizeof(offset));
    return offset;
}

TEST(PeImage, ReadsA64BitConsoleProgram)
{
    const CPeImage own = CPeImage::FromFile(OwnPath());
    EXPECT_EQ(IMAGE_NT_OPTIONAL_HDR64_MAGIC, own.Magic());
    EXPECT_EQ(IMAGE_FILE_MACHINE_AMD64, own.Machine());
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_CUI, own.Subsystem());
    const std::vector<std::string> dlls = own.ImportedDlls();
    EXPECT_TRUE(std::any_of(dlls.begin(), dlls.end(),
                            [](const std::string& dll) { return _stricmp(dll.c_str(), "kernel32.dll") == 0; }));
}

TEST(PeImage, FindsResourcesOnlyByTypeIdAndLanguage)
{
    const CPeImage setup(SetupBytes());
    EXPECT_TRUE(setup.Resource(L"bin", 145, 1033)) << "type names compare without case";
    EXPECT_TRUE(setup.Resource(L"BIN", 146, std::nullopt));
    EXPECT_FALSE(setup.Resource(L"BIN", 147, std::nullopt));
    EXPECT_FALSE(setup.Resource(L"BIN", 145, 1031));
    EXPECT_FALSE(setup.Resource(L"BINARY", 145, 1033));
    EXPECT_FALSE(setup.Resource(145, 145, 1033)) << "an id is no name";
}

// The shipped build reaches its libraries bound at first use through slots
// that hold load thunks; an import slot is filled by the loader.
TEST(PeImage, TellsFilledCallSlotsFromEmptyOnes)
{
    std::vector<std::uint8_t> bytes = SetupBytes();
    const CPeImage setup(bytes);
    const std::vector<DWORD> imports = setup.ImportSlots();
    std::optional<DWORD> thunkSlot;
    std::size_t importCalls = 0;
    for (const auto& call : setup.IndirectCalls()) {
        if (std::find(imports.begin(), imports.end(), call.dwSlotRva) != imports.end())
            ++importCalls;
        else if (!thunkSlot && setup.PointerOnDisk(call.dwSlotRva) != 0)
            thunkSlot = call.dwSlotRva;
    }
    EXPECT_GT(importCalls, 0u) << "no call through the kernel's import slots found";
    ASSERT_TRUE(thunkSlot) << "no call through a slot holding a thunk found";
    EXPECT_TRUE(setup.UnfilledCallSlots().empty());

    const auto offset = setup.FileOffset(*thunkSlot);
    ASSERT_TRUE(offset);
    Put<DWORD>(bytes, *offset, 0);
    EXPECT_EQ(std::vector<DWORD>{*thunkSlot}, CPeImage(bytes).UnfilledCallSlots());
}

// What a failed comparison of two builds names, at known places of Setup.exe.
TEST(PeImage, NamesTheStructureAnOffsetFallsIn)
{
    const std::vector<std::uint8_t> bytes = SetupBytes();
    const CPeImage setup(bytes);
    const std::vector<std::uint8_t> payload =
        CPeImage::ReadFile(CShippedFiles::Get().payload145).value_or(std::vector<std::uint8_t>{});
    const auto found = std::search(bytes.begin(), bytes.end(), payload.begin(), payload.end());
    ASSERT_FALSE(payload.empty() || found == bytes.end()) << "BIN/145 not found in Setup.exe";
    const std::size_t fileHeader = NtHeaders(bytes) + 4;
    const std::size_t optionalHeader = fileHeader + sizeof(IMAGE_FILE_HEADER);
    WORD optionalSize = 0;
    std::memcpy(&optionalSize, bytes.data() + fileHeader + offsetof(IMAGE_FILE_HEADER, SizeOfOptionalHeader),
                sizeof(optionalSize));
    const struct {
        std::size_t offset;
        const char* where;
    } cases[] = {
        {0, "DOS header"},
        {fileHeader + offsetof(IMAGE_FILE_HEADER, TimeDateStamp) + 3, "COFF header (TimeDateStamp)"},
        {optionalHeader + offsetof(IMAGE_OPTIONAL_HEADER32, CheckSum), "optional header (CheckSum)"},
        {setup.DirectoryEntryOffset(IMAGE_DIRECTORY_ENTRY_SECURITY), "optional header (data directory 4)"},
        {optionalHeader + optionalSize, "section table (.text)"},
        {setup.FileOffset(0x1000).value_or(0), "section .text"},
        {static_cast<std::size_t>(found - bytes.begin()) + payload.size() - 1, "resource BIN/145 language 1033"},
        {bytes.size(), "in no header or section"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.where, setup.Where(c.offset)) << "offset " << c.offset;
}

using EKind = CPeImage::CBadImage::EKind;

struct DamageCase {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    EKind kind;  // what the payload check tells the user
};

void PrintTo(const DamageCase& c, std::ostream* os)
{
    *os << c.name;
}

class DamagedImage : public testing::TestWithParam<DamageCase> {};

TEST_P(DamagedImage, IsRefused)
{
    std::vector<std::uint8_t> bytes = SetupBytes();
    ASSERT_NO_THROW(CPeImage{bytes});
    GetParam().damage(bytes);
    try {
        CPeImage{bytes};
        ADD_FAILURE() << "the damaged image was read";
    } catch (const CPeImage::CBadImage& bad) {
        EXPECT_EQ(GetParam().kind, bad.Kind()) << bad.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedImage,
    testing::Values(
        DamageCase{"Empty", [](auto& bytes) { bytes.clear(); }, EKind::kNotPe},
        DamageCase{"DosHeaderOnly", [](auto& bytes) { bytes.resize(sizeof(IMAGE_DOS_HEADER)); }, EKind::kTruncated},
        DamageCase{"NoMz", [](auto& bytes) { bytes[0] = 'X'; }, EKind::kNotPe},
        DamageCase{"PeHeaderBeyondTheEnd",
                   [](auto& bytes) { Put<DWORD>(bytes, offsetof(IMAGE_DOS_HEADER, e_lfanew), 0x7FFFFFF0); },
                   EKind::kTruncated},
        DamageCase{"NoPeSignature", [](auto& bytes) { bytes[NtHeaders(bytes)] = 'Q'; }, EKind::kNotPe},
        DamageCase{"SectionTableBeyondTheEnd",
                   [](auto& bytes) {
                       Put<WORD>(bytes, NtHeaders(bytes) + 4 + offsetof(IMAGE_FILE_HEADER, NumberOfSections), 0xFFFF);
                   },
                   EKind::kTruncated},
        DamageCase{"UnknownOptionalHeader",
                   [](auto& bytes) { Put<WORD>(bytes, NtHeaders(bytes) + 24, 0x0999); }, EKind::kNotPe},
        DamageCase{"OptionalHeaderTooShort",
                   [](auto& bytes) {
                       Put<WORD>(bytes, NtHeaders(bytes) + 4 + offsetof(IMAGE_FILE_HEADER, SizeOfOptionalHeader), 64);
                   },
                   EKind::kTruncated}),
    [](const testing::TestParamInfo<DamageCase>& info) { return std::string(info.param.name); });

} // namespace
