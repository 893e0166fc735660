// The eighteen images a session owns: the raw frames, the outputs of every colour mode, the
// preview's display image, and the calibration planes and defect maps of the corrections. Each
// is a heap DibImage that the session frees with its pixel memory, whatever path it leaves by.
#pragma once

#include "imaging/DibImage.h"

#include <array>
#include <memory>

struct DibImageDeleter {
    void operator()(DibImage* image) const;
};
using OwnedImage = std::unique_ptr<DibImage, DibImageDeleter>;

class SessionImages {
public:
    static constexpr int kCount = 18;

    // Makes all eighteen images empty (no pixels yet), replacing any there were; false when
    // memory ran out, and then none is left.
    bool MakeAll();
    // Gives the calibration planes and defect maps their pixels at sensor size and neutral content:
    // dark planes 0, white planes full scale (8191 for 16 bits, the camera's 13-bit range), maps 0.
    bool CreateCalibrationPlanes(int32_t width, int32_t height);
    void ReleaseAll();

    OwnedImage raw8, raw16;                             // the raw frame at 8 or 16 bits per pixel
    OwnedImage rgb24, rgb32, rgb48, rgb64;              // colour outputs
    OwnedImage filterCopy;                              // the sharpness filter's copy of the output
    OwnedImage display;                                 // the preview window's client size
    OwnedImage dark8, white8, dark16, white16;          // flat-field calibration planes
    OwnedImage hotMap8, deadMap8, hotMap16, deadMap16;  // defect maps made from the planes
    OwnedImage defectWork8, defectWork16;               // work maps of the dot filter

private:
    std::array<OwnedImage*, kCount> All();
};
