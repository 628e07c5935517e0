// Linux queries that both backends answer the same way: system facts and
// the single-instance lock file.
#pragma once

#include "engine/platform/platform.h"

// uname, /proc/meminfo and cpuid.
void LinuxGetSystemInfo(PlatformSystemInfo* info);

// Lock file "<className>.lock" in $XDG_RUNTIME_DIR (else /tmp), held with
// flock for the life of the process. 0 when taken (also when no lock file
// can be made at all), -1 when another process holds it.
int LinuxAcquireInstanceLock(const char* className);
void LinuxReleaseInstanceLock();

// Builds the lock file path into out (size bytes). 0 on success, -1 when
// it does not fit. A class name's '/' and control characters become '_'.
int LinuxInstanceLockPath(const char* className, char* out, int size);
