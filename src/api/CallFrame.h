// Every exported function that takes a handle runs its session operation through here: an
// unknown handle gets the function's failure value without any report (there is no session to
// record into), and nothing thrown inside the library reaches the application.
#pragma once

#include "api/CSdkChain.h"

#include <cstdint>
#include <utility>

class CKelvra;

template <typename Result, typename Operation>
Result CallSession(int32_t handle, Result failure, Operation&& operation) noexcept {
    // The session is used after the registry lock is gone: an application must not release a
    // handle while another of its threads is still inside a call on it.
    CKelvra* session = CSdkChain::Instance().Lookup(handle).session;
    if (!session) return failure;
    try {
        return static_cast<Result>(std::forward<Operation>(operation)(*session));
    } catch (...) {
        return failure;
    }
}
