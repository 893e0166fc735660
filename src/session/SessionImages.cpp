#include "session/SessionImages.h"

#include <cstring>
#include <new>

namespace {

// A white level of 8191 makes the flat-field correction scale 16-bit samples to the camera's
// 13-bit range.
constexpr uint16_t kWhiteLevel16 = 8191;

void FillImage(DibImage& image, uint16_t sample) {
    for (int32_t row = 0; row < image.height; ++row) {
        BYTE* line = image.bits + static_cast<size_t>(row) * static_cast<size_t>(image.stride);
        if (image.bitsPerPixel == 8) {
            std::memset(line, sample & 0xFF, static_cast<size_t>(image.width));
            continue;
        }
        for (int32_t column = 0; column < image.width; ++column) {
            line[2 * column] = static_cast<BYTE>(sample & 0xFF);
            line[2 * column + 1] = static_cast<BYTE>(sample >> 8);
        }
    }
}

}  // namespace

void DibImageDeleter::operator()(DibImage* image) const {
    DestroyImage(image);
    delete image;
}

std::array<OwnedImage*, SessionImages::kCount> SessionImages::All() {
    return {&raw8,   &raw16,  &rgb24,   &rgb32,   &rgb48,    &rgb64,    &filterCopy, &display,     &dark8,
            &white8, &dark16, &white16, &hotMap8, &deadMap8, &hotMap16, &deadMap16,  &defectWork8, &defectWork16};
}

bool SessionImages::MakeAll() {
    for (OwnedImage* slot : All()) {
        slot->reset(new (std::nothrow) DibImage);
        if (!*slot) {
            ReleaseAll();
            return false;
        }
        InitImage(slot->get());
    }
    return true;
}

void SessionImages::ReleaseAll() {
    for (OwnedImage* slot : All()) slot->reset();
}

bool SessionImages::CreateCalibrationPlanes(int32_t width, int32_t height) {
    struct Plane {
        DibImage* image;
        uint16_t bitsPerPixel;
        uint16_t fill;
    };
    const Plane planes[] = {{dark8.get(), 8, 0},       {white8.get(), 8, 0xFF},
                            {dark16.get(), 16, 0},     {white16.get(), 16, kWhiteLevel16},
                            {hotMap8.get(), 8, 0},     {deadMap8.get(), 8, 0},
                            {hotMap16.get(), 16, 0},   {deadMap16.get(), 16, 0},
                            {defectWork8.get(), 8, 0}, {defectWork16.get(), 16, 0}};
    for (const Plane& plane : planes) {
        if (!plane.image || !CreateImage(plane.image, width, height, plane.bitsPerPixel)) return false;
    }
    for (const Plane& plane : planes) FillImage(*plane.image, plane.fill);
    return true;
}
