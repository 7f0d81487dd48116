// Keys and buttons as the rest of the program knows them.
#include <QKeyEvent>

#include "windowing/canvas_widget.h"

namespace windowing::detail {

int ButtonBits(Qt::MouseButtons b) {
    return ((b & Qt::LeftButton) ? 1 : 0) | ((b & Qt::RightButton) ? 2 : 0) | ((b & Qt::MiddleButton) ? 4 : 0);
}

int ModifierBits(Qt::KeyboardModifiers m) {
    return ((m & Qt::ShiftModifier) ? 1 : 0) | ((m & Qt::AltModifier) ? 2 : 0) | ((m & Qt::ControlModifier) ? 4 : 0);
}

int VirtualKey(const QKeyEvent* e) {
    const int k = e->key();
    if ((k >= Qt::Key_A && k <= Qt::Key_Z) || (k >= Qt::Key_0 && k <= Qt::Key_9)) return k;
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return KeyF1 + (k - Qt::Key_F1);
    struct { int qt, vk; } static const table[] = {
        {Qt::Key_Backspace, KeyBackspace}, {Qt::Key_Tab, KeyTab},          {Qt::Key_Backtab, KeyTab},
        {Qt::Key_Return, KeyReturn},       {Qt::Key_Enter, KeyReturn},     {Qt::Key_Shift, KeyShift},
        {Qt::Key_Control, KeyControl},     {Qt::Key_Alt, KeyAlt},          {Qt::Key_Pause, KeyPause},
        {Qt::Key_CapsLock, KeyCapsLock},   {Qt::Key_Escape, KeyEscape},    {Qt::Key_Space, KeySpace},
        {Qt::Key_PageUp, KeyPageUp},       {Qt::Key_PageDown, KeyPageDown}, {Qt::Key_End, KeyEnd},
        {Qt::Key_Home, KeyHome},           {Qt::Key_Left, KeyLeft},        {Qt::Key_Up, KeyUp},
        {Qt::Key_Right, KeyRight},         {Qt::Key_Down, KeyDown},        {Qt::Key_Insert, KeyInsert},
        {Qt::Key_Delete, KeyDelete},
    };
    for (const auto& t : table)
        if (t.qt == k) return t.vk;
    return static_cast<int>(e->nativeVirtualKey());
}

}  // namespace windowing::detail
