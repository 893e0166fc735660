// The model drivers by class name: each is the shared head driver with its model's descriptor.
#pragma once

#include "sensors/models/ModelHead.h"
#include "sensors/models/SensorG1467x.h"

enum class HeadModel {
    ICX274,
    P3090,
    P30B0,
    P30C0,
    P3130,
    P3140,
    P3150,
    P3170,
    P3190,
    P31A0,
    P31D0,
    P31E0,
    P3210,
    G1467x,
    P32D0,
};

const ModelDescriptor& ModelDescriptorOf(HeadModel model);

template <HeadModel Kind>
class CSensorHeadModel final : public CSensorModelHead {
public:
    CSensorHeadModel(CControllerBase* controller, uint8_t serialAddress)
        : CSensorModelHead(controller, serialAddress, ModelDescriptorOf(Kind)) {}
};

using CSensorICX274 = CSensorHeadModel<HeadModel::ICX274>;
using CSensorP3090 = CSensorHeadModel<HeadModel::P3090>;
using CSensorP30B0 = CSensorHeadModel<HeadModel::P30B0>;
using CSensorP30C0 = CSensorHeadModel<HeadModel::P30C0>;
using CSensorP3130 = CSensorHeadModel<HeadModel::P3130>;
using CSensorP3140 = CSensorHeadModel<HeadModel::P3140>;
using CSensorP3150 = CSensorHeadModel<HeadModel::P3150>;
using CSensorP3170 = CSensorHeadModel<HeadModel::P3170>;
using CSensorP3190 = CSensorHeadModel<HeadModel::P3190>;
using CSensorP31A0 = CSensorHeadModel<HeadModel::P31A0>;
using CSensorP31D0 = CSensorHeadModel<HeadModel::P31D0>;
using CSensorP31E0 = CSensorHeadModel<HeadModel::P31E0>;
using CSensorP3210 = CSensorHeadModel<HeadModel::P3210>;
using CSensorP32D0 = CSensorHeadModel<HeadModel::P32D0>;
