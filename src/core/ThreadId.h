// The calling thread's id as the line prefix shows it: "%08x", eight digits.
#pragma once

// Eight characters, not terminated; the calling thread's own.
const char* threadIdText();
