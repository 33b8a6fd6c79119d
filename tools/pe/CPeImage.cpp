#include "tools/pe/CPeImage.h"

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

constexpr DWORD kPeSignature = 0x00004550;  // "PE\0\0"
constexpr DWORD kSubdirectoryBit = 0x80000000;
constexpr std::size_t kSectionHeaderSize = sizeof(IMAGE_SECTION_HEADER);
constexpr std::size_t kResourceEntrySize = 8;

// Where the data directories start and how many there are, per optional header kind.
struct CDirectoryLayout {
    std::size_t countOffset;
    std::size_t firstOffset;
};

using EKind = CPeImage::CBadImage::EKind;

CDirectoryLayout DirectoryLayout(WORD magic)
{
    if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC)
        return {92, 96};
    if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        return {108, 112};
    throw CPeImage::CBadImage(EKind::kNotPe, "unknown optional header kind");
}

} // namespace

CPeImage::CPeImage(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes))
{
    if (m_bytes.size() < sizeof(WORD) || Read<WORD>(0) != IMAGE_DOS_SIGNATURE)
        throw CBadImage(EKind::kNotPe, "no MZ header");
    m_ntHeaders = Read<DWORD>(offsetof(IMAGE_DOS_HEADER, e_lfanew));
    if (Read<DWORD>(m_ntHeaders) != kPeSignature)
        throw CBadImage(EKind::kNotPe, "no PE signature");
    m_wSectionCount = Read<WORD>(m_ntHeaders + 4 + offsetof(IMAGE_FILE_HEADER, NumberOfSections));
    const WORD optionalSize =
        Read<WORD>(m_ntHeaders + 4 + offsetof(IMAGE_FILE_HEADER, SizeOfOptionalHeader));
    m_sections = OptionalHeader() + optionalSize;
    // Fail here rather than later: the header kind, its fixed fields and the
    // last section header.
    if (optionalSize < DirectoryLayout(Magic()).firstOffset)
        throw CBadImage(EKind::kTruncated, "optional header shorter than its fixed fields");
    if (m_wSectionCount)
        Section(m_wSectionCount - 1);
}

CPeImage CPeImage::FromFile(const std::wstring& path)
{
    auto bytes = ReadFile(path);
    if (!bytes)
        throw std::runtime_error("cannot read the image file");
    return CPeImage(std::move(*bytes));
}

std::optional<std::vector<std::uint8_t>> CPeImage::ReadFile(const std::wstring& path)
{
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    if (!file)
        return std::nullopt;
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad())
        return std::nullopt;
    return bytes;
}

template <class T>
T CPeImage::Read(std::size_t offset) const
{
    if (offset > m_bytes.size() || m_bytes.size() - offset < sizeof(T))
        throw CBadImage(EKind::kTruncated, "read beyond the end of the image");
    T value;
    std::memcpy(&value, m_bytes.data() + offset, sizeof(T));
    return value;
}

WORD CPeImage::Machine() const
{
    return Read<WORD>(m_ntHeaders + 4 + offsetof(IMAGE_FILE_HEADER, Machine));
}

WORD CPeImage::Magic() const
{
    return Read<WORD>(OptionalHeader());
}

// At the same place in both optional header kinds.
WORD CPeImage::Subsystem() const
{
    return Read<WORD>(OptionalHeader() + offsetof(IMAGE_OPTIONAL_HEADER32, Subsystem));
}

WORD CPeImage::Characteristics() const
{
    return Read<WORD>(m_ntHeaders + 4 + offsetof(IMAGE_FILE_HEADER, Characteristics));
}

IMAGE_SECTION_HEADER CPeImage::Section(WORD index) const
{
    return Read<IMAGE_SECTION_HEADER>(m_sections + index * kSectionHeaderSize);
}

std::size_t CPeImage::EndOfSections() const
{
    std::size_t end = 0;
    for (WORD i = 0; i < m_wSectionCount; ++i) {
        const auto section = Section(i);
        if (section.SizeOfRawData)
            end = std::max<std::size_t>(end, std::size_t{section.PointerToRawData} + section.SizeOfRawData);
    }
    return end;
}

std::size_t CPeImage::DirectoryEntryOffset(int index) const
{
    return OptionalHeader() + DirectoryLayout(Magic()).firstOffset + index * sizeof(IMAGE_DATA_DIRECTORY);
}

IMAGE_DATA_DIRECTORY CPeImage::Directory(int index) const
{
    const CDirectoryLayout layout = DirectoryLayout(Magic());
    if (Read<DWORD>(OptionalHeader() + layout.countOffset) <= static_cast<DWORD>(index))
        return {};
    return Read<IMAGE_DATA_DIRECTORY>(DirectoryEntryOffset(index));
}

IMAGE_DATA_DIRECTORY CPeImage::Signature() const
{
    return Directory(IMAGE_DIRECTORY_ENTRY_SECURITY);
}

std::optional<std::size_t> CPeImage::FileOffset(DWORD rva) const
{
    for (WORD i = 0; i < m_wSectionCount; ++i) {
        const auto section = Section(i);
        // Only what the file holds; the rest of a section exists in memory only.
        if (rva >= section.VirtualAddress && rva - section.VirtualAddress < section.SizeOfRawData)
            return section.PointerToRawData + (rva - section.VirtualAddress);
    }
    return std::nullopt;
}

std::size_t CPeImage::RvaToOffset(DWORD rva) const
{
    if (const auto offset = FileOffset(rva))
        return *offset;
    throw std::runtime_error("address outside the file's sections");
}

bool CPeImage::IsExecutable(DWORD rva) const
{
    for (WORD i = 0; i < m_wSectionCount; ++i) {
        const auto section = Section(i);
        if (rva >= section.VirtualAddress && rva - section.VirtualAddress < section.Misc.VirtualSize)
            return (section.Characteristics & IMAGE_SCN_MEM_EXECUTE) != 0;
    }
    return false;
}

ULONGLONG CPeImage::ImageBase() const
{
    if (Magic() == IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        return Read<ULONGLONG>(OptionalHeader() + offsetof(IMAGE_OPTIONAL_HEADER64, ImageBase));
    return Read<DWORD>(OptionalHeader() + offsetof(IMAGE_OPTIONAL_HEADER32, ImageBase));
}

// At the same place in both optional header kinds.
DWORD CPeImage::SizeOfImage() const
{
    return Read<DWORD>(OptionalHeader() + offsetof(IMAGE_OPTIONAL_HEADER32, SizeOfImage));
}

ULONGLONG CPeImage::PointerOnDisk(DWORD rva) const
{
    const auto offset = FileOffset(rva);
    if (!offset)
        return 0;
    return Magic() == IMAGE_NT_OPTIONAL_HDR64_MAGIC ? Read<ULONGLONG>(*offset) : Read<DWORD>(*offset);
}

std::string CPeImage::ReadAnsi(std::size_t offset) const
{
    std::string text;
    for (char c; (c = Read<char>(offset + text.size())) != '\0';)
        text.push_back(c);
    return text;
}

std::vector<std::string> CPeImage::ImportedDlls() const
{
    std::vector<std::string> dlls;
    const IMAGE_DATA_DIRECTORY imports = Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
    if (!imports.VirtualAddress)
        return dlls;
    for (std::size_t entry = RvaToOffset(imports.VirtualAddress);;
         entry += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto descriptor = Read<IMAGE_IMPORT_DESCRIPTOR>(entry);
        if (!descriptor.Name)
            return dlls;
        dlls.push_back(ReadAnsi(RvaToOffset(descriptor.Name)));
    }
}

std::vector<DWORD> CPeImage::ImportSlots() const
{
    std::vector<DWORD> slots;
    const IMAGE_DATA_DIRECTORY imports = Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
    if (!imports.VirtualAddress)
        return slots;
    const DWORD slotSize = Magic() == IMAGE_NT_OPTIONAL_HDR64_MAGIC ? 8 : 4;
    for (std::size_t entry = RvaToOffset(imports.VirtualAddress);;
         entry += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto descriptor = Read<IMAGE_IMPORT_DESCRIPTOR>(entry);
        if (!descriptor.Name)
            return slots;
        // The name table ends where the slots end; the slots themselves are
        // overwritten by the loader.
        const DWORD names = descriptor.OriginalFirstThunk ? descriptor.OriginalFirstThunk
                                                          : descriptor.FirstThunk;
        for (DWORD i = 0; PointerOnDisk(names + i * slotSize) != 0; ++i)
            slots.push_back(descriptor.FirstThunk + i * slotSize);
    }
}

std::vector<CPeImage::CIndirectCall> CPeImage::IndirectCalls() const
{
    constexpr WORD kHighLow = IMAGE_REL_BASED_HIGHLOW;
    std::vector<CIndirectCall> calls;
    const IMAGE_DATA_DIRECTORY relocations = Directory(IMAGE_DIRECTORY_ENTRY_BASERELOC);
    const ULONGLONG base = ImageBase();
    for (DWORD done = 0; done + sizeof(IMAGE_BASE_RELOCATION) <= relocations.Size;) {
        const auto block = Read<IMAGE_BASE_RELOCATION>(RvaToOffset(relocations.VirtualAddress + done));
        if (block.SizeOfBlock < sizeof(IMAGE_BASE_RELOCATION))
            throw std::runtime_error("base relocation block too small");
        const std::size_t entries = RvaToOffset(relocations.VirtualAddress + done) + sizeof(block);
        for (DWORD i = 0; i < (block.SizeOfBlock - sizeof(block)) / 2; ++i) {
            const WORD entry = Read<WORD>(entries + i * 2);
            const DWORD site = block.VirtualAddress + (entry & 0x0FFF);
            if ((entry >> 12) != kHighLow || site < 2 || !IsExecutable(site))
                continue;
            // FF 15: call [abs32]; FF 25: jmp [abs32]; the relocated operand follows.
            const std::size_t operand = RvaToOffset(site);
            const BYTE opcode = Read<BYTE>(operand - 2);
            const BYTE modrm = Read<BYTE>(operand - 1);
            if (opcode != 0xFF || (modrm != 0x15 && modrm != 0x25))
                continue;
            const DWORD target = Read<DWORD>(operand);
            calls.push_back({site - 2, static_cast<DWORD>(target - base)});
        }
        done += block.SizeOfBlock;
    }
    return calls;
}

std::vector<DWORD> CPeImage::UnfilledCallSlots() const
{
    const std::vector<DWORD> imports = ImportSlots();
    const ULONGLONG base = ImageBase();
    std::vector<DWORD> unfilled;
    for (const CIndirectCall& call : IndirectCalls()) {
        if (std::find(imports.begin(), imports.end(), call.dwSlotRva) != imports.end())
            continue;
        const ULONGLONG address = PointerOnDisk(call.dwSlotRva);
        if (address >= base && address - base < SizeOfImage())
            continue;
        if (std::find(unfilled.begin(), unfilled.end(), call.dwSlotRva) == unfilled.end())
            unfilled.push_back(call.dwSlotRva);
    }
    std::sort(unfilled.begin(), unfilled.end());
    return unfilled;
}

// The text of an entry's name (an entry named by an id has none).
std::wstring CPeImage::NameText(std::size_t resources, DWORD entryName) const
{
    const std::size_t text = resources + (entryName & ~kSubdirectoryBit);
    std::wstring name(Read<WORD>(text), L'\0');
    for (std::size_t i = 0; i < name.size(); ++i)
        name[i] = Read<wchar_t>(text + 2 + i * sizeof(wchar_t));
    return name;
}

// Resource names are upper-cased by the compiler and looked up without case.
bool CPeImage::Matches(std::size_t resources, DWORD entryName, const CResourceId& id) const
{
    if (!(entryName & kSubdirectoryBit))
        return id.strName.empty() && entryName == id.wId;
    const std::wstring name = NameText(resources, entryName);
    return std::equal(name.begin(), name.end(), id.strName.begin(), id.strName.end(),
                      [](wchar_t a, wchar_t b) { return std::towupper(a) == std::towupper(b); });
}

std::vector<std::pair<DWORD, DWORD>> CPeImage::Entries(std::size_t directory) const
{
    const auto header = Read<IMAGE_RESOURCE_DIRECTORY>(directory);
    const std::size_t count = header.NumberOfNamedEntries + header.NumberOfIdEntries;
    std::vector<std::pair<DWORD, DWORD>> entries;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = directory + sizeof(IMAGE_RESOURCE_DIRECTORY) + i * kResourceEntrySize;
        entries.emplace_back(Read<DWORD>(entry), Read<DWORD>(entry + 4));
    }
    return entries;
}

// The OffsetToData of the entry for id (no id: the first entry) in one directory level.
std::optional<DWORD> CPeImage::FindEntry(std::size_t resources, std::size_t directory,
                                         const std::optional<CResourceId>& id) const
{
    for (const auto& [entryName, offsetToData] : Entries(directory)) {
        if (!id || Matches(resources, entryName, *id))
            return offsetToData;
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> CPeImage::Resource(const CResourceId& type,
                                                            const CResourceId& name,
                                                            std::optional<WORD> language) const
{
    const IMAGE_DATA_DIRECTORY directory = Directory(IMAGE_DIRECTORY_ENTRY_RESOURCE);
    if (!directory.VirtualAddress)
        return std::nullopt;
    const std::size_t resources = RvaToOffset(directory.VirtualAddress);

    // Three levels: type, name, language; the first two lead to sub-directories.
    std::size_t level = resources;
    const std::optional<CResourceId> path[] = {type, name};
    for (const auto& id : path) {
        const auto next = FindEntry(resources, level, id);
        if (!next || !(*next & kSubdirectoryBit))
            return std::nullopt;
        level = resources + (*next & ~kSubdirectoryBit);
    }
    const auto dataEntry = FindEntry(resources, level,
                                     language ? std::optional<CResourceId>(*language) : std::nullopt);
    if (!dataEntry || (*dataEntry & kSubdirectoryBit))
        return std::nullopt;
    const auto data = Read<IMAGE_RESOURCE_DATA_ENTRY>(resources + *dataEntry);
    const std::size_t start = RvaToOffset(data.OffsetToData);
    if (start > m_bytes.size() || m_bytes.size() - start < data.Size)
        throw std::runtime_error("resource data beyond the end of the image");
    return std::vector<std::uint8_t>(m_bytes.begin() + start, m_bytes.begin() + start + data.Size);
}

std::size_t CPeImage::CheckSumOffset() const
{
    // At the same place in both optional header kinds.
    return OptionalHeader() + offsetof(IMAGE_OPTIONAL_HEADER32, CheckSum);
}

std::string CPeImage::SectionName(WORD index) const
{
    const auto section = Section(index);
    const char* name = reinterpret_cast<const char*>(section.Name);
    return std::string(name, strnlen(name, IMAGE_SIZEOF_SHORT_NAME));
}

// An id as its number, a name as its text (beyond ASCII as '?').
std::string CPeImage::EntryName(std::size_t resources, DWORD entryName) const
{
    if (!(entryName & kSubdirectoryBit))
        return std::to_string(entryName);
    std::string name;
    for (const wchar_t c : NameText(resources, entryName))
        name.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return name;
}

std::optional<std::string> CPeImage::ResourceAt(std::size_t offset) const
{
    const IMAGE_DATA_DIRECTORY directory = Directory(IMAGE_DIRECTORY_ENTRY_RESOURCE);
    if (!directory.VirtualAddress)
        return std::nullopt;
    const std::size_t resources = RvaToOffset(directory.VirtualAddress);
    for (const auto& [type, types] : Entries(resources)) {
        for (const auto& [name, names] : Entries(resources + (types & ~kSubdirectoryBit))) {
            for (const auto& [language, data] : Entries(resources + (names & ~kSubdirectoryBit))) {
                const auto entry = Read<IMAGE_RESOURCE_DATA_ENTRY>(resources + data);
                const auto start = FileOffset(entry.OffsetToData);
                if (start && offset >= *start && offset - *start < entry.Size)
                    return "resource " + EntryName(resources, type) + "/" + EntryName(resources, name) +
                           " language " + std::to_string(language);
            }
        }
    }
    return std::nullopt;
}

std::string CPeImage::Where(std::size_t offset) const
{
    static constexpr std::pair<std::size_t, const char*> kFileHeaderFields[] = {
        {offsetof(IMAGE_FILE_HEADER, Machine), "Machine"},
        {offsetof(IMAGE_FILE_HEADER, NumberOfSections), "NumberOfSections"},
        {offsetof(IMAGE_FILE_HEADER, TimeDateStamp), "TimeDateStamp"},
        {offsetof(IMAGE_FILE_HEADER, PointerToSymbolTable), "PointerToSymbolTable"},
        {offsetof(IMAGE_FILE_HEADER, NumberOfSymbols), "NumberOfSymbols"},
        {offsetof(IMAGE_FILE_HEADER, SizeOfOptionalHeader), "SizeOfOptionalHeader"},
        {offsetof(IMAGE_FILE_HEADER, Characteristics), "Characteristics"},
    };
    const std::size_t fileHeader = m_ntHeaders + 4;
    if (offset < m_ntHeaders)
        return "DOS header";
    if (offset < fileHeader)
        return "PE signature";
    if (offset < OptionalHeader()) {
        const char* field = "";
        for (const auto& [start, name] : kFileHeaderFields) {
            if (offset - fileHeader >= start)
                field = name;
        }
        return std::string("COFF header (") + field + ")";
    }
    if (offset < m_sections) {
        if (offset >= CheckSumOffset() && offset < CheckSumOffset() + sizeof(DWORD))
            return "optional header (CheckSum)";
        if (offset >= DirectoryEntryOffset(0))
            return "optional header (data directory " +
                   std::to_string((offset - DirectoryEntryOffset(0)) / sizeof(IMAGE_DATA_DIRECTORY)) + ")";
        return "optional header";
    }
    if (offset < m_sections + m_wSectionCount * kSectionHeaderSize)
        return "section table (" + SectionName(static_cast<WORD>((offset - m_sections) / kSectionHeaderSize)) + ")";
    for (WORD i = 0; i < m_wSectionCount; ++i) {
        const auto section = Section(i);
        if (offset >= section.PointerToRawData && offset - section.PointerToRawData < section.SizeOfRawData)
            return ResourceAt(offset).value_or("section " + SectionName(i));
    }
    const IMAGE_DATA_DIRECTORY signature = Signature();
    if (offset >= signature.VirtualAddress && offset - signature.VirtualAddress < signature.Size)
        return "certificate table";
    return "in no header or section";
}
