// Auto- and manual-reset events.
#pragma once

#include "KernelObject.h"

namespace kelvra::platform {

class Event final : public KernelObject {
public:
    Event(bool manualReset, bool initialState) : manualReset_(manualReset), signaled_(initialState) {}

    void Set();
    void Reset();

    bool IsWaitable() const override { return true; }
    bool IsSignaled() const override { return signaled_; }
    // A satisfied wait consumes an auto-reset event, so SetEvent releases exactly one waiter.
    void Acquire() override
    {
        if (!manualReset_)
            signaled_ = false;
    }

private:
    const bool manualReset_;
    bool signaled_;  // guarded by WaitMutex()
};

}  // namespace kelvra::platform
