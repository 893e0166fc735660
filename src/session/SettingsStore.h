// Where a session's settings live between sessions, per camera number: the capture and output
// format, and the "Gain", "Filter" and "Gray" groups. Settings not stored yet take the defaults
// of a fresh machine; the camera's own values stand in for the "Gain" defaults.
//
// The store keeps what it is given for the life of the process; persisting it in the user's
// registry replaces only the inside of this class.
#pragma once

#include <cstdint>

class CKelvra;

class SettingsStore {
public:
    // The capture window and output format (colour mode, subsampling, wait time) of the session's
    // camera number.
    static void LoadFormat(CKelvra& session);
    // The camera, image-filter and grey groups; the camera group falls back to what the session's
    // device reports.
    static void LoadGroups(CKelvra& session, int32_t cameraNumber);
    static void SaveGroups(const CKelvra& session, int32_t cameraNumber);
};
