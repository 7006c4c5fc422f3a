// The speed list's items in order, and the speed each one stands for.
#pragma once

#include "serial/CPort.h"

#include <array>

inline constexpr std::array<const char*, 12> BaudRateItems = {"110",   "300",   "1200",   "2400",
                                                              "4800",  "9600",  "19200",  "38400",
                                                              "56000", "57600", "115200", "256000"};

// The speed list's item index to the port's speed; the list offers no custom or odd speeds.
inline constexpr std::array<TBaudRate, 12> BaudRateTable = {br110,   br300,   br1200,   br2400,
                                                            br4800,  br9600,  br19200,  br38400,
                                                            br56000, br57600, br115200, br256000};

// The speed for an item index; an index outside the list raises std::out_of_range.
TBaudRate BaudRateForItem(int ItemIndex);
