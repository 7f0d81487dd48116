// What the windowing layer's own files share. Qt lives here.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QWidget>

class QMenu;
class QMimeData;
class QMouseEvent;
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
// Where a window's client area starts: below its menu bar, if it has one.
// Everything placed in client coordinates is placed this much lower.
int ClientTop(const QWidget* window);
// Puts the menu bar along the window's top, height pixels high: the window
// grows by as much and what is in it moves down with it.
void AttachMenuBar(QWidget* window, QWidget* bar, int height);
// The canvas, the titles and the status line follow a pointer that sweeps
// the canvas at most once a frame (a 60 Hz screen's), all from one timer:
// after a quiet spell once the event that changed them is handled, during
// a sweep when the frame falls due.
inline constexpr int FrameInterval = 16;  // milliseconds
class FrameThrottle {
public:
    explicit FrameThrottle(std::function<void()> action);
    ~FrameThrottle();
    FrameThrottle(const FrameThrottle&) = delete;
    FrameThrottle& operator=(const FrameThrottle&) = delete;
    // The action runs with the next frame (at once after a quiet spell),
    // once however often it is asked for meanwhile.
    void Request();
    // Runs the action now if it waits for a frame.
    void Flush();

private:
    std::function<void()> action_;
    bool pending_ = false;
};
// Every action waiting for its frame, now: what the screen shows before a
// modal box takes over, and what a test reads.
void FlushFrames();
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
// The window dialogs belong to: the active one, else the program's visible
// window (on some platforms no window is active before the first click).
QWidget* DialogParent();
// An image type other than PNG through the toolkit's readers, its size
// checked before anything is decoded; false with the reason (what names the
// picture: "the picture on the clipboard") when refused, with no reason
// for a type the toolkit does not read.
bool DecodeOther(const QByteArray& bytes, runtime::DecodedImage& image, std::string& problem, const char* what);
// Makes a dialog a transient child of its parent: centred over it (where
// the platform lets a program place windows), no minimise or maximise.
void MakeTransient(QDialog& dialog);

// --- the program's own character dots (SetStatusLineGlyphs) ---------------
// True when every character of text has its dots.
bool HasGlyphs(const std::string& text);
// Draws text, seven pixels a character, with its top row at top, into a
// 32-bit image, between columns left and right.
void DrawGlyphs(QImage& image, int left, int right, int x, int top, const std::string& text, QRgb ink);

// --- screen readers --------------------------------------------------------
// Tells a screen reader listening that the status line of widget's window
// (and so the canvas's description) says something new.
void AnnounceStatus(QWidget* statusLine);
void InstallAccessibility();

// --- gadgets, toolbars, menus -------------------------------------------------
void InitCanvases();
// Returns the memory of the canvas event records (at shut-down, once the
// queue has given every record back).
void FreeCanvasDataPool();
// A popup takes the release of the press that opened it: no canvas holds
// the pointer any more, so no click is reported for a release it never saw.
void ReleaseCanvasCaptures();
// After a modal box: a pointer still over a canvas is inside it, so that its
// first motion is a move (the box's leave does not count as leaving).
void KeepPointerInside();
void InitToolbars();
void InstallProgramStyle();
// An image of the runtime's pixels (bottom-up, 24 or 32 bits), alpha kept
// when the pixels have any.
QImage ImageFromPixels(const runtime::ImagePixels& pixels);
// The window table made anew; each window's widget visited; the icon every
// window, open and to come, shows.
void ResetWindows();
// The first local file of a drop; a pointer event handed to the canvas under
// it (false when none is); Tab's walk through a window's tab stops.
QString DroppedPath(const QMimeData* mime);
bool ForwardToCanvas(QWidget* window, QMouseEvent* e);
bool MoveFocus(QWidget* window, bool next);
void ForEachWindow(const std::function<void(QWidget*)>& visit);
void SetWindowsIcon(const QIcon& icon);
// Marks the toolbar's button row (its chevron, a tool button, is sized by the style).
inline constexpr const char* ButtonStripProperty = "vornelButtonStrip";
// The platform's standard picture n (0 to 14), and a runtime image, as a
// button's picture.
QIcon StandardIcon(int n);
QIcon IconFromImage(std::uintptr_t handle);
void InitMenus();
// Popup number's menu, made from its items when first asked for (and again
// after items were added); nothing when there is no such popup.
QMenu* PopupMenu(int number);
// Lets go of the menu bar (it goes with its window).
void ForgetMenuBar();
void DestroyAllWindows();
// Shows the windows opened since the program last waited for input.
void ShowPendingWindows();

inline Handle HandleOf(const void* p) { return reinterpret_cast<Handle>(p); }

}  // namespace windowing::detail
