#include "ksLog.h"
#include "platform/platform.h"

// Placeholders until the logging core lands: the library loads and refuses nothing.
uint16_t _ksLog_Level = 0xFFFF;

int32_t ksLog_Init() { return 0; }
void ksLog_Term() {}

void ksPlatform::onLibraryUnload() { ksLog_Term(); }
