#include "tests/structure/CShippedFiles.h"

CShippedFiles& CShippedFiles::Get()
{
    static CShippedFiles files;
    return files;
}
