// One entry of the handle registry: the handle an application holds and the session behind it.
#pragma once

#include <cstdint>
#include <memory>

class CKelvra;

struct CSDKDATA {
    int32_t handle = 0;
    // Shared with the calls running on the handle: a session outlives its entry until the last
    // of them returns.
    std::shared_ptr<CKelvra> session;
};
