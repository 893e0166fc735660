// The parameter block every sensor driver keeps: ranges (minimum, maximum, value, default,
// supported) of each control plus the geometry. The device core copies it whole, so its word
// layout is fixed and checked below.
#pragma once

#include <cstddef>
#include <cstdint>

struct SensorParameters {
    int32_t sensorWidth;      // 0
    int32_t sensorHeight;     // 1
    int32_t effectiveStartX;  // 2: offset of the effective area where a driver has one
    int32_t effectiveStartY;  // 3
    int32_t frameWidth;       // 4
    int32_t frameHeight;      // 5
    int32_t binningX;         // 6
    int32_t binningY;         // 7
    int32_t windowX;          // 8
    int32_t windowY;          // 9
    int32_t windowWidth;      // 10
    int32_t windowHeight;     // 11
    int32_t lineTotal;        // 12
    int32_t frameTotal;       // 13
    int32_t windowMode;       // 14
    int32_t reserved15[2];    // 15-16

    int32_t gainMin, gainMax, gain, gainDefault, gainSupported;                                // 17-21
    int32_t exposureMin, exposureMax, exposure, exposureDefault, exposureSupported;            // 22-26
    int32_t redGainMin, redGainMax, redGain, redGainDefault, redGainSupported;                 // 27-31
    int32_t green1GainMin, green1GainMax, green1Gain, green1GainDefault, green1GainSupported;  // 32-36
    int32_t green2GainMin, green2GainMax, green2Gain, green2GainDefault, green2GainSupported;  // 37-41
    int32_t blueGainMin, blueGainMax, blueGain, blueGainDefault, blueGainSupported;            // 42-46
    // Public exposure-time units of 100 us.
    int32_t exposureTimeMin, exposureTimeMax, exposureTime, exposureTimeDefault, exposureTimeSupported;  // 47-51
    int32_t levelMin, levelMax, level, levelDefault, levelSupported;                                     // 52-56
    int32_t gainStepMin, gainStepMax, gainStep, gainStepDefault, gainStepSupported;                      // 57-61

    double exposureSecondsMin;         // 62-63
    double exposureSecondsMax;         // 64-65
    double exposureSeconds;            // 66-67
    double exposureSecondsDefault;     // 68-69
    int32_t exposureSecondsSupported;  // 70
    int32_t reserved71[5];             // 71-75

    int32_t mirrorH, mirrorHDefault, mirrorHSupported;  // 76-78
    int32_t mirrorV, mirrorVDefault, mirrorVSupported;  // 79-81
    int32_t bitsPerPixel;                               // 82
    int32_t pixelClockKHz;                              // 83
    int32_t auxParameter1;                              // 84
    int32_t reserved85;                                 // 85
};

#define KELVRA_SENSOR_WORD(field, word) \
    static_assert(offsetof(SensorParameters, field) == (word)*4, #field " must sit at word " #word)
KELVRA_SENSOR_WORD(sensorWidth, 0);
KELVRA_SENSOR_WORD(frameWidth, 4);
KELVRA_SENSOR_WORD(binningX, 6);
KELVRA_SENSOR_WORD(windowX, 8);
KELVRA_SENSOR_WORD(windowHeight, 11);
KELVRA_SENSOR_WORD(lineTotal, 12);
KELVRA_SENSOR_WORD(windowMode, 14);
KELVRA_SENSOR_WORD(gainMin, 17);
KELVRA_SENSOR_WORD(gainSupported, 21);
KELVRA_SENSOR_WORD(exposureMin, 22);
KELVRA_SENSOR_WORD(redGainMin, 27);
KELVRA_SENSOR_WORD(green1GainMin, 32);
KELVRA_SENSOR_WORD(green2GainMin, 37);
KELVRA_SENSOR_WORD(blueGainMin, 42);
KELVRA_SENSOR_WORD(exposureTimeMin, 47);
KELVRA_SENSOR_WORD(levelMin, 52);
KELVRA_SENSOR_WORD(gainStepMin, 57);
KELVRA_SENSOR_WORD(exposureSecondsMin, 62);
KELVRA_SENSOR_WORD(exposureSecondsDefault, 68);
KELVRA_SENSOR_WORD(exposureSecondsSupported, 70);
KELVRA_SENSOR_WORD(mirrorH, 76);
KELVRA_SENSOR_WORD(mirrorV, 79);
KELVRA_SENSOR_WORD(bitsPerPixel, 82);
KELVRA_SENSOR_WORD(pixelClockKHz, 83);
KELVRA_SENSOR_WORD(auxParameter1, 84);
KELVRA_SENSOR_WORD(reserved85, 85);
#undef KELVRA_SENSOR_WORD
static_assert(sizeof(SensorParameters) == 344, "the parameter block is 344 bytes");
