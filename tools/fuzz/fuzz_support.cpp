#include <cstdio>
#include <cstdlib>

#include "fuzz_input.h"

namespace mf::fuzz {

void Broken(const char* what) {
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
}

}  // namespace mf::fuzz
