#pragma once
#include <windows.h>

namespace ovLib {

// Owns one system resource and releases it once, on every path. Each kind has
// its own empty value and release call (the traits). Releasing keeps the
// thread's last error, so a caller can still report the failure that made it
// give up.
template <class Traits>
class CUniqueHandle {
public:
    using Type = typename Traits::Type;

    // constexpr where the empty value is, so that a holder can be constant-initialized.
    constexpr CUniqueHandle() noexcept = default;
    explicit CUniqueHandle(Type value) noexcept : m_value(value) {}
    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;
    // Handed on by a function that opened it.
    CUniqueHandle(CUniqueHandle&& other) noexcept : m_value(other.release()) {}
    ~CUniqueHandle() { reset(); }

    Type get() const noexcept { return m_value; }
    bool valid() const noexcept { return m_value != Traits::Empty(); }
    explicit operator bool() const noexcept { return valid(); }

    // For calls that fill a handle through an out-parameter.
    Type* put() noexcept
    {
        reset();
        return &m_value;
    }

    void reset(Type value = Traits::Empty()) noexcept
    {
        if (valid()) {
            const DWORD lastError = GetLastError();
            Traits::Release(m_value);
            SetLastError(lastError);
        }
        m_value = value;
    }

    Type release() noexcept
    {
        Type value = m_value;
        m_value = Traits::Empty();
        return value;
    }

private:
    Type m_value = Traits::Empty();
};

struct CKernelHandleTraits {
    using Type = HANDLE;
    static constexpr Type Empty() noexcept { return nullptr; }
    static void Release(Type h) noexcept { CloseHandle(h); }
};

struct CFileHandleTraits {
    using Type = HANDLE;
    static Type Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Release(Type h) noexcept { CloseHandle(h); }
};

struct CLibraryTraits {
    using Type = HMODULE;
    static constexpr Type Empty() noexcept { return nullptr; }
    static void Release(Type h) noexcept { FreeLibrary(h); }
};

struct CRegKeyTraits {
    using Type = HKEY;
    static constexpr Type Empty() noexcept { return nullptr; }
    static void Release(Type h) noexcept { RegCloseKey(h); }
};

struct CLocalMemoryTraits {
    using Type = HLOCAL;
    static constexpr Type Empty() noexcept { return nullptr; }
    static void Release(Type h) noexcept { LocalFree(h); }
};

struct CResourceTraits {
    using Type = HGLOBAL;
    static constexpr Type Empty() noexcept { return nullptr; }
    static void Release(Type h) noexcept { FreeResource(h); }
};

struct CSidTraits {
    using Type = PSID;
    static constexpr Type Empty() noexcept { return nullptr; }
    static void Release(Type h) noexcept { FreeSid(h); }
};

struct CFindHandleTraits {
    using Type = HANDLE;
    static Type Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Release(Type h) noexcept { FindClose(h); }
};

using CKernelHandle = CUniqueHandle<CKernelHandleTraits>;
using CFileHandle = CUniqueHandle<CFileHandleTraits>;
using CLibrary = CUniqueHandle<CLibraryTraits>;
using CRegKeyHandle = CUniqueHandle<CRegKeyTraits>;
using CLocalMemory = CUniqueHandle<CLocalMemoryTraits>;
using CLoadedResource = CUniqueHandle<CResourceTraits>;
using CSid = CUniqueHandle<CSidTraits>;
using CFindHandle = CUniqueHandle<CFindHandleTraits>;

} // namespace ovLib
