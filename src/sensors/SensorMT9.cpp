#include "sensors/SensorMT9.h"

#include "sensors/ChipAccess.h"
#include "usb/CControllerBase.h"

#include <array>

struct Mt9RegisterValue {
    uint16_t reg;
    uint16_t value;
};

// Register addresses by the chips' own register names.
struct Mt9RegisterMap {
    // true: the window is a start and a size − 1 (Column_Size, Row_Size); false: a start and an
    // inclusive end address plus the output size (x_addr_end, x_output_size, ...).
    bool sizeMinusOne;
    uint16_t columnStart, rowStart;
    uint16_t columnEndOrSize, rowEndOrSize;
    uint16_t outputWidth, outputHeight;  // 0: the chip has none
    uint16_t firstColumn, firstRow;      // where the active array starts in array addresses
    uint16_t columnSkip, rowSkip;
    bool skipAsOddIncrement;  // x_odd_inc = 2 × factor − 1; else a skip count of factor − 1
    uint16_t shutterUpper;    // 0: one 16-bit exposure register
    uint16_t shutter;
    uint16_t globalGain;
    uint16_t gainCodeBase;  // stage bits the gain register carries beside the gain itself
    uint16_t readMode;
    uint16_t mirrorColumnBit, mirrorRowBit;
    uint16_t triggerRegister, triggerBit;  // triggerRegister 0: no trigger of its own
    uint16_t streamRegister, streamOn, streamOff;
    int32_t lineTotal;   // pixel clocks per row, our timing for the exposure-time conversion
    int32_t frameTotal;  // rows per frame at start-up
    std::array<Mt9RegisterValue, 3> startUp;
    int startUpCount;
};

namespace {

// MT9F001, MT9F002 and MT9J001: the chips' published register map of the standard layout
// (mode_select, coarse_integration_time, frame_length_lines, line_length_pck, x_addr_start,
// y_addr_start, x_addr_end, y_addr_end, x_output_size, y_output_size, x_odd_inc, y_odd_inc)
// and their own registers read_mode (bit 14 horizontal_mirror, bit 15 vertical_flip) and
// global_gain, whose gain code carries the same stage bits as the colour gains.
constexpr Mt9RegisterMap MapWithStandardLayout(int32_t lineTotal, int32_t frameTotal) {
    return Mt9RegisterMap{
        false,
        0x0344,
        0x0346,
        0x0348,
        0x034A,
        0x034C,
        0x034E,
        0,
        0,
        0x0382,
        0x0386,
        true,
        0,
        0x0202,
        0x305E,
        0x1100,
        0x3040,
        1 << 14,
        1 << 15,
        0,
        0,
        0x0100,
        1,
        0,
        lineTotal,
        frameTotal,
        {{{0x0342, static_cast<uint16_t>(lineTotal)}, {0x0340, static_cast<uint16_t>(frameTotal)}, {0, 0}}},
        2};
}

// MT9P001: its published register map — Row_Start (R0x01), Column_Start (R0x02), Row_Size
// (R0x03), Column_Size (R0x04), Shutter_Width_Upper/Lower (R0x08/R0x09), Read_Mode_1 (R0x1E,
// bit 8 Snapshot: the chip waits for a trigger), Read_Mode_2 (R0x20, bit 15 Mirror_Row, bit 14
// Mirror_Column), Row_Address_Mode and Column_Address_Mode (R0x22/R0x23, the skip counts),
// Global_Gain (R0x35) and Output_Control (R0x07, bit 1 Chip_Enable). The active array begins at
// column 16, row 54.
constexpr Mt9RegisterMap kMapMT9P001 = {true,
                                        0x0002,
                                        0x0001,
                                        0x0004,
                                        0x0003,
                                        0,
                                        0,
                                        16,
                                        54,
                                        0x0023,
                                        0x0022,
                                        false,
                                        0x0008,
                                        0x0009,
                                        0x0035,
                                        0,
                                        0x0020,
                                        1 << 14,
                                        1 << 15,
                                        0x001E,
                                        1 << 8,
                                        0x0007,
                                        0x1F82,
                                        0x1F80,
                                        3000,
                                        1944 + 25,
                                        // Horizontal_Blank and Vertical_Blank at their reset values.
                                        {{{0x0005, 0}, {0x0006, 25}, {0, 0}}},
                                        2};

constexpr Mt9RegisterMap kMapMT9F = MapWithStandardLayout(4800, 3288 + 40);
constexpr Mt9RegisterMap kMapMT9J = MapWithStandardLayout(4400, 2764 + 40);

const Mt9RegisterMap& MapOf(SensorModel model) {
    switch (model) {
        case SensorModel::MT9P001:
            return kMapMT9P001;
        case SensorModel::MT9J001:
            return kMapMT9J;
        default:
            return kMapMT9F;
    }
}

constexpr uint8_t kAuxSettingRegister = 40;
constexpr uint8_t kAuxSettingValue = 3;
constexpr int32_t kHalfClockMode = 1;
constexpr int32_t kHighClockMode = 2;

// Subsample codes 1-3 and 17-19 read every 2nd, 4th or 8th pixel pair.
int32_t SkipFactor(int32_t mode) { return mode == 0 ? 1 : 1 << (mode & 0x0F); }

}  // namespace

CSensorMT9::CSensorMT9(CControllerBase* controllerInterface, uint8_t address, SensorModel model)
    : CSensorFamilyMember(controllerInterface, address, FamilyDefaultsOf(model)), model(model), map(MapOf(model)) {
    params.lineTotal = map.lineTotal;
    params.frameTotal = map.frameTotal;
    for (auto [min, max, value, def, supported] :
         {std::tie(params.redGainMin, params.redGainMax, params.redGain, params.redGainDefault,
                   params.redGainSupported),
          std::tie(params.green1GainMin, params.green1GainMax, params.green1Gain, params.green1GainDefault,
                   params.green1GainSupported),
          std::tie(params.green2GainMin, params.green2GainMax, params.green2Gain, params.green2GainDefault,
                   params.green2GainSupported),
          std::tie(params.blueGainMin, params.blueGainMax, params.blueGain, params.blueGainDefault,
                   params.blueGainSupported)}) {
        min = params.gainMin;
        max = params.gainMax;
        value = params.gainDefault;
        def = params.gainDefault;
        supported = 1;
    }
    DeriveExposureTimeRange();
}

int32_t CSensorMT9::WriteRegister(uint32_t address, uint32_t value) {
    return chip::WriteRegister(controller, serialAddress, RegisterFormat::kAddress16Value16, address, value);
}

int32_t CSensorMT9::ReadRegister(uint32_t address, uint32_t* value) {
    return chip::ReadRegister(controller, serialAddress, RegisterFormat::kAddress16Value16, address, value);
}

int32_t CSensorMT9::WriteBit(uint16_t reg, uint16_t bit, bool on) {
    uint32_t current = 0;
    if (!ReadRegister(reg, &current)) return 0;
    return WriteRegister(reg, on ? current | bit : current & ~static_cast<uint32_t>(bit));
}

int32_t CSensorMT9::StartUp() {
    if (!WriteRegister(map.streamRegister, map.streamOff)) return 0;
    for (int i = 0; i < map.startUpCount; ++i) {
        if (!WriteRegister(map.startUp[static_cast<size_t>(i)].reg, map.startUp[static_cast<size_t>(i)].value))
            return 0;
    }
    return WriteRegister(map.streamRegister, map.streamOn);
}

bool CSensorMT9::AcceptsSubsampleMode(int32_t) const { return true; }

int32_t CSensorMT9::ProgramWindow(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) {
    // The chips address pixel pairs: starts and sizes are even, so the colour order stays.
    if ((x | y | width | height) & 1) return 0;
    const int32_t factor = SkipFactor(mode);
    const auto column = static_cast<uint32_t>(map.firstColumn + x);
    const auto row = static_cast<uint32_t>(map.firstRow + y);
    const auto columnSkip = static_cast<uint32_t>(map.skipAsOddIncrement ? 2 * factor - 1 : factor - 1);
    const auto rowSkip = columnSkip;
    if (!WriteRegister(map.columnStart, column) || !WriteRegister(map.rowStart, row)) return 0;
    if (map.sizeMinusOne) {
        if (!WriteRegister(map.columnEndOrSize, static_cast<uint32_t>(width - 1)) ||
            !WriteRegister(map.rowEndOrSize, static_cast<uint32_t>(height - 1)))
            return 0;
    } else {
        if (!WriteRegister(map.columnEndOrSize, column + static_cast<uint32_t>(width) - 1) ||
            !WriteRegister(map.rowEndOrSize, row + static_cast<uint32_t>(height) - 1) ||
            !WriteRegister(map.outputWidth, static_cast<uint32_t>(width / factor)) ||
            !WriteRegister(map.outputHeight, static_cast<uint32_t>(height / factor)))
            return 0;
    }
    return WriteRegister(map.columnSkip, columnSkip) && WriteRegister(map.rowSkip, rowSkip) ? 1 : 0;
}

int32_t CSensorMT9::ProgramExposure(int32_t value) {
    const auto rows = static_cast<uint32_t>(value);
    if (map.shutterUpper != 0 && !WriteRegister(map.shutterUpper, rows >> 16)) return 0;
    return WriteRegister(map.shutter, rows & 0xFFFF);
}

int32_t CSensorMT9::ProgramGain(int32_t value) {
    return WriteRegister(map.globalGain, (static_cast<uint32_t>(value) & 0x7F) | map.gainCodeBase);
}

int32_t CSensorMT9::ProgramMirror(Axis axis, int32_t on) {
    return WriteBit(map.readMode, axis == Axis::kHorizontal ? map.mirrorColumnBit : map.mirrorRowBit, on != 0);
}

int32_t CSensorMT9::ProgramTrigger(int32_t mode) {
    if (map.triggerRegister == 0) return 1;
    return WriteBit(map.triggerRegister, map.triggerBit, mode == 1);
}

int32_t CSensorMT9::SetColourGain(uint16_t reg, int32_t value, int32_t& stored) {
    // The gain is kept only once the chip took it, so that the block never reports a gain the
    // chip does not have.
    if (controller == nullptr || WriteRegister(reg, ColourGainCode(value)) == 0) return 0;
    stored = value;
    return 1;
}

int32_t CSensorMT9::SetColorGainRed(int32_t value) { return SetColourGain(kRedGain, value, params.redGain); }
int32_t CSensorMT9::SetColorGainGreen1(int32_t value) { return SetColourGain(kGreen1Gain, value, params.green1Gain); }
int32_t CSensorMT9::SetColorGainGreen2(int32_t value) { return SetColourGain(kGreen2Gain, value, params.green2Gain); }
int32_t CSensorMT9::SetColorGainBlue(int32_t value) { return SetColourGain(kBlueGain, value, params.blueGain); }

namespace {
int32_t Give(int32_t* out, int32_t value) {
    if (out != nullptr) *out = value;
    return 1;
}
}  // namespace

int32_t CSensorMT9::GetColorGainRed(int32_t* value) { return Give(value, params.redGain); }
int32_t CSensorMT9::GetColorGainGreen1(int32_t* value) { return Give(value, params.green1Gain); }
int32_t CSensorMT9::GetColorGainGreen2(int32_t* value) { return Give(value, params.green2Gain); }
int32_t CSensorMT9::GetColorGainBlue(int32_t* value) { return Give(value, params.blueGain); }

int32_t CSensorMT9::SetHalfClock(int32_t mode) {
    // Only the MT9J001 board switches its clock; the MT9P001 merely reports its mode.
    if (model != SensorModel::MT9J001 || mode < 0 || mode > kHighClockMode) return 0;
    const int32_t fullClock = FamilyDefaultsOf(model).pixelClockKHz;
    params.pixelClockKHz = mode == kHalfClockMode ? fullClock / 2 : fullClock;
    halfClock = mode;
    return 1;
}

int32_t CSensorMT9::GetHalfClock(int32_t* mode) {
    if (model != SensorModel::MT9J001 && model != SensorModel::MT9P001) return 0;
    return Give(mode, halfClock);
}

void CSensorMT9F002::RestartStream() {
    // A lost write leaves the stream as it was; the preview that asked goes on regardless.
    static_cast<void>(WriteRegister(0x0100, 0));
    static_cast<void>(WriteRegister(0x0100, 1));
}

void CSensorMT9F002::WriteAuxSetting() {
    if (controller != nullptr) static_cast<void>(controller->WriteAuxRegister(kAuxSettingRegister, kAuxSettingValue));
}
