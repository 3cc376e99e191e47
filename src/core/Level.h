// Logger thresholds from the "Level" setting: names or decimal numbers.
#pragma once
#include <cstdint>

class ksLogger;

// Reads the logger's own "Level" with defaultText as its default (a number given as
// default is written back as its name: 4 as "Info") and turns it into a threshold:
// "off" 0, "error" 2, "warn"/"warning" 3, "info" 4, "debug"/"all" 0xFFFF, any case; a
// decimal number gives its low 16 bits; anything else 0.
uint16_t parseLevel(ksLogger* logger, const char* defaultText);
