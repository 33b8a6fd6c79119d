#pragma once
#include <string>
#include <vector>

// What a complete line of the trace or of the installer log looks like.
class CLineCheck {
public:
    // The trace's prefixes that are switched on.
    struct CTracePrefixes {
        bool dateTime = true;
        bool moduleName = true;
        bool processId = true;
        bool threadId = true;
        bool type = true;
    };

    // One line of the trace as written with AppendNewLine: the prefixes on,
    // the message, CR LF, and no other line break.
    static bool IsTraceLine(const std::wstring& line, const CTracePrefixes& prefixes);
    // With every prefix, as the trace's defaults have it.
    static bool IsTraceLine(const std::wstring& line);
    // Exactly the prefixes switched on, each closed by " : ", and nothing else.
    static bool IsTracePrefix(const std::wstring& head, const CTracePrefixes& prefixes);
    // One line of the installer log: a header or report line, then CR LF.
    static bool IsInstallerLogLine(const std::wstring& line);
    // A file's text cut after each CR LF; what follows the last one, if
    // anything, is returned as the last element (an incomplete line).
    static std::vector<std::wstring> Lines(const std::wstring& text);
    // A UTF-16 file's text; a leading byte-order mark is dropped when asked.
    static std::wstring ReadUtf16(const std::wstring& path, bool withByteOrderMark);
};
