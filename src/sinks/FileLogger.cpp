// The file sink's initialiser. The sink itself (log files and console streams) is not
// built yet: until it is, initialisation creates no file sink.
#include "ksLog.h"

void ksLogger_File_Init() {}
