// Clocks: the millisecond tick, the microsecond clock and the start-up
// checks that choose between the timer and the fine counter; the system
// information lines of the log.
#include <cstdio>

#include "engine/core/core.h"
#include "engine/core/core_internal.h"
#include "engine/engine.h"
#include "engine/platform/platform.h"

namespace {
int g_UseCounter;
uint64_t g_CounterFrequency;
uint32_t g_RandomState = 1;
InputTap g_Tap;
bool g_TapSet;
}  // namespace

int GetTickMs(int) {
    int live = (int)(PlatformTickMs() & 0x7FFFFFFFu);
    return g_TapSet ? g_Tap.tick(live) : live;
}

int SleepUntilTick(int tick) {
    if (g_TapSet && !g_Tap.sleep(tick)) return 0;
    PlatformSleepUntilTickMs((uint32_t)tick & 0x7FFFFFFFu, 1000);
    return 0;
}

int SetInputTap(const InputTap* tap) {
    g_TapSet = false;
    if (tap && tap->tick && tap->key && tap->keyboard && tap->pad && tap->sleep) {
        g_Tap = *tap;
        g_TapSet = true;
    }
    return 0;
}

const InputTap* EngineInputTap() { return g_TapSet ? &g_Tap : nullptr; }

int EngineUsesCounterClock() { return g_UseCounter; }

long long EngineMicroseconds() {
    if (g_UseCounter && g_CounterFrequency) {
        unsigned __int128 us = (unsigned __int128)PlatformCounter() * 1000000u / g_CounterFrequency;
        return (long long)us;
    }
    return (long long)PlatformTickMs() * 1000;
}

void CoreQueryCounterFrequency() { g_CounterFrequency = PlatformCounterFrequency(); }

void CoreSeedRandom(uint32_t seed) { g_RandomState = seed; }

int EngineRandom() {
    g_RandomState = g_RandomState * 1103515245u + 12345u;
    return (int)((g_RandomState >> 16) & 0x7FFF);
}

void CoreCompareClocks() {
    g_UseCounter = 0;
    if (!g_CounterFrequency) return;
    LogWrite("タイマーの精度を検査します\n");
    int timerCount = 0, counterCount = 0;
    uint32_t start = PlatformTickMs();
    uint32_t lastTick = start;
    uint64_t lastCounter = PlatformCounter();
    // Bounded by 999 ms of the timer; the poll cap only guards a clock
    // that never moves.
    for (long polls = 0; polls < 100000000L; ++polls) {
        if (g_Window.quit) break;
        uint32_t tick = PlatformTickMs();
        uint64_t counter = PlatformCounter();
        if (tick != lastTick) {
            ++timerCount;
            lastTick = tick;
        }
        if (counter != lastCounter) {
            ++counterCount;
            lastCounter = counter;
        }
        if (timerCount >= 60 || counterCount >= 60) break;
        if (tick - start >= 999) break;
    }
    LogWriteFormat("精度結果 更新回数 マルチメディアタイマー：%d  パフォーマンスカウンター：%d", timerCount,
                   counterCount);
    LogWrite(" ");
    if (counterCount < timerCount) {
        g_UseCounter = 0;
        LogWriteFormat("マルチメディアタイマーを使用します タイマー分解能 : %d.00 ms ", PlatformTimerMinPeriod());
    } else {
        g_UseCounter = 1;
        LogWriteFormat("パフォーマンスカウンターを使用します タイマー分解能 : %lf KHz ",
                       (double)g_CounterFrequency / 1000.0);
    }
    LogWrite(" ");
}

void CoreLogSystemInformation() {
    LogWrite("システムの情報を出力します\n");
    LogIndentUp();
    char line[512];
    std::snprintf(line, sizeof line, "ゲームエンジン Ver%s\n", "3.03");
    LogWrite(line);
    PlatformSystemInfo info = {};
    PlatformGetSystemInfo(&info);
    info.osName[sizeof info.osName - 1] = '\0';
    info.osVersion[sizeof info.osVersion - 1] = '\0';
    info.cpuVendor[sizeof info.cpuVendor - 1] = '\0';
    info.cpuName[sizeof info.cpuName - 1] = '\0';
    std::snprintf(line, sizeof line, "ＯＳ  %s ( %s )\n", info.osName[0] ? info.osName : "Linux", info.osVersion);
    LogWrite(line);
    if (!info.hasCpuid) {
        LogWrite("ＣＰＵＩＤ命令は使えません\n");
    } else {
        LogWrite(info.hasMmx ? "ＭＭＸ命令を使用します\n" : "ＭＭＸは使えません\n");
        if (info.hasSse) LogWrite("ＳＳＥ命令が使用可能です\n");
        if (info.hasSse2) LogWrite("ＳＳＥ２命令が使用可能です\n");
        std::snprintf(line, sizeof line, "ＣＰＵベンダ：%s\n", info.cpuVendor);
        LogWrite(line);
        LogWriteFormat("ＣＰＵ名：%s", info.cpuName);
        // Cycles over a stretch of the timer (the backend's probe length),
        // busy-waiting.
        // (The poll caps only guard a clock that never moves.)
        uint32_t begin = PlatformTickMs();
        for (long polls = 0; polls < 100000000L && PlatformTickMs() == begin; ++polls) {
        }
        begin = PlatformTickMs();
        uint64_t cycles0 = PlatformCycleCounter();
        const uint32_t probeMs = (uint32_t)PlatformSpeedProbeMs();
        for (long polls = 0; polls < 400000000L && PlatformTickMs() - begin < probeMs; ++polls) {
        }
        uint32_t elapsed = PlatformTickMs() - begin;
        uint64_t cycles = PlatformCycleCounter() - cycles0;
        double ghz = elapsed ? (double)cycles / ((double)elapsed * 1000.0) / 1000.0 : 0.0;
        LogWriteFormat("ＣＰＵ動作速度：大体%.2fGHz", ghz);
    }
    LogIndentDown();
}
