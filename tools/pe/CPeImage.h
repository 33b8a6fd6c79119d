#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// A Windows image read from its bytes, never loaded: headers, imports,
// resources and the code's indirect calls. Throws CBadImage for bytes it
// cannot read as a PE image.
class CPeImage {
public:
    class CBadImage : public std::runtime_error {
    public:
        enum class EKind {
            kNotPe,      // no MZ header, no PE signature, an unknown header kind
            kTruncated,  // a header or a structure reaches beyond the file's end
        };
        CBadImage(EKind kind, const char* what) : std::runtime_error(what), m_kind(kind) {}
        EKind Kind() const noexcept { return m_kind; }

    private:
        EKind m_kind;
    };

    // A resource type or name: an integer id or a string, which compares without case.
    struct CResourceId {
        CResourceId(WORD id) : wId(id) {}
        CResourceId(const wchar_t* name) : strName(name) {}
        WORD wId = 0;
        std::wstring strName;
    };

    // A call or jump of 32-bit code through a pointer at a fixed address
    // ("call [slot]", "jmp [slot]"), found by its base relocation.
    struct CIndirectCall {
        DWORD dwSiteRva = 0;
        DWORD dwSlotRva = 0;
    };

    explicit CPeImage(std::vector<std::uint8_t> bytes);
    static CPeImage FromFile(const std::wstring& path);
    // A file's bytes, whatever they are; none when it cannot be opened or read.
    static std::optional<std::vector<std::uint8_t>> ReadFile(const std::wstring& path);

    WORD Machine() const;
    WORD Magic() const;  // IMAGE_NT_OPTIONAL_HDR32_MAGIC or ..._HDR64_MAGIC
    WORD Subsystem() const;
    WORD Characteristics() const;  // IMAGE_FILE_DLL, IMAGE_FILE_EXECUTABLE_IMAGE...
    // Where the bytes of the last section in the file end.
    std::size_t EndOfSections() const;
    // The certificate table, which is addressed by file offset, not by rva;
    // empty for an unsigned image.
    IMAGE_DATA_DIRECTORY Signature() const;
    // Where the file holds the data directory entry of that index.
    std::size_t DirectoryEntryOffset(int index) const;
    const std::vector<std::uint8_t>& Bytes() const noexcept { return m_bytes; }
    // Names as the import table spells them.
    std::vector<std::string> ImportedDlls() const;
    // The slots of every import address table, which the loader fills.
    std::vector<DWORD> ImportSlots() const;
    // Every indirect call or jump through an absolute slot in the executable
    // sections; empty for an image without base relocations.
    std::vector<CIndirectCall> IndirectCalls() const;
    // The slots of IndirectCalls that hold nothing when the image starts:
    // neither an import slot nor one whose address into the image is on disk.
    std::vector<DWORD> UnfilledCallSlots() const;
    // The pointer-sized value the file holds at rva; 0 where the section's
    // bytes end before it (zero-filled in memory).
    ULONGLONG PointerOnDisk(DWORD rva) const;
    // Where the file holds the byte at rva; none beyond a section's bytes.
    std::optional<std::size_t> FileOffset(DWORD rva) const;
    ULONGLONG ImageBase() const;
    DWORD SizeOfImage() const;
    // The bytes of one resource; no language: the first one there is. Empty when absent.
    std::optional<std::vector<std::uint8_t>> Resource(const CResourceId& type,
                                                      const CResourceId& name,
                                                      std::optional<WORD> language) const;
    // Where the file holds the checksum, which covers every other byte.
    std::size_t CheckSumOffset() const;
    // The structure the byte at offset falls in, for a person to read:
    // "COFF header (TimeDateStamp)", "section .text", "resource BIN/145 language 1033".
    std::string Where(std::size_t offset) const;

private:
    template <class T>
    T Read(std::size_t offset) const;
    std::size_t OptionalHeader() const { return m_ntHeaders + 24; }
    IMAGE_DATA_DIRECTORY Directory(int index) const;
    IMAGE_SECTION_HEADER Section(WORD index) const;
    std::size_t RvaToOffset(DWORD rva) const;
    bool IsExecutable(DWORD rva) const;
    std::string ReadAnsi(std::size_t offset) const;
    // Name and OffsetToData of each entry of one resource directory level.
    std::vector<std::pair<DWORD, DWORD>> Entries(std::size_t directory) const;
    std::optional<DWORD> FindEntry(std::size_t resources, std::size_t directory,
                                   const std::optional<CResourceId>& id) const;
    std::wstring NameText(std::size_t resources, DWORD entryName) const;
    bool Matches(std::size_t resources, DWORD entryName, const CResourceId& id) const;
    std::string EntryName(std::size_t resources, DWORD entryName) const;
    std::optional<std::string> ResourceAt(std::size_t offset) const;
    std::string SectionName(WORD index) const;

    std::vector<std::uint8_t> m_bytes;
    std::size_t m_ntHeaders = 0;
    std::size_t m_sections = 0;
    WORD m_wSectionCount = 0;
};
