#include "tests/hardening/support/CImportTable.h"

#include <windows.h>

#include <algorithm>
#include <cctype>

std::vector<CImportTable::CImport> CImportTable::OfThisProgram()
{
    auto* base = reinterpret_cast<const BYTE*>(GetModuleHandleW(nullptr));
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::vector<CImport> imports;
    for (auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         descriptor->Name; ++descriptor) {
        std::string dll = reinterpret_cast<const char*>(base + descriptor->Name);
        std::transform(dll.begin(), dll.end(), dll.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        for (auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk);
             names->u1.AddressOfData; ++names) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            imports.push_back({dll, reinterpret_cast<const char*>(byName->Name)});
        }
    }
    return imports;
}

std::optional<std::string> CImportTable::DllOf(const std::string& function)
{
    for (const CImport& import : OfThisProgram()) {
        if (import.function == function)
            return import.dll;
    }
    return std::nullopt;
}
