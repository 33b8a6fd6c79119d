#include "tests/hardening/support/CLineCheck.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

namespace {

const std::wregex kLogLine(L"(Log started at \\d\\d:\\d\\d:\\d\\d on \\d\\d/\\d\\d/\\d\\d\\."
                           L"|OS Info: (NT|9x) \\d+\\.\\d+ \\([0-9a-f]+\\)"
                           L"|NT Server|Service Pack: \\d+\\.\\d+|Terminal Services are installed"
                           L"|In Active Session|Current User is Administrator)\r\n");

std::wstring PrefixPattern(const CLineCheck::CTracePrefixes& prefixes)
{
    std::wstring pattern;
    if (prefixes.dateTime)
        pattern += L"\\d{4}-\\d\\d-\\d\\d-\\d\\d-\\d\\d-\\d\\d-\\d{3} : ";
    if (prefixes.moduleName)
        pattern += L"[^\r\n:]+ : ";
    if (prefixes.processId)
        pattern += L"0x[0-9A-F]{4,8} : ";
    if (prefixes.threadId)
        pattern += L"0x[0-9A-F]{4,8} : ";
    if (prefixes.type)
        pattern += L"(Information|Warning|Error) : ";
    return pattern;
}

} // namespace

bool CLineCheck::IsTraceLine(const std::wstring& line, const CTracePrefixes& prefixes)
{
    return std::regex_match(line, std::wregex(PrefixPattern(prefixes) + L"[^\r\n]*\r\n"));
}

bool CLineCheck::IsTracePrefix(const std::wstring& head, const CTracePrefixes& prefixes)
{
    return std::regex_match(head, std::wregex(PrefixPattern(prefixes)));
}

bool CLineCheck::IsTraceLine(const std::wstring& line)
{
    return IsTraceLine(line, CTracePrefixes{});
}

bool CLineCheck::IsInstallerLogLine(const std::wstring& line)
{
    return std::regex_match(line, kLogLine);
}

std::vector<std::wstring> CLineCheck::Lines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(text.substr(start, end + 2 - start));
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

std::wstring CLineCheck::ReadUtf16(const std::wstring& path, bool withByteOrderMark)
{
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    std::wstring text(bytes.size() / 2, L'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    if (bytes.size() % 2)
        text += L'\xFFFD';  // half a unit: never part of a complete line
    if (withByteOrderMark && !text.empty() && text[0] == L'\xFEFF')
        text.erase(0, 1);
    return text;
}
