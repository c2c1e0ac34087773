// The item label window: its thread, its scale, and showing and hiding it.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "app/App_win.h"
#include "platform/Holders_win.h"
#include "tooltip/LabelImages_win.h"
#include "tooltip/LabelWindow_win.h"

HWND labelWindow;
LayeredSurface* labelSurface;
int32_t labelVisible;
POINT labelPos = {-1, -1};
LabelMetrics labelMetrics = LabelMetricsForDpi(kBaseDpi);
WindowThread labelThread;

namespace {

// The label's lock. ShowLabel and HideLabel come from two threads (the menu worker and the palette
// editor) and both draw into the one surface; the label thread takes it to publish and to withdraw
// the window and surface. Never held while waiting for the thread.
SRWLOCK labelLock = SRWLOCK_INIT;

// Set by the label thread when it has left its message loop and wants the lock to withdraw the
// window and surface. Callers seeing it give up without queueing for the lock, so that a caller
// showing the label in a tight loop cannot keep the thread from ending.
std::atomic<bool> labelWithdrawing{false};

// Set by StopLabelThread before anything else, so that ShowLabel and HideLabel give up from then
// on. The label's lock is not fair: a caller showing the label in a tight loop takes it again and
// again, and a stop that merely queued for it could wait for seconds.
std::atomic<bool> labelStopping{false};

// What the shown label's image holds: the text and font it was drawn with. A label that follows
// the cursor with the same text (every tracking step of the ring, every mouse move over one item
// in the editor) is only moved, not drawn again. Valid only while the label is shown; guarded by
// the label's lock.
struct LabelImage {
    bool valid;
    HFONT font;
    char text[kLabelTextUnits];
};
LabelImage labelImage;

// How far from its left edge the label window's image may be other than transparent: a new image
// is presented over that width or its own, whichever is wider, and the rest stays as it is.
int32_t presentedWidth = kLabelWindowWidth;

// True when the shown image is text drawn with the current font.
bool LabelImageShows(const char* text) {
    return labelImage.valid && text != nullptr && labelImage.font == labelFont &&
           strncmp(labelImage.text, text, sizeof labelImage.text) == 0;
}

// Remembers what was just drawn; null (or a text too long to remember whole) forgets it.
void RememberLabelImage(const char* text) {
    labelImage.valid = text != nullptr && strlen(text) < sizeof labelImage.text;
    if (labelImage.valid) {
        labelImage.font = labelFont;
        strcpy(labelImage.text, text);
    }
}

// The label thread's way to take the lock: a caller holding it may be inside SetWindowPos on the
// label window, waiting for this thread to answer the messages that sends, so those are served
// while the lock is busy.
void AcquireLabelLockServingMessages() {
    while (!TryAcquireSRWLockExclusive(&labelLock)) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_SENDMESSAGE);
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace

// The label thread: creates the hidden window with a transparent image, publishes it, pumps its
// messages until WM_QUIT, then withdraws and destroys everything it made. Exit code 0 after a
// quit, -1 when the window or surface could not be made.
static unsigned __stdcall LabelWindowThread(void* /*argument*/) {
    HWND window = CreateResidentWindow(appInstance, kLabelClassName, kLabelClassName, kLabelWindowWidth,
                                       kLabelWindowHeight);
    LayeredSurface* surface =
        window != nullptr ? CreateLayeredSurface(kLabelWindowWidth, kLabelWindowHeight) : nullptr;
    unsigned exitCode = static_cast<unsigned>(-1);
    if (surface != nullptr) {
        ClearLayeredSurface(surface);
        PresentLayeredSurface(surface, window);
        {
            LockHolder hold(labelLock);
            labelSurface = surface;
            labelWindow = window;
            labelVisible = 0;
            labelPos = {-1, -1};
        }
        SignalWindowThreadReady(labelThread);
        RunMessageLoop();
        exitCode = 0;

        labelWithdrawing = true;
        AcquireLabelLockServingMessages();
        labelWindow = nullptr;
        labelVisible = 0;
        labelPos = {-1, -1};
        labelImage.valid = false;
        presentedWidth = kLabelWindowWidth;
        ForgetKeptLabels();
        surface = labelSurface;  // replaced when the label changed scale
        labelSurface = nullptr;
        labelMetrics = LabelMetricsForDpi(kBaseDpi);
        ReleaseSRWLockExclusive(&labelLock);
    }
    DestroyLayeredSurface(surface);
    DestroyResidentWindow(window, appInstance, kLabelClassName);
    return exitCode;
}

// Starts the label thread unless one runs. 0 when one runs afterwards, -1 when it could not be
// started.
int32_t StartLabelThread() {
    if (!IsWindowThreadRunning(labelThread)) {
        labelWithdrawing = false;
        labelStopping = false;
    }
    return StartWindowThread(labelThread, LabelWindowThread, nullptr) ? 0 : -1;
}

// 0 once the label window exists, -1 otherwise: at once without a thread or while it ends, else
// after a bounded wait for its set-up, which ends early when the thread fails.
int32_t WaitForLabelWindow() {
    if (labelWithdrawing) {
        return -1;
    }
    {
        LockHolder hold(labelLock);
        if (labelWindow != nullptr) {
            return 0;  // published: no wait, which would cost a call to the system at every step
        }
    }
    if (!AwaitWindowThread(labelThread)) {
        return -1;
    }
    LockHolder hold(labelLock);
    return labelWindow != nullptr ? 0 : -1;
}

namespace {

// Gives the label the sizes of a display of `dpi`: a surface of that size, the window resized
// with it, and no image kept from another scale. The label keeps its old scale when the surface
// cannot be made. Called with the label's lock held.
void ScaleLabel(uint32_t dpi) {
    const LabelMetrics scaled = LabelMetricsForDpi(dpi);
    LayeredSurface* surface = CreateLayeredSurface(scaled.windowWidth, scaled.windowHeight);
    if (surface == nullptr) {
        return;
    }
    DestroyLayeredSurface(labelSurface);
    labelSurface = surface;
    labelMetrics = scaled;
    ForgetKeptLabels();
    labelImage.valid = false;
    presentedWidth = scaled.windowWidth;
    SetWindowPos(labelWindow, nullptr, 0, 0, scaled.windowWidth, scaled.windowHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

// Shows text (code page 932, or null for a fully transparent label) with the window's top-left
// corner at screen point (x, y), drawn at the scale of a display of `dpi`: shown if hidden, moved
// if shown elsewhere, and given the text's image unless it shows it already. A shown label that
// needs a new image is moved by the same call that presents it. Never clamped to the screen. -1
// when there is no label window, else 1 when the image reached the window and 0 when that failed.
int32_t ShowLabel(const char* text, int32_t x, int32_t y, uint32_t dpi) {
    if (labelStopping || WaitForLabelWindow() != 0) {
        return -1;
    }
    LockHolder hold(labelLock);
    if (labelWindow == nullptr || labelStopping) {
        return -1;  // withdrawn, or being stopped, since the wait
    }
    if (dpi != labelMetrics.dpi) {
        ScaleLabel(dpi);
    }
    const bool wasShown = labelVisible != 0;
    const bool moved = labelPos.x != x || labelPos.y != y;
    const bool sameImage = wasShown && LabelImageShows(text);
    if (!wasShown) {
        SetWindowPos(labelWindow, HWND_TOP, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        labelVisible = 1;
    } else if (moved && sameImage) {
        SetWindowPos(labelWindow, HWND_TOP, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (sameImage) {
        labelPos = {x, y};
        return 1;  // the window already shows this very image
    }
    const int32_t width = PutLabelImage(text);
    const POINT at = {x, y};
    const RECT dirty = LeftColumns(std::max({width, presentedWidth, 1}));
    const int32_t result =
        PresentLayeredSurface(labelSurface, labelWindow, wasShown && moved ? &at : nullptr, &dirty);
    presentedWidth = result == 1 ? width : labelMetrics.windowWidth;
    labelPos = {x, y};
    RememberLabelImage(result == 1 ? text : nullptr);
    return result;
}

// Hides the label if it is shown. The surface keeps its image; the next ShowLabel draws afresh.
// The window stays topmost (SWP_NOZORDER).
void HideLabel() {
    if (labelStopping || WaitForLabelWindow() != 0) {
        return;
    }
    LockHolder hold(labelLock);
    if (labelWindow == nullptr || labelVisible == 0 || labelStopping) {
        return;
    }
    SetWindowPos(labelWindow, HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    labelVisible = 0;
    labelPos = {-1, -1};
    labelImage.valid = false;
}

// Ends the label thread (ShowLabel and HideLabel give up from the start of the stop) and releases
// its handle. A thread still setting up after the bounded wait is left alone, and so are callers.
void StopLabelThread() {
    labelStopping = true;
    if (!StopWindowThread(labelThread, false)) {
        labelStopping = false;
    }
}
