// The drivers of the family besides the 880HQLN, by the class names the product table uses.
// A model's driver is its row of FamilyDefaults on top of the shared paths of
// CSensorFamilyMember; drivers with register traffic of their own replace their line below
// with their own header.
#pragma once

#include "sensors/FamilyMember.h"

// Image sensor chips programmed register by register.
using CSensorMT9F001 = CSensorModel<SensorModel::MT9F001>;
using CSensorMT9F002 = CSensorModel<SensorModel::MT9F002>;
using CSensorMT9P001 = CSensorModel<SensorModel::MT9P001>;
using CSensorMT9J001 = CSensorModel<SensorModel::MT9J001>;
using CSensorIMX178 = CSensorModel<SensorModel::IMX178>;
using CSensorIMX174 = CSensorModel<SensorModel::IMX174>;
using CSensorIMX183 = CSensorModel<SensorModel::IMX183>;
using CSensorIMX159 = CSensorModel<SensorModel::IMX159>;
using CSensorIMX250 = CSensorModel<SensorModel::IMX250>;
using CSensorIMX264 = CSensorModel<SensorModel::IMX264>;
using CSensorIMX252 = CSensorModel<SensorModel::IMX252>;
using CSensorIMX265 = CSensorModel<SensorModel::IMX265>;
using CSensorIMX226 = CSensorModel<SensorModel::IMX226>;
using CSensorP3200 = CSensorModel<SensorModel::P3200>;
using CSensorIMX990 = CSensorModel<SensorModel::IMX990>;
using CSensorIMX991 = CSensorModel<SensorModel::IMX991>;
using CSensorLI7050 = CSensorModel<SensorModel::LI7050>;
using CSensorGLUX9701 = CSensorModel<SensorModel::GLUX9701>;
using CSensorIMX536 = CSensorModel<SensorModel::IMX536>;
using CSensorIMX487 = CSensorModel<SensorModel::IMX487>;
using CSensorIMX273 = CSensorModel<SensorModel::IMX273>;

// Camera heads with a controller and FPGA of their own.
#include "sensors/models/ModelSensors.h"
