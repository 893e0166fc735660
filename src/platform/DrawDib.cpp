// DrawDib handles: they can be opened and closed; nothing draws through them here.
#include "HandleTable.h"

#include "kelvra/win32.h"

using namespace kelvra::platform;

namespace {

struct DrawDibState {};

HandleTable<DrawDibState>& DrawDibs() {
    static auto* table = new HandleTable<DrawDibState>;
    return *table;
}

}  // namespace

extern "C" {

WINBASEAPI HDRAWDIB WINAPI DrawDibOpen(void) {
    return reinterpret_cast<HDRAWDIB>(DrawDibs().Insert(std::make_shared<DrawDibState>()));
}

WINBASEAPI BOOL WINAPI DrawDibClose(HDRAWDIB hdd) {
    return DrawDibs().Remove(reinterpret_cast<uintptr_t>(hdd)) ? TRUE : FALSE;
}

}  // extern "C"
