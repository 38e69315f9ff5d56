// Stub until the logger lands: every call is accepted and nothing is written.
#include "log/AdapterLog.h"

void AdapterLog(const char*, int, const char*, const char*, int, const char*, ...) {}
int AdapterLogOpen(int, int, const char* path, const char*) { return (path && *path) ? 0 : 1; }
void AdapterLogClose() {}
void AdapterLogConfigure(int, int) {}
bool AdapterLogEnabled(int) { return false; }
