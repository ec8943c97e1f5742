#pragma once

#include <cstdint>
#include <string_view>

// A host's series key: the four dot-separated groups of its address, each read by the integer
// text rule and cut to its low byte; the empty text stands for the address 192.168.1.1.
int32_t IPToInt(std::string_view address);
