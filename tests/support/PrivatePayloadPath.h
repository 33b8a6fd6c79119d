#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testing_support {

// Whether path is where a run puts its payload: a folder of its own in the
// temporary folder ("qvltgl-" and 16 lower-case hexadecimal digits), holding
// "qvltgl.exe". tempFolder may end in backslashes.
testing::AssertionResult IsPrivatePayloadPath(const std::wstring& tempFolder, const std::wstring& path);

// The folder's entries, "." and ".." left out; empty for a missing folder.
std::vector<std::wstring> FolderEntries(const std::wstring& folder);

} // namespace testing_support
