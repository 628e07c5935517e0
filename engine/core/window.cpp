// Engine lifecycle: settings made before start-up, EngineInit with the
// main window, the message pump, and EngineEnd.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <unistd.h>

#include "engine/core/core.h"
#include "engine/core/core_internal.h"
#include "engine/core/modules.h"
#include "engine/engine.h"
#include "engine/platform/audio.h"
#include "engine/platform/platform.h"

EngineWindowState g_Window;

namespace {

struct CoreState {
    char baseDirectory[4096];
    std::thread::id mainThread;
    int platformUp;
    int fileLayerUp;
    int instanceLockHeld;
    int modulesUp;  // bits of the modules EngineInit started
    void (*inactivePassHook)();
};
CoreState g_Core;

// Set while the pump runs on this thread: a service step that calls back
// into the pump returns at once.
thread_local int t_Pumping;

struct CallLockGuard {
    CallLockGuard() { EngineCallLockEnter(); }
    ~CallLockGuard() { EngineCallLockLeave(); }
};

double ScaleOrOne(double s) { return s > 0.0 ? s : 1.0; }

void CopyText(char* dest, size_t size, const char* text) {
    std::snprintf(dest, size, "%s", text ? text : "");
}

void ScreenRequest(int* width, int* height, int* bits) {
    int w = 0, h = 0, b = 0;
    GraphicsScreenRequest(&w, &h, &b);
    *width = w > 0 ? w : 640;
    *height = h > 0 ? h : 480;
    *bits = b > 0 ? b : 16;
}

// ------------------------------------------------------ window procedure

void OnDestroyed() {
    if (g_Window.destroyed) return;
    LogWrite("ウインドウが破棄されようとしています\n");
    g_Window.destroyed = 1;
    g_Window.hasWindow = 0;
    g_Window.quit = 1;
    LogWrite("ソフトを終了する準備が整いました\n");
}

void OnCloseRequest() {
    LogWrite("ウインドウを閉じようとしています\n");
    PlatformDestroyWindow();
    OnDestroyed();
}

void SetActive(int active) {
    int was = g_Window.active;
    g_Window.active = active;
    if (!EngineModuleChosen(EngineModuleInput)) return;
    if (was && !active && g_Window.windowed) InputReleaseOnDeactivate();
    if (!was && active) InputReacquire();
    // The game stands still in the background, and so does its sound.
    if (was != active) AudioSetOutputPaused(!active);
}

// The player dragged the window to a new size: that size is kept as the
// window's scale, so leaving full screen and the next start restore it.
void OnResized() {
    if (!g_Window.windowed || !g_Window.hasWindow) return;
    int w = 0, h = 0;
    if (PlatformGetClientSize(&w, &h) != 0 || w <= 0 || h <= 0) return;
    int sw, sh, bits;
    ScreenRequest(&sw, &sh, &bits);
    // Half a pixel more, so that truncating screen size x scale gives w.
    g_Window.scaleX = (w + 0.5) / sw;
    g_Window.scaleY = (h + 0.5) / sh;
    g_Window.clientRight = g_Window.clientLeft + w;
    g_Window.clientBottom = g_Window.clientTop + h;
}

void Dispatch(const PlatformEvent& event) {
    switch (event.type) {
    case PlatformEventClose:
        if (g_Window.hasWindow) OnCloseRequest();
        break;
    case PlatformEventDestroyed:
        g_Window.hasWindow = 0;
        OnDestroyed();
        break;
    case PlatformEventActivate:
        SetActive(1);
        break;
    case PlatformEventDeactivate:
        SetActive(0);
        break;
    case PlatformEventPaint:
        if (g_Window.initialised && EngineModuleChosen(EngineModuleGraphics)) GraphicsRepaint();
        break;
    case PlatformEventToggleFullscreen:
        if (g_Window.initialised) ChangeWindowMode(g_Window.windowed ? 0 : 1);
        break;
    case PlatformEventResized:
        OnResized();
        break;
    case PlatformEventQuit:
    case PlatformEventNone:
        break;
    }
}

// The display went away for good (X connection lost): finish what can be
// finished without it and end with 1, leaving the save as it is. Nothing
// here may touch the window system again.
[[noreturn]] void OnDisplayLost() {
    static int once = 0;
    if (once++) std::_Exit(1);
    g_Window.hasWindow = 0;
    g_Window.destroyed = 1;
    g_Window.quit = 1;
    g_Window.ending = 1;
    LogWrite("ディスプレイとの接続が失われました、ソフトを終了します\n");
    std::fprintf(stderr, "quellbore: the connection to the display was lost\n");
    // The sound thread is stopped and joined: no joinable thread is left.
    if (g_Core.modulesUp & EngineModuleSound) EndSound();
    if (g_Core.modulesUp & EngineModuleInput) EndInput();
    g_Core.modulesUp &= ~(EngineModuleSound | EngineModuleInput);
    if (g_Core.instanceLockHeld) PlatformReleaseInstanceLock();
    g_Core.instanceLockHeld = 0;
    LogWrite("ＣＯＭを終了... ");
    LogWrite("完了\n");
    std::fflush(nullptr);
    std::_Exit(1);
}

// The message loop proper; see ProcessWindowMessages.
void PumpLoop() {
    int dispatched = 0;
    bool batchEnded = false;
    for (;;) {
        if ((g_Window.active || g_Window.closeRequested) && (batchEnded || g_Window.quit)) break;
        if (!g_Window.active) PlatformSleepMs(1);
        int thisPass = 0;
        bool stop = false;
        batchEnded = false;
        for (;;) {
            PlatformEvent event = {PlatformEventNone};
            if (!PlatformPollEvent(&event)) {
                batchEnded = thisPass == 0;
                break;
            }
            if (g_Window.quit) {
                stop = true;
                break;
            }
            if (event.type == PlatformEventQuit) g_Window.quit = 1;
            Dispatch(event);
            ++thisPass;
            if (++dispatched >= 5) {
                dispatched = 0;
                batchEnded = true;
                break;
            }
        }
        if (stop) break;
        if (!g_Window.active) {
            if (g_Core.inactivePassHook) g_Core.inactivePassHook();
            PlatformSleepMs(1);
            if (g_Window.quit) break;
        }
    }
}

// -------------------------------------------------------- window fitting

void RecordClientRect(int x, int y, int w, int h) {
    g_Window.clientLeft = x;
    g_Window.clientTop = y;
    g_Window.clientRight = x + w;
    g_Window.clientBottom = y + h;
}

void FitWindow() {
    if (!g_Window.hasWindow) return;
    if (g_Window.windowed) {
        LogWrite("ウインドウスタイルをウインドウモード用に変更します... ");
        PlatformSetFullscreen(0);
        int w = EngineClientWidth(), h = EngineClientHeight();
        PlatformFrame frame = {0, 0, 0, 0};
        PlatformGetWindowFrame(&frame);
        EngineWindowPlacement at = EnginePlaceWindow(g_Window.desktopWidth, g_Window.desktopHeight, frame, w, h);
        PlatformMoveWindow(at.clientX, at.clientY, w, h);
        RecordClientRect(at.clientX, at.clientY, w, h);
        PlatformSetCursorVisible(1);
        LogWrite("完了\n");
    } else {
        LogWrite("ウインドウスタイルをフルスクリーンモード用に変更します... ");
        int w, h, bits;
        ScreenRequest(&w, &h, &bits);
        // The window covers its display; the picture is scaled inside it.
        PlatformSetFullscreen(1);
        PlatformMoveWindow(0, 0, w, h);
        PlatformShowWindow();
        PlatformSetCursorVisible(0);
        LogWrite("完了\n");
    }
}

// ------------------------------------------------------ window creation

int CreateMainWindow() {
    // Keep the settings, clear the rest of the window state.
    EngineWindowState kept = g_Window;
    std::memset(&g_Window, 0, sizeof g_Window);
    std::memcpy(g_Window.caption, kept.caption, sizeof g_Window.caption);
    g_Window.iconId = kept.iconId;
    g_Window.windowed = kept.windowed;
    g_Window.modeSet = kept.modeSet;
    g_Window.scaleX = kept.scaleX;
    g_Window.scaleY = kept.scaleY;
    g_Window.starting = kept.starting;
    CopyText(g_Window.className, sizeof g_Window.className, g_Window.caption[0] ? g_Window.caption : "D123987X");

    PlatformGetDesktop(&g_Window.desktopWidth, &g_Window.desktopHeight, &g_Window.desktopBits);
    PlatformSystemInfo info = {};
    PlatformGetSystemInfo(&info);
    LogWriteFormat("メモリ総量:%.2fMB  空きメモリ領域:%.2fMB ", info.totalPhysicalBytes / 1048576.0,
                   info.freePhysicalBytes / 1048576.0);

    PlatformTimerMinPeriod();  // the timer already runs at 1 ms here
    CoreCompareClocks();
    CoreSeedRandom(PlatformTickMs());
    PlatformSetScreenSaverEnabled(0);

    LogWrite("ソフトの二重起動検査... ");
    if (PlatformAcquireInstanceLock(g_Window.className) != 0) {
        LogWrite("二重起動されています、ソフトを終了します\n");
        g_Window.quit = 1;
        return -1;
    }
    g_Core.instanceLockHeld = 1;
    LogWrite("二重起動はされていませんでした\n");

    LogWrite("ウインドウクラスを登録します... ");
    LogWrite("登録に成功しました\n");
    if (!g_Window.caption[0]) CopyText(g_Window.caption, sizeof g_Window.caption, "Engine");

    int x, y, w, h;
    if (g_Window.windowed) {
        LogWrite("ウインドウモード起動用のウインドウを作成します\n");
        w = EngineClientWidth();
        h = EngineClientHeight();
        PlatformFrame frame = {0, 0, 0, 0};
        PlatformGetWindowFrame(&frame);
        EngineWindowPlacement at = EnginePlaceWindow(g_Window.desktopWidth, g_Window.desktopHeight, frame, w, h);
        x = at.clientX;
        y = at.clientY;
    } else {
        LogWrite("フルスクリーンモード用のウインドウを作成します\n");
        int bits;
        ScreenRequest(&w, &h, &bits);
        x = 0;
        y = 0;
    }
    if (PlatformCreateWindow(g_Window.caption, g_Window.iconId, x, y, w, h, g_Window.modeSet) != 0) {
        LogWrite("ウインドウの作成に失敗しました\n");
        g_Window.quit = 1;
        return -1;
    }
    LogWrite("ウインドウの作成に成功しました\n");
    g_Window.hasWindow = 1;
    PlatformShowWindow();

    g_Window.destroyed = 0;
    g_Window.closeRequested = 0;
    g_Window.active = 1;
    if (!g_Window.windowed) {
        LogWrite("カーソルを不可視にしました\n");
        PlatformSetCursorVisible(0);
    }
    LogWrite("ＩＭＥを無効にしました\n");
    if (g_Window.windowed) {
        RecordClientRect(x, y, w, h);
        PlatformSetCursorVisible(1);
    }
    FitWindow();
    return 0;
}

// Undoes what a failed start-up made, so that the process (or a test) can
// try again; the log file stays.
void RollBackStart() {
    for (int i = EngineModuleCount - 1; i >= 0; --i)
        if (g_Core.modulesUp & EngineModuleList[i].bit) EngineModuleList[i].end();
    if (g_Window.hasWindow) {
        PlatformDestroyWindow();
        g_Window.hasWindow = 0;
    }
    if (g_Core.instanceLockHeld) PlatformReleaseInstanceLock();
    if (g_Core.fileLayerUp) FileLayerEnd();
    if (g_Core.platformUp) PlatformShutdown();
    g_Core.modulesUp = g_Core.instanceLockHeld = 0;
    g_Core.fileLayerUp = g_Core.platformUp = 0;
}

}  // namespace

// ------------------------------------------------------------- settings

int SetWindowCaption(const char* text) {
    CopyText(g_Window.caption, sizeof g_Window.caption, text);
    if (g_Window.hasWindow) PlatformSetWindowCaption(g_Window.caption);
    return 0;
}

int SetWindowIconId(int id) {
    g_Window.iconId = id;
    if (g_Window.hasWindow) PlatformSetWindowIcon(id);
    return 0;
}

int ChangeWindowMode(int windowed) {
    LogWrite("ChangeWindowMode実行 \n");
    windowed = windowed ? 1 : 0;
    if (windowed == g_Window.windowed) return 0;
    g_Window.modeSet = 1;
    g_Window.windowed = windowed;
    LogWrite(windowed ? "ウインドウモードフラグが立てられました\n" : "ウインドウモードフラグが倒されました\n");
    if (!g_Window.hasWindow) return 0;
    FitWindow();
    return EngineModuleChosen(EngineModuleGraphics) ? GraphicsResetMode() : 0;
}

int SetWindowScale(double x, double y) {
    if (y <= 0.0) y = x;
    if (x == g_Window.scaleX && y == g_Window.scaleY) return 0;
    g_Window.scaleX = x > 0.0 ? x : 1.0;
    g_Window.scaleY = y > 0.0 ? y : 1.0;
    if (g_Window.windowed && g_Window.hasWindow) FitWindow();
    return 0;
}

int EngineClientWidth() {
    int w, h, bits;
    ScreenRequest(&w, &h, &bits);
    return g_Window.windowed ? (int)(w * ScaleOrOne(g_Window.scaleX)) : w;
}

int EngineClientHeight() {
    int w, h, bits;
    ScreenRequest(&w, &h, &bits);
    return g_Window.windowed ? (int)(h * ScaleOrOne(g_Window.scaleY)) : h;
}

EngineWindowPlacement EnginePlaceWindow(int desktopWidth, int desktopHeight, const PlatformFrame& frame,
                                        int clientWidth, int clientHeight) {
    int windowWidth = clientWidth + frame.left + frame.right;
    int windowHeight = clientHeight + frame.top + frame.bottom;
    EngineWindowPlacement at;
    at.clientX = (desktopWidth - windowWidth) / 2 + frame.left;
    at.clientY = (desktopHeight - windowHeight) / 2 + frame.top;
    if (at.clientX < 0) at.clientX = 0;
    if (at.clientY < 0) at.clientY = 0;
    return at;
}

int GetWindowClientSize(int* width, int* height) {
    if (!g_Window.hasWindow && !g_Window.initialised) return -1;
    int w, h, bits;
    ScreenRequest(&w, &h, &bits);
    if (width) *width = (int)(w * ScaleOrOne(g_Window.scaleX));
    if (height) *height = (int)(h * ScaleOrOne(g_Window.scaleY));
    return 0;
}

int GetWindowMode() { return g_Window.windowed; }

int EngineCodePage() { return 932; }

const char* EngineBaseDirectory() { return g_Core.baseDirectory; }

void EngineSetInactivePassHook(void (*hook)()) { g_Core.inactivePassHook = hook; }

bool EngineOnMainThread() { return std::this_thread::get_id() == g_Core.mainThread; }

// ------------------------------------------------------------ lifecycle

int EngineInit() {
    if (g_Window.initialised) return 0;
    CallLockGuard lock;
    g_Window.starting = 1;
    g_Core.mainThread = std::this_thread::get_id();

    // Full screen: this platform sets no display mode of its own; the
    // window covers the screen size at (0, 0).

    EngineSetStartFailure("");
    // A second copy is turned away before it opens anything, the log
    // included: the log is the first copy's.
    if (PlatformAcquireInstanceLock(g_Window.caption[0] ? g_Window.caption : "D123987X") != 0) {
        EngineSetStartFailure("another copy of the game is already running");
        g_Window.quit = 1;
        g_Window.starting = 0;
        return -1;
    }
    g_Core.instanceLockHeld = 1;

    // The file layer, then the log (in the working directory unless a log
    // folder was set).
    if (!getcwd(g_Core.baseDirectory, sizeof g_Core.baseDirectory)) g_Core.baseDirectory[0] = '\0';
    bool ok = true;
    if (FileLayerInit() == -1) {
        EngineSetStartFailure("the file layer could not be started");
        ok = false;
    } else {
        g_Core.fileLayerUp = 1;
    }
    // The backend comes up before the log starts so that the log's clock
    // begins with the first line; its failure is logged once the log runs.
    bool platformFailed = false;
    if (ok) {
        if (PlatformInit() != 0) {
            platformFailed = true;
            ok = false;
        } else {
            g_Core.platformUp = 1;
            PlatformSetDisplayLostHandler(OnDisplayLost);
        }
    }
    LogStart(EngineLogFolder(g_Core.baseDirectory));
    if (platformFailed) {
        LogWrite("プラットフォームの初期化に失敗しました\n");
        EngineSetStartFailure("no display could be opened (is DISPLAY or WAYLAND_DISPLAY set?)");
    }
    if (ok) {
        int desktopWidth = 0, desktopHeight = 0, desktopBits = 0;
        PlatformGetDesktop(&desktopWidth, &desktopHeight, &desktopBits);
        int w, h, bits;
        ScreenRequest(&w, &h, &bits);
        if ((desktopBits == 24 && g_Window.windowed) || bits == 24) {
            LogWrite("このエンジンは２４ビットカラーモードに対応していません\n");
            EngineSetStartFailure("the desktop's 24-bit colour mode is not supported");
            ok = false;
        }
    }
    if (ok) {
        CoreQueryCounterFrequency();
        CoreLogSystemInformation();
        // Nothing like COM exists here; the lines keep the log's shape.
        LogWrite("ＣＯＭの初期化... ");
        LogWrite("成功しました\n");
        ok = CreateMainWindow() == 0;
        if (!ok) EngineSetStartFailure("the window could not be created");
    }
    for (int i = 0; ok && i < EngineModuleCount; ++i) {
        const EngineModuleEntry& module = EngineModuleList[i];
        if (!EngineModuleChosen(module.bit)) continue;
        if (module.start() < 0 && !module.startMayFail) {
            if (module.startFailure) EngineSetStartFailure(module.startFailure);
            ok = false;
        } else {
            g_Core.modulesUp |= module.bit;
        }
    }
    if (!ok) {
        RollBackStart();
        g_Window.starting = 0;
        return -1;
    }
    LogWrite("文字コードバッファの初期化を行います... ");
    LogWrite("完了しました\n");
    g_Window.initialised = 1;
    SetDrawTarget(BackScreen);
    SetDrawTarget(FrontScreen);
    g_Window.starting = 0;
    return 0;
}

int ProcessWindowMessages() {
    if (t_Pumping) return 0;
    if (!g_Window.hasWindow) return g_Window.quit ? -1 : 0;
    CallLockGuard lock;
    t_Pumping = 1;
    // Window events belong to the main thread; another thread only reads
    // the state.
    if (EngineOnMainThread()) {
        PumpLoop();
        if (EngineModuleChosen(EngineModuleInput)) RefreshKeyboardState();
    }
    t_Pumping = 0;
    return g_Window.quit ? -1 : 0;
}

void WaitWhileInactive() {
    if (t_Pumping || !g_Window.hasWindow || g_Window.active || g_Window.quit) return;
    ProcessWindowMessages();
}

int EngineEnd() {
    if (!g_Window.initialised) return 0;
    CallLockGuard lock;
    g_Window.ending = 1;
    // Text input and the network part hold nothing on this platform.
    LogWrite("ネットワーク関連の終了処理を行います \n");
    LogWrite("ネットワーク関連の終了処理は完了しました\n");
    for (int step = 0; step < EngineModuleCount; ++step) {
        for (int i = 0; i < EngineModuleCount; ++i) {
            const EngineModuleEntry& module = EngineModuleList[i];
            if (module.endStep == step && (g_Core.modulesUp & module.bit)) module.end();
        }
    }
    g_Core.modulesUp = 0;

    PlatformSetScreenSaverEnabled(1);
    PlatformSetCursorVisible(1);
    if (g_Window.hasWindow && !g_Window.destroyed) {
        g_Window.closeRequested = 1;
        OnCloseRequest();
    }
    LogWrite("ＣＯＭを終了... ");
    LogWrite("完了\n");
    g_Window.initialised = 0;
    // Whatever the window left in the queue goes with it.
    PlatformEvent event;
    while (PlatformPollEvent(&event)) {
    }
    if (g_Core.baseDirectory[0] && chdir(g_Core.baseDirectory) != 0) {
        // The directory is gone; the file layer ends where it is.
    }
    if (g_Core.fileLayerUp) FileLayerEnd();
    g_Core.fileLayerUp = 0;
    LogMemoryReport();
    if (g_Core.instanceLockHeld) PlatformReleaseInstanceLock();
    g_Core.instanceLockHeld = 0;
    if (g_Core.platformUp) PlatformShutdown();
    g_Core.platformUp = 0;
    g_Window.ending = 0;
    return 0;
}

void EngineFatal(const char* message) {
    LogWrite(message);
    if (LogFilePath()[0]) {
        std::fprintf(stderr, "The game stopped on a fatal engine error; %s has the details.\n", LogFilePath());
    } else {
        std::fprintf(stderr, "The game stopped on a fatal engine error.\n");
    }
    EngineEnd();
    // During start-up EngineEnd does nothing: undo what was made, so that
    // the sound thread is joined before the process ends.
    if (!g_Window.initialised) RollBackStart();
    std::exit(-1);
}
