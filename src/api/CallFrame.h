// Every exported function that takes a handle runs its session operation through here: an
// unknown handle gets the function's failure value without any report (there is no session to
// record into), and nothing thrown inside the library reaches the application.
//
// The frame keeps the session alive for the whole call, so Kelvra_Release on another thread only
// detaches the handle, and holds the session's call lock, so calls on one handle from several
// threads run one after another.
#pragma once

#include "api/CSdkChain.h"
#include "session/CKelvra.h"

#include <cstdint>
#include <memory>
#include <utility>

template <typename Result, typename Operation>
Result CallSession(int32_t handle, Result failure, Operation&& operation) noexcept {
    try {
        const std::shared_ptr<CKelvra> session = CSdkChain::Instance().Lookup(handle);
        if (!session) return failure;
        CriticalSectionGuard serialised(session->CallLock());
        return static_cast<Result>(std::forward<Operation>(operation)(*session));
    } catch (...) {
        return failure;
    }
}
