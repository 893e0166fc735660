// The drivers of the family besides the 880HQLN, by the class names the product table uses.
// A model's driver is its row of FamilyDefaults on top of the shared paths of
// CSensorFamilyMember; drivers with register traffic of their own replace their line below
// with their own header.
#pragma once

#include "sensors/FamilyMember.h"

// Image sensor chips programmed register by register.
#include "sensors/SensorImx.h"
#include "sensors/SensorMT9.h"

// Camera heads with a controller and FPGA of their own.
#include "sensors/models/ModelSensors.h"
