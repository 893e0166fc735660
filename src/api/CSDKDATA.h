// One entry of the handle registry: the handle an application holds and the session behind it.
#pragma once

#include <cstdint>

class CKelvra;

struct CSDKDATA {
    int32_t handle = 0;
    CKelvra* session = nullptr;  // owned by the entry until Kelvra_Release takes it out
};
