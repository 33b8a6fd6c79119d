// Replaces the runtime's verbose terminate handler, which prints the pending
// exception's demangled type to stderr before aborting. Setup is a GUI program
// without stderr, and the demangler alone is most of a static runtime's size.
// Linked into the executable itself: from the library it would never be chosen.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler()
{
    std::abort();
}

} // namespace __gnu_cxx
