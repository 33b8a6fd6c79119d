#include "tools/pe/CPayloadCheck.h"

#include <cstdio>

namespace {

std::wstring Widen(const char* text)
{
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

} // namespace

CPayloadCheck::CPayloadCheck(const std::wstring& path, WORD machine)
{
    Examine(path, machine);
}

void CPayloadCheck::Examine(const std::wstring& path, WORD machine)
{
    auto bytes = CPeImage::ReadFile(path);
    if (!bytes)
        return Set(EVerdict::kUnreadable, L"missing or not readable");
    if (bytes->empty())
        return Set(EVerdict::kEmpty, L"empty");
    try {
        m_image.emplace(std::move(*bytes));
    } catch (const CPeImage::CBadImage& bad) {
        if (bad.Kind() == CPeImage::CBadImage::EKind::kNotPe)
            return Set(EVerdict::kNotPe, L"not a PE file (" + Widen(bad.what()) + L")");
        return Set(EVerdict::kTruncated, L"a PE file whose headers are cut short (" + Widen(bad.what()) + L")");
    }
    Judge(machine);
}

void CPayloadCheck::Judge(WORD machine)
{
    const CPeImage& image = *m_image;
    const std::wstring forMachine = L" for " + MachineName(image.Machine());
    if (image.EndOfSections() > image.Bytes().size())
        return Set(EVerdict::kTruncated, L"a PE file" + forMachine + L" whose sections are cut short");
    if (image.Characteristics() & IMAGE_FILE_DLL)
        return Set(EVerdict::kNotAProgram, L"a DLL" + forMachine);
    if (!(image.Characteristics() & IMAGE_FILE_EXECUTABLE_IMAGE))
        return Set(EVerdict::kNotAProgram, L"a PE image not marked executable" + forMachine);
    const bool wanted = machine ? image.Machine() == machine
                                : image.Machine() == IMAGE_FILE_MACHINE_I386 ||
                                      image.Machine() == IMAGE_FILE_MACHINE_AMD64;
    Set(wanted ? EVerdict::kFine : EVerdict::kWrongMachine, L"a PE executable" + forMachine);
}

void CPayloadCheck::Set(EVerdict verdict, std::wstring what)
{
    m_verdict = verdict;
    m_strWhat = std::move(what);
}

std::wstring CPayloadCheck::MachineName(WORD machine)
{
    switch (machine) {
    case IMAGE_FILE_MACHINE_I386: return L"i386";
    case IMAGE_FILE_MACHINE_AMD64: return L"AMD64";
    case IMAGE_FILE_MACHINE_ARM64: return L"ARM64";
    case IMAGE_FILE_MACHINE_ARMNT: return L"ARM";
    case IMAGE_FILE_MACHINE_IA64: return L"IA64";
    }
    wchar_t text[24];
    std::swprintf(text, 24, L"machine 0x%04X", machine);
    return text;
}
