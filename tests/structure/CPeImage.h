#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A Windows image read from its bytes, never loaded: headers, imports and
// resources. Throws std::runtime_error for bytes it cannot read as a PE image.
class CPeImage {
public:
    // A resource type or name: an integer id or a string, which compares without case.
    struct CResourceId {
        CResourceId(WORD id) : wId(id) {}
        CResourceId(const wchar_t* name) : strName(name) {}
        WORD wId = 0;
        std::wstring strName;
    };

    explicit CPeImage(std::vector<std::uint8_t> bytes);
    static CPeImage FromFile(const std::wstring& path);

    WORD Machine() const;
    WORD Magic() const;  // IMAGE_NT_OPTIONAL_HDR32_MAGIC or ..._HDR64_MAGIC
    WORD Subsystem() const;
    // Names as the import table spells them.
    std::vector<std::string> ImportedDlls() const;
    // The bytes of one resource; no language: the first one there is. Empty when absent.
    std::optional<std::vector<std::uint8_t>> Resource(const CResourceId& type,
                                                      const CResourceId& name,
                                                      std::optional<WORD> language) const;

private:
    template <class T>
    T Read(std::size_t offset) const;
    std::size_t OptionalHeader() const { return m_ntHeaders + 24; }
    IMAGE_DATA_DIRECTORY Directory(int index) const;
    std::size_t RvaToOffset(DWORD rva) const;
    std::string ReadAnsi(std::size_t offset) const;
    std::optional<DWORD> FindEntry(std::size_t resources, std::size_t directory,
                                   const std::optional<CResourceId>& id) const;
    bool Matches(std::size_t resources, DWORD entryName, const CResourceId& id) const;

    std::vector<std::uint8_t> m_bytes;
    std::size_t m_ntHeaders = 0;
    std::size_t m_sections = 0;
    WORD m_wSectionCount = 0;
};
