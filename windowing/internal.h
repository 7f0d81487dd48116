// What the windowing layer's own files share. Qt lives here.
#pragma once

#include <QPointer>
#include <QWidget>

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

// --- windows ----------------------------------------------------------------
// The number of the layer window that contains widget (walking up to its
// top-level window), or -1.
int WindowNumberOf(const QWidget* widget);
QWidget* WindowWidget(int number);
QWidget* WidgetFromHandle(Handle handle);  // only layer windows are found
QWidget* CurrentGadgetList();
void ForgetGadgetList(QWidget* window);
void AttachToolbar(QWidget* window, int toolbarNumber, QWidget* toolbar);

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
void InitMenus();
void DestroyAllWindows();
// Shows the windows opened since the program last waited for input.
void ShowPendingWindows();

inline Handle HandleOf(const void* p) { return reinterpret_cast<Handle>(p); }

}  // namespace windowing::detail
