// The calling thread's id as the line prefix shows it: "%08x", eight digits.
#pragma once

// Eight characters, not terminated; valid until the next call. Under the library lock.
const char* threadIdText();
