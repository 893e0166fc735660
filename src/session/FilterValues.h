// The numbered settings of a session (KelvraFilterId): the software filters, the white balance,
// the grey processing and the correction switches, which live in the session, and the camera's
// gains, exposure and switches, which live in the camera and are read from and written to it.
//
// A value outside a setting's range is refused with KELVRA_ERR_PARAMETER and the setting kept;
// an id without a setting records KELVRA_ERR_PARAMETER; a camera without the feature records
// KELVRA_ERR_UNSUPPORTED and a camera that fails the access KELVRA_ERR_CAMERA_IO. Settings the
// frame pipeline reads change under the session's frameLock, so a frame sees each setting
// either before or after the change.
#pragma once

#include <cstdint>

class CKelvra;

class FilterValues {
public:
    // The value of setting id; *ok (when ok is given) becomes 1 on success, 0 on failure.
    static int32_t Get(CKelvra& session, int32_t id, int32_t* ok);
    static bool Set(CKelvra& session, int32_t id, int32_t value);

    // For the stored settings: the session's own field behind id, or null for an id whose
    // setting the camera keeps; and whether value lies in that setting's range.
    static int32_t* SessionField(CKelvra& session, int32_t id);
    static bool InSessionRange(int32_t id, int32_t value);
};
