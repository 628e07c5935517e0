// Placeholder until the core lands; replaced by the real modules.
#include <cstdarg>
#include <cstdlib>
#include "engine/core/core.h"
#include "engine/engine.h"
#include "engine/platform/platform.h"

EngineWindowState g_Window;
int LogWrite(const char*) { return -1; }
int LogWriteFormat(const char*, ...) { return -1; }
void LogIndentUp() {}
void LogIndentDown() {}
void* TrackedAlloc(size_t size, const char*, int) { return std::malloc(size); }
void* TrackedAllocZeroed(size_t size, const char*, int) { return std::calloc(1, size); }
void* TrackedRealloc(void* b, size_t size, const char*, int) { return std::realloc(b, size); }
void TrackedFree(void* b) { std::free(b); }
int EngineClientWidth() { return 512; }
int EngineClientHeight() { return 512; }
void WaitWhileInactive() {}
void EngineFatal(const char* m) { LogWrite(m); std::exit(-1); }
long long EngineMicroseconds() { return (long long)PlatformTickMs() * 1000; }
void EngineCallLockEnter() {}
void EngineCallLockLeave() {}
const char* EngineBaseDirectory() { return "."; }
int SetWindowCaption(const char*) { return 0; }
int SetWindowIconId(int) { return 0; }
int ChangeWindowMode(int) { return 0; }
int SetWindowScale(double, double) { return 0; }
int EngineInit() { return -1; }
int EngineEnd() { return 0; }
int ProcessWindowMessages() { return -1; }
int GetTickMs(int) { return (int)(PlatformTickMs() & 0x7FFFFFFF); }
