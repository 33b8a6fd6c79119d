#include "tests/e2e/CPayloadReport.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

std::optional<CPayloadReport> CPayloadReport::Read(const std::wstring& path)
{
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    if (!file)
        return std::nullopt;
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file),
                                  std::istreambuf_iterator<char>()};
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::copy(bytes.begin(), bytes.begin() + text.size() * sizeof(wchar_t),
              reinterpret_cast<char*>(text.data()));

    // Fields end in NUL, so any text, blanks and quotes included, comes back intact.
    std::vector<std::wstring> fields;
    for (std::size_t start = 0, end; (end = text.find(L'\0', start)) != std::wstring::npos;
         start = end + 1)
        fields.push_back(text.substr(start, end - start));
    if (fields.size() != 4)
        throw std::runtime_error("the payload's report is malformed");
    return CPayloadReport{fields[0], fields[1], fields[2], fields[3]};
}
