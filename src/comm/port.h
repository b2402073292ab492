#pragma once
// The TCP port of a vendor address as the operator writes it: on the command line of every
// program and in the settings (file and dialog).
#include <cstdint>
#include <string_view>

// True for 1 to 5 decimal digits with a value from 1 to 65535, nothing else: no sign, no
// blank before or after, no other byte. `port` is set only on true.
bool ParsePort(std::string_view text, uint16_t &port);
