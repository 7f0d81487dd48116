// What the windowing layer's own files share. Qt lives here.
#pragma once

#include <QDialog>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QWidget>
#include <functional>

#include "runtime/images.h"
#include "windowing/windowing.h"

namespace windowing::detail {

// --- event queue ------------------------------------------------------------
void InitEventQueue();
void ClearEventQueue();
// Drops queued events of a window, or GadgetEvents of a gadget, releasing data.
void RemoveWindowEvents(int window);
void RemoveGadgetEvents(int gadget);
bool CurrentEventIsGadget(int number);
const CanvasEventData* CurrentCanvasData();
// The data of the current event when it has that code, else nothing.
const void* CurrentEventData(int code);
void InstallEscapeWatch();
// An Escape that closed a popup or dialog was meant for it, not the program.
void ForgetEscapePress();
// Runs a dialog modally over the program's windows; its exec() result.
int RunModal(QDialog& dialog);

// --- windows ----------------------------------------------------------------
// The number of the layer window that contains widget (walking up to its
// top-level window), or -1.
int WindowNumberOf(const QWidget* widget);
QWidget* WindowWidget(int number);
QWidget* WidgetFromHandle(Handle handle);  // only layer windows are found
QWidget* CurrentGadgetList();
void ForgetGadgetList(QWidget* window);
void AttachToolbar(QWidget* window, int toolbarNumber, QWidget* toolbar);
// Frames: what the two calls below change goes to the display in one write,
// when the program next waits for input and the last frame is at least
// FrameInterval old (SendFrameWhenDue; at once after a quiet spell), else
// from a timer half a frame later, should no input come before. Changes that
// come faster than frames (a pointer sweeping over the canvas) are seen once
// a frame, as a screen at 60 Hz shows them anyway, and cost no wake-up of
// their own: a pointer reporting every 1 to 8 ms brings the next move before
// the timer is due.
inline constexpr int FrameInterval = 16;  // milliseconds
inline constexpr int FrameTimerDelay = FrameInterval + FrameInterval / 2;
void SendFrameWhenDue();
void SendFrameNow();  // what is pending, whatever the last frame's age
// Sets a shown top-level window's title on the display with the next frame,
// without the toolkit (whose own copy the caller brings up to date later).
// False where that cannot be done: another platform, a window not yet made,
// a title that is not plain printable ASCII. A title set through the
// toolkit in between has to drop the pending one (DropPendingTitle).
bool SetNativeTitle(QWidget* window, const char* text);
void DropPendingTitle(QWidget* window);
// Has a widget's pixels within region (widget coordinates) written straight
// into its window's backing store with the next frame, and just those sent
// to the screen, without a repaint: a repaint first waits for the display
// server to have read the previous update (a pixel it has not read yet is a
// newer one anyway). write(image, offset, r) fills r, in widget coordinates,
// of the backing store's image, where the widget's (0, 0) is at offset, from
// what the widget holds when the frame goes out; a widget's changes until
// then are written together, by its first writer. False where the backing
// store is not a plain 32-bit image at one image pixel per window pixel, for
// a repaint to do it (and if that is so by the time of the frame, the
// widget is repainted then).
using PixelWriter = std::function<void(QImage& image, QPoint offset, const QRect& r)>;
bool PutDirectly(QWidget* widget, const QRegion& region, const PixelWriter& write);
// The image a painter writes to, when it is a plain 32-bit image at one
// image pixel per widget pixel (a widget painting into its window's backing
// store), with the image position of the widget's (0, 0) in offset; else
// nothing, and the painter has to be used.
QImage* PaintTarget(QPainter& painter, QPoint& offset);
// Has the kernel provide the memory pages of a block about to be written
// all at once, instead of one page fault a page (a fresh canvas bitmap, a
// fresh backing store at the first paint: a few hundred faults at start-up).
void PrepareForWriting(void* begin, std::size_t bytes);
// The longest ShowWindowsNow waits for the windows to be drawn.
inline constexpr int FirstFrameWaitLimit = 200;  // milliseconds
// How long the toolkit's copy of a title may lag behind the screen's.
inline constexpr int TitleSyncDelay = 250;

// --- gadgets, toolbars, menus -------------------------------------------------
void InitCanvases();
// Returns the memory of the canvas event records (at shut-down, once the
// queue has given every record back).
void FreeCanvasDataPool();
// A popup takes the release of the press that opened it: no canvas holds
// the pointer any more, so no click is reported for a release it never saw.
void ReleaseCanvasCaptures();
void InitToolbars();
void InstallProgramStyle();
// An image of the runtime's pixels (bottom-up, 24 or 32 bits), alpha kept
// when the pixels have any.
QImage ImageFromPixels(const runtime::ImagePixels& pixels);
void InitMenus();
void DestroyAllWindows();
// Shows the windows opened since the program last waited for input.
void ShowPendingWindows();

inline Handle HandleOf(const void* p) { return reinterpret_cast<Handle>(p); }

}  // namespace windowing::detail
