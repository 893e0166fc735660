// Exported functions of the numbered settings, their named wrappers and the channel settings.
#include "api/CallFrame.h"
#include "kelvra/KelvraSdk.h"
#include "session/CKelvra.h"
#include "session/FilterValues.h"

namespace {

constexpr int32_t kChannels = 4;

// The setting id of channel 1..4 counted from first; 0 for another channel.
int32_t ChannelSetting(int32_t first, int32_t channel) {
    return channel >= 1 && channel <= kChannels ? first + channel - 1 : 0;
}

// A channel outside 1..4 answers 0 and records nothing.
int32_t GetChannelSetting(int32_t handle, int32_t first, int32_t channel, int32_t* ok) {
    const int32_t id = ChannelSetting(first, channel);
    if (id != 0) return Kelvra_GetFilterValue(handle, id, ok);
    if (ok) *ok = 0;
    return 0;
}

int32_t SetChannelSetting(int32_t handle, int32_t first, int32_t channel, int32_t value) {
    const int32_t id = ChannelSetting(first, channel);
    return id == 0 ? 0 : Kelvra_SetFilterValue(handle, id, value);
}

}  // namespace

extern "C" {

KELVRA_API int32_t Kelvra_GetFilterValue(int32_t handle, int32_t id, int32_t* ok) {
    if (ok) *ok = 0;
    return CallSession(handle, 0, [=](CKelvra& session) { return FilterValues::Get(session, id, ok); });
}

KELVRA_API int32_t Kelvra_SetFilterValue(int32_t handle, int32_t id, int32_t value) {
    return CallSession(handle, 0, [=](CKelvra& session) { return FilterValues::Set(session, id, value); });
}

KELVRA_API int32_t Kelvra_GetChannelGain(int32_t handle, int32_t channel, int32_t* ok) {
    return GetChannelSetting(handle, KELVRA_FILTER_CHANNEL_GAIN_1, channel, ok);
}

KELVRA_API int32_t Kelvra_SetChannelGain(int32_t handle, int32_t channel, int32_t value) {
    return SetChannelSetting(handle, KELVRA_FILTER_CHANNEL_GAIN_1, channel, value);
}

KELVRA_API int32_t Kelvra_GetChannelOffset(int32_t handle, int32_t channel, int32_t* ok) {
    return GetChannelSetting(handle, KELVRA_FILTER_CHANNEL_OFFSET_1, channel, ok);
}

KELVRA_API int32_t Kelvra_SetChannelOffset(int32_t handle, int32_t channel, int32_t value) {
    return SetChannelSetting(handle, KELVRA_FILTER_CHANNEL_OFFSET_1, channel, value);
}

#define KELVRA_FILTER_WRAPPER(name, id)                                                                                \
    KELVRA_API int32_t Kelvra_Get##name(int32_t handle, int32_t* ok) { return Kelvra_GetFilterValue(handle, id, ok); } \
    KELVRA_API int32_t Kelvra_Set##name(int32_t handle, int32_t value) {                                               \
        return Kelvra_SetFilterValue(handle, id, value);                                                               \
    }
#include "api/FilterWrappers.def"
#undef KELVRA_FILTER_WRAPPER

}  // extern "C"
