#pragma once
#include <windows.h>

#include <map>
#include <string>

namespace testing_support {

// Replaces one entry of the test program's own import table while it lives,
// so that every caller in the program, the code under test included, reaches
// the replacement. Construct it in a function of its own, apart from the
// calls it should catch: the compiler may keep an import address in a
// register within one function.
class CImportHook {
public:
    CImportHook(const char* dll, const char* function, const void* replacement);
    CImportHook(const CImportHook&) = delete;
    CImportHook& operator=(const CImportHook&) = delete;
    ~CImportHook();

    template <class Function>
    Function Original() const
    {
        return reinterpret_cast<Function>(m_original);
    }

private:
    void** m_slot = nullptr;
    void* m_original = nullptr;
};

// Answers GetProcAddress for chosen names (null: "absent") and passes every
// other look-up on. One instance at a time.
class CProcAddressHook {
public:
    CProcAddressHook();
    ~CProcAddressHook();

    void Override(const char* name, const void* replacement);
    // Names asked for while the hook was installed, in order.
    const std::string& Asked() const { return m_asked; }

private:
    static FARPROC WINAPI Hooked(HMODULE module, LPCSTR name);

    std::map<std::string, const void*> m_overrides;
    std::string m_asked;
    CImportHook m_hook;
};

} // namespace testing_support
