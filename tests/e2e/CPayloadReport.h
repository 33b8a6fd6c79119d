#pragma once
#include <optional>
#include <string>

// What the test payload wrote about itself when it ran.
struct CPayloadReport {
    std::wstring id;  // "145" or "146": the resource slot it was built for
    std::wstring modulePath;
    std::wstring commandLine;
    std::wstring currentFolder;

    // Empty when there is no report: the payload did not run. Throws
    // std::runtime_error for a report that is not four fields.
    static std::optional<CPayloadReport> Read(const std::wstring& path);
};
