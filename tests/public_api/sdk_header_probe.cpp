// The C probe compiled as C++: applications in either language must see the same records.
#include "sdk_header_probe.c"
