#pragma once
#include <string>

namespace testing_support {

// A wide text as one line of ASCII for messages, names and records: printable
// units as they are, a backslash doubled, every other unit escaped (\r, \n,
// \t, \xHHHH), so that texts that differ still differ.
std::string Narrow(const std::wstring& text);

} // namespace testing_support
