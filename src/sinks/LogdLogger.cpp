// The daemon sink's initialiser. The sink itself (the stream to the log collector) is
// not built yet: until it is, initialisation creates no daemon sink.
#include "ksLog.h"

void ksLogger_ksLogd_Init() {}
