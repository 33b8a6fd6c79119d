// first_difference <file> <file>: where two builds of one image first differ,
// by offset and by the structure the byte falls in. The checksum covers every
// other byte, so it is named only when nothing else differs.
#include "tools/pe/CPeImage.h"

#include <algorithm>
#include <cstdio>
#include <exception>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fwprintf(stderr, L"usage: first_difference <file> <file>\n");
        return 2;
    }
    const auto a = CPeImage::ReadFile(argv[1]);
    const auto b = CPeImage::ReadFile(argv[2]);
    if (!a || !b) {
        std::fwprintf(stderr, L"first_difference: cannot read %ls\n", a ? argv[2] : argv[1]);
        return 2;
    }
    if (*a == *b) {
        std::wprintf(L"same bytes\n");
        return 0;
    }
    const std::size_t common = std::min(a->size(), b->size());
    try {
        const CPeImage image(*a);
        const std::size_t checksum = image.CheckSumOffset();
        std::size_t at = common;
        for (std::size_t i = 0; i < common && at == common; ++i) {
            if ((i < checksum || i >= checksum + sizeof(DWORD)) && (*a)[i] != (*b)[i])
                at = i;
        }
        if (at == common && a->size() == b->size())
            at = checksum;
        if (at < common)
            std::wprintf(L"first differs at offset 0x%zx, %hs", at, image.Where(at).c_str());
        else
            std::wprintf(L"the same up to offset 0x%zx, where the shorter ends", at);
    } catch (const std::exception& bad) {
        std::wprintf(L"differs, and is no image this reader knows (%hs)", bad.what());
    }
    if (a->size() != b->size())
        std::wprintf(L"; %zu and %zu bytes", a->size(), b->size());
    std::wprintf(L"\n");
    return 1;
}
