// Words for the SDK's error codes, for messages a shell user reads.
#pragma once

#include <cstdint>
#include <string>

std::string DescribeError(int32_t code);
