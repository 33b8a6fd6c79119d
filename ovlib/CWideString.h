#pragma once
#include <windows.h>
#include <cstdarg>

namespace ovLib {

struct CStringData;

// Reference-counted UTF-16 string. Copies share storage until one of them
// changes. Every operation that needs storage throws
// CAtlException(E_OUTOFMEMORY) when there is none, leaving the string as it
// was; a null format throws CAtlException(E_INVALIDARG).
class CWideString {
public:
    CWideString() noexcept = default;
    CWideString(const wchar_t* text);  // null gives an empty string
    CWideString(const CWideString& other) noexcept;
    CWideString(CWideString&& other) noexcept;
    CWideString& operator=(const CWideString& other) noexcept;
    CWideString& operator=(CWideString&& other) noexcept;
    CWideString& operator=(const wchar_t* text);
    ~CWideString();

    int GetLength() const noexcept;
    bool IsEmpty() const noexcept { return GetLength() == 0; }
    const wchar_t* GetString() const noexcept;
    operator const wchar_t*() const noexcept { return GetString(); }
    wchar_t operator[](int index) const noexcept { return GetString()[index]; }

    void Empty() noexcept;
    void Append(const wchar_t* text);
    void Append(const wchar_t* text, int length);
    void AppendChar(wchar_t ch);

    // Measures, sizes the storage exactly and formats once (msvcrt's rules:
    // "%s" is wide text, "%hs" narrow). FormatV replaces the content. An
    // argument must not point into this string's storage, which may move
    // before the argument is read.
    void FormatV(const wchar_t* format, va_list args);
    void AppendFormatV(const wchar_t* format, va_list args);
    void AppendFormat(const wchar_t* format, ...);

    // Unshared, writable storage for at least minLength characters plus a
    // terminator. ReleaseBuffer(-1) takes the length up to the first NUL.
    wchar_t* GetBuffer(int minLength);
    void ReleaseBuffer(int newLength = -1) noexcept;

    // Shortening a shared string needs storage of its own.
    void Truncate(int newLength);
    void TrimLeft(wchar_t ch);
    void TrimRight(wchar_t ch);

    int Compare(const wchar_t* other) const noexcept;        // exact, by code unit
    int CompareNoCase(const wchar_t* other) const noexcept;

private:
    void Release() noexcept;
    // Makes the storage unshared with room for capacity characters, keeping the text.
    void Reserve(int capacity);
    void SetLength(int length) noexcept;

    CStringData* m_pData = nullptr;  // null while empty and never grown
};

} // namespace ovLib
