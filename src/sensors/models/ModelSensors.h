// The model drivers by class name: each is the shared head driver with its model's traits.
#pragma once

#include "sensors/models/ModelHead.h"
#include "sensors/models/SensorG1467x.h"

// The models whose driver talks to a head of its own.
constexpr SensorModel kHeadModels[] = {
    SensorModel::ICX274, SensorModel::P3090, SensorModel::P30B0, SensorModel::P30C0,  SensorModel::P3130,
    SensorModel::P3140,  SensorModel::P3150, SensorModel::P3170, SensorModel::P3190,  SensorModel::P31A0,
    SensorModel::P31D0,  SensorModel::P31E0, SensorModel::P3210, SensorModel::G1467x, SensorModel::P32D0,
};

constexpr bool IsHeadModel(SensorModel model) {
    for (SensorModel head : kHeadModels) {
        if (head == model) return true;
    }
    return false;
}

// The traits of a head model (IsHeadModel).
const ModelTraits& ModelTraitsOf(SensorModel model);

template <SensorModel Kind>
class CSensorHeadModel final : public CSensorModelHead {
    static_assert(IsHeadModel(Kind), "only a model with a head of its own has head traits");

public:
    CSensorHeadModel(CControllerBase* controller, uint8_t serialAddress)
        : CSensorModelHead(controller, serialAddress, ModelTraitsOf(Kind)) {}
};

using CSensorICX274 = CSensorHeadModel<SensorModel::ICX274>;
using CSensorP3090 = CSensorHeadModel<SensorModel::P3090>;
using CSensorP30B0 = CSensorHeadModel<SensorModel::P30B0>;
using CSensorP30C0 = CSensorHeadModel<SensorModel::P30C0>;
using CSensorP3130 = CSensorHeadModel<SensorModel::P3130>;
using CSensorP3140 = CSensorHeadModel<SensorModel::P3140>;
using CSensorP3150 = CSensorHeadModel<SensorModel::P3150>;
using CSensorP3170 = CSensorHeadModel<SensorModel::P3170>;
using CSensorP3190 = CSensorHeadModel<SensorModel::P3190>;
using CSensorP31A0 = CSensorHeadModel<SensorModel::P31A0>;
using CSensorP31D0 = CSensorHeadModel<SensorModel::P31D0>;
using CSensorP31E0 = CSensorHeadModel<SensorModel::P31E0>;
using CSensorP3210 = CSensorHeadModel<SensorModel::P3210>;
using CSensorP32D0 = CSensorHeadModel<SensorModel::P32D0>;
