#include "session/FramePipeline.h"

#include "session/CKelvra.h"

bool FramePipeline::Prepare(const DibImage&) { return true; }

void FramePipeline::Process(CKelvra&) {}

void FramePipeline::ColourFromBayer(CKelvra&, DibImage*, DibImage*) {}
