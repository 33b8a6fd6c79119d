#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace winRun {

// The environment a child starts with. Names compare without case, as Windows
// does; the built block is sorted, as CreateProcessW expects.
class CEnvironmentBlock {
public:
    static CEnvironmentBlock OfThisProcess();

    // entries: "NAME=value" strings, each NUL-terminated, closed by an empty one.
    explicit CEnvironmentBlock(const wchar_t* entries);

    void Set(const std::wstring& name, const std::wstring& value);

    // For CreateProcessW with CREATE_UNICODE_ENVIRONMENT.
    std::vector<wchar_t> Build() const;

private:
    struct NameLess {
        bool operator()(const std::wstring& left, const std::wstring& right) const;
    };

    std::map<std::wstring, std::wstring, NameLess> m_variables;
};

} // namespace winRun
