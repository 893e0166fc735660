// An application of the installed SDK: it includes the public header and calls into the library.
#include <kelvra/KelvraSdk.h>

#include <cstdio>

int main() {
    std::printf("%d\n", static_cast<int>(Kelvra_GetDllVersion()));
    return 0;
}
