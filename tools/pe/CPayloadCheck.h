#pragma once
#include "tools/pe/CPeImage.h"

#include <windows.h>

#include <optional>
#include <string>

// Whether a file may go into one of Setup's payload slots: a PE executable,
// not a library, for the slot's machine. The same verdicts serve the build's
// configure step and SetupPack, so both refuse the same files.
class CPayloadCheck {
public:
    // The numbers are the exit codes of the programs that report a verdict.
    enum class EVerdict : int {
        kFine = 0,
        kUnreadable = 2,  // missing, or not readable
        kEmpty = 3,
        kNotPe = 4,
        kTruncated = 5,     // headers or sections cut short
        kNotAProgram = 6,   // a DLL, or an image not marked executable
        kWrongMachine = 7,
    };

    // machine: IMAGE_FILE_MACHINE_I386 or ..._AMD64; 0 takes either of them.
    CPayloadCheck(const std::wstring& path, WORD machine);

    EVerdict Verdict() const noexcept { return m_verdict; }
    bool Fine() const noexcept { return m_verdict == EVerdict::kFine; }
    // What the file is, to follow "<path> is": "a PE executable for AMD64",
    // "a DLL for i386", "empty", "not a PE file (no MZ header)".
    const std::wstring& What() const noexcept { return m_strWhat; }
    // The image, when the file could be read as one (whatever the verdict).
    const std::optional<CPeImage>& Image() const noexcept { return m_image; }

    // "i386", "AMD64", "ARM64"; "machine 0x1234" for the rest.
    static std::wstring MachineName(WORD machine);

private:
    void Examine(const std::wstring& path, WORD machine);
    void Judge(WORD machine);
    void Set(EVerdict verdict, std::wstring what);

    EVerdict m_verdict = EVerdict::kFine;
    std::wstring m_strWhat;
    std::optional<CPeImage> m_image;
};
