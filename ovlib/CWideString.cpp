#include "ovlib/CWideString.h"

#include "ovlib/CAtlException.h"
#include "ovlib/CStringManager.h"

#include <cwchar>
#include <cstring>

namespace ovLib {

namespace {

int LengthOf(const wchar_t* text) noexcept
{
    return text ? static_cast<int>(std::wcslen(text)) : 0;
}

} // namespace

CWideString::CWideString(const wchar_t* text)
{
    Append(text);
}

CWideString::CWideString(const CWideString& other) noexcept : m_pData(other.m_pData)
{
    if (m_pData)
        InterlockedIncrement(&m_pData->refs);
}

CWideString::CWideString(CWideString&& other) noexcept : m_pData(other.m_pData)
{
    other.m_pData = nullptr;
}

CWideString& CWideString::operator=(const CWideString& other) noexcept
{
    if (other.m_pData)
        InterlockedIncrement(&other.m_pData->refs);
    Release();
    m_pData = other.m_pData;
    return *this;
}

CWideString& CWideString::operator=(CWideString&& other) noexcept
{
    if (this != &other) {
        Release();
        m_pData = other.m_pData;
        other.m_pData = nullptr;
    }
    return *this;
}

CWideString& CWideString::operator=(const wchar_t* text)
{
    CWideString copy(text);
    return *this = static_cast<CWideString&&>(copy);
}

CWideString::~CWideString()
{
    Release();
}

int CWideString::GetLength() const noexcept
{
    return m_pData ? m_pData->length : 0;
}

const wchar_t* CWideString::GetString() const noexcept
{
    return m_pData ? m_pData->Chars() : L"";
}

void CWideString::Empty() noexcept
{
    Release();
}

void CWideString::Append(const wchar_t* text)
{
    Append(text, LengthOf(text));
}

void CWideString::Append(const wchar_t* text, int length)
{
    if (length <= 0)
        return;
    const int oldLength = GetLength();
    if (length > 0x3FFFFFFF - oldLength)
        throw CAtlException(E_OUTOFMEMORY);
    // The text may live in our own storage, which Reserve can move.
    const bool ownText = m_pData && text >= m_pData->Chars() && text <= m_pData->Chars() + oldLength;
    const int offset = ownText ? static_cast<int>(text - m_pData->Chars()) : 0;
    Reserve(oldLength + length);
    if (ownText)
        text = m_pData->Chars() + offset;
    std::memmove(m_pData->Chars() + oldLength, text, length * sizeof(wchar_t));
    SetLength(oldLength + length);
}

void CWideString::AppendChar(wchar_t ch)
{
    Append(&ch, 1);
}

void CWideString::FormatV(const wchar_t* format, va_list args)
{
    if (!format)
        throw CAtlException(E_INVALIDARG);
    CWideString formatted;
    formatted.AppendFormatV(format, args);
    *this = static_cast<CWideString&&>(formatted);
}

void CWideString::AppendFormatV(const wchar_t* format, va_list args)
{
    if (!format)
        throw CAtlException(E_INVALIDARG);
    va_list measureArgs;
    va_copy(measureArgs, args);
    const int length = _vscwprintf(format, measureArgs);
    va_end(measureArgs);
    if (length < 0)
        throw CAtlException(E_INVALIDARG);
    const int oldLength = GetLength();
    if (length > 0x3FFFFFFF - oldLength)
        throw CAtlException(E_OUTOFMEMORY);
    if (length == 0)
        return;
    wchar_t* buffer = GetBuffer(oldLength + length);
    _vsnwprintf(buffer + oldLength, length + 1, format, args);
    SetLength(oldLength + length);
}

void CWideString::AppendFormat(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    try {
        AppendFormatV(format, args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
}

wchar_t* CWideString::GetBuffer(int minLength)
{
    Reserve(minLength > GetLength() ? minLength : GetLength());
    return m_pData->Chars();
}

void CWideString::ReleaseBuffer(int newLength) noexcept
{
    if (!m_pData)
        return;
    if (newLength < 0)
        newLength = LengthOf(m_pData->Chars());
    SetLength(newLength);
}

void CWideString::Truncate(int newLength)
{
    if (newLength >= GetLength())
        return;
    if (newLength <= 0) {
        Release();
        return;
    }
    // Shrinking never needs more storage, but a shared block must not change.
    Reserve(GetLength());
    SetLength(newLength);
}

void CWideString::TrimLeft(wchar_t ch)
{
    const wchar_t* text = GetString();
    int skip = 0;
    while (skip < GetLength() && text[skip] == ch)
        ++skip;
    if (skip == 0)
        return;
    if (skip == GetLength()) {
        Release();
        return;
    }
    Reserve(GetLength());
    std::memmove(m_pData->Chars(), m_pData->Chars() + skip, (m_pData->length - skip) * sizeof(wchar_t));
    SetLength(m_pData->length - skip);
}

void CWideString::TrimRight(wchar_t ch)
{
    int length = GetLength();
    while (length > 0 && GetString()[length - 1] == ch)
        --length;
    Truncate(length);
}

int CWideString::Compare(const wchar_t* other) const noexcept
{
    return std::wcscmp(GetString(), other ? other : L"");
}

int CWideString::CompareNoCase(const wchar_t* other) const noexcept
{
    return _wcsicmp(GetString(), other ? other : L"");
}

void CWideString::Release() noexcept
{
    if (m_pData && InterlockedDecrement(&m_pData->refs) == 0)
        g_StringManager.Free(m_pData);
    m_pData = nullptr;
}

void CWideString::Reserve(int capacity)
{
    if (m_pData && m_pData->refs == 1) {
        if (m_pData->capacity < capacity)
            m_pData = g_StringManager.Reallocate(m_pData, capacity);
        return;
    }
    CStringData* fresh = g_StringManager.Allocate(capacity);
    const int length = GetLength();
    std::memcpy(fresh->Chars(), GetString(), (length + 1) * sizeof(wchar_t));
    fresh->length = length;
    Release();
    m_pData = fresh;
}

void CWideString::SetLength(int length) noexcept
{
    m_pData->length = length;
    m_pData->Chars()[length] = L'\0';
}

} // namespace ovLib
