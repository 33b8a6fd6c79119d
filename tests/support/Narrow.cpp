#include "tests/support/Narrow.h"

#include <cstdio>

namespace testing_support {

std::string Narrow(const std::wstring& text)
{
    std::string narrow;
    for (const wchar_t unit : text) {
        switch (unit) {
        case L'\\':
            narrow += "\\\\";
            break;
        case L'\r':
            narrow += "\\r";
            break;
        case L'\n':
            narrow += "\\n";
            break;
        case L'\t':
            narrow += "\\t";
            break;
        default:
            if (unit >= 0x20 && unit < 0x7F) {
                narrow += static_cast<char>(unit);
            } else {
                char escaped[8];
                std::snprintf(escaped, sizeof(escaped), "\\x%04X", static_cast<unsigned>(unit) & 0xFFFFu);
                narrow += escaped;
            }
        }
    }
    return narrow;
}

} // namespace testing_support
