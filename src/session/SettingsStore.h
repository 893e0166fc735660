// What a session keeps per camera number while it runs: the "Gain", "Filter" and "Gray" groups of
// every camera number it has had selected, so that switching back to a camera brings its settings
// back. Settings not stored yet take the defaults of a fresh machine; the camera's own values
// stand in for the "Gain" defaults. Each session has its own store; persisting it in the user's
// registry replaces only the inside of this class.
#pragma once

#include <cstdint>
#include <map>
#include <optional>

class CKelvra;

class SettingsStore {
public:
    // The capture window and output format (colour mode, subsampling, wait time).
    static void LoadFormat(CKelvra& session);
    // The camera, image-filter and grey groups; the camera group falls back to what the session's
    // device reports.
    void LoadGroups(CKelvra& session, int32_t cameraNumber) const;
    void SaveGroups(const CKelvra& session, int32_t cameraNumber);

    struct GainGroup {
        int32_t global, colourGreen1, colourRed, colourBlue, colourGreen2, exposure, mirrorV, mirrorH;
        int32_t autoIris, gainMode, blackLevel;
        double exposureMs;
    };
    struct FilterGroup {
        int32_t brightness, contrast, hue, saturation, sharpness, redGain, greenGain, blueGain, gamma, bayerMode;
    };
    struct GrayGroup {
        int32_t mode, gainR, gainG1, gainG2, gainB, offsetR, offsetG1, offsetG2, offsetB;
    };

private:
    struct StoredCamera {
        std::optional<GainGroup> gain;
        std::optional<FilterGroup> filter;
        std::optional<GrayGroup> gray;
    };

    // Only the session's own calls reach it, one at a time: no lock.
    std::map<int32_t, StoredCamera> cameras;
};
