// The program's unit of time: 100 ns. Frame durations, the settings file, the
// bar and every schedule count in it.
#pragma once

#include <cstdint>

constexpr std::uint32_t kUnitsPerSecond = 10000000;
