// The windowing layer: numbered windows and the one event queue, the canvas
// gadget, toolbars and popup menus, the file requester and the message box.
// Nothing of the platform toolkit shows through this header.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "runtime/png_decoder.h"

namespace runtime {
struct DrawingContext;
}

namespace windowing {

using Handle = std::intptr_t;  // a platform object, 0 for none

// --- event codes (QueuedEvent.code) ----------------------------------------
inline constexpr int GadgetEvent = 13100;
inline constexpr int MenuEvent = 13101;
inline constexpr int ActivateEvent = 13104;
inline constexpr int MinimizeEvent = 13107;
inline constexpr int MaximizeEvent = 13108;
inline constexpr int RestoreEvent = 13109;
inline constexpr int RightClickEvent = 13111;
inline constexpr int LeftClickEvent = 13112;
inline constexpr int LeftDoubleClickEvent = 13113;
inline constexpr int DeactivateEvent = 13114;
inline constexpr int RepaintEvent = 13115;
inline constexpr int CloseEvent = 13116;
inline constexpr int MoveEvent = 13117;
inline constexpr int SizeEvent = 13118;
// A file was dropped on a window that accepts them (DroppedFile names it).
inline constexpr int FileDropEvent = 13130;

// What WaitForEvent returns after it handled platform input that queued no
// event of its own: none of the codes above.
inline constexpr int PlatformMessage = 1;

// --- window flags -----------------------------------------------------------
inline constexpr std::uint32_t WindowCentreOnScreen = 0x00000001;
inline constexpr std::uint32_t WindowCentreOnParent = 0x00000002;
inline constexpr std::uint32_t WindowToolStyle = 0x00000004;
inline constexpr std::uint32_t WindowNoGadgetList = 0x00000008;
inline constexpr std::uint32_t WindowInvisible = 0x10000000;
inline constexpr std::uint32_t WindowMaximized = 0x01000000;
inline constexpr std::uint32_t WindowMinimized = 0x20000000;
inline constexpr std::uint32_t WindowNoActivate = 0x02000000;
inline constexpr std::uint32_t WindowCaption = 0x00C00000;
inline constexpr std::uint32_t WindowSystemMenu = 0x00080000;
inline constexpr std::uint32_t WindowMinimizeBox = 0x00020000;
inline constexpr std::uint32_t WindowMaximizeBox = 0x00010000;
inline constexpr std::uint32_t WindowSizingFrame = 0x00040000;

inline constexpr int FocusNextCommand = 64001;
inline constexpr int FocusPreviousCommand = 64002;

// --- canvas -----------------------------------------------------------------
inline constexpr int CanvasBorder = 1;
inline constexpr int CanvasClipMouse = 2;
inline constexpr int CanvasKeyboard = 4;
inline constexpr int CanvasDrawFocus = 8;

inline constexpr int CanvasPointerEntered = 65537;
inline constexpr int CanvasPointerLeft = 65538;
inline constexpr int CanvasPointerMoved = 65539;
inline constexpr int CanvasLeftButtonDown = 65540;
inline constexpr int CanvasLeftButtonUp = 65541;
inline constexpr int CanvasRightButtonDown = 65542;
inline constexpr int CanvasRightButtonUp = 65543;
inline constexpr int CanvasMiddleButtonDown = 65544;
inline constexpr int CanvasMiddleButtonUp = 65545;
inline constexpr int CanvasWheelTurned = 65546;
inline constexpr int CanvasKeyDown = 65547;
inline constexpr int CanvasKeyUp = 65548;
inline constexpr int CanvasCharacterTyped = 65549;
inline constexpr int CanvasLeftClick = 0;
inline constexpr int CanvasRightClick = 1;
inline constexpr int CanvasLeftDoubleClick = 2;
inline constexpr int CanvasRightDoubleClick = 3;
inline constexpr int CanvasFocusGained = 14000;
inline constexpr int CanvasFocusLost = 14001;

// The codes CanvasKey gives for the keys that are no letter or digit (a
// letter or digit is its upper-case character).
enum Key : int {
    KeyBackspace = 8, KeyTab = 9, KeyReturn = 13, KeyShift = 16, KeyControl = 17, KeyAlt = 18, KeyPause = 19,
    KeyCapsLock = 20, KeyEscape = 27, KeySpace = 32, KeyPageUp = 33, KeyPageDown = 34, KeyEnd = 35, KeyHome = 36,
    KeyLeft = 37, KeyUp = 38, KeyRight = 39, KeyDown = 40, KeyInsert = 45, KeyDelete = 46, KeyF1 = 112
};

inline constexpr int CanvasBitmap = 1;
inline constexpr int CanvasPointerX = 2;
inline constexpr int CanvasPointerY = 3;
inline constexpr int CanvasButtons = 4;
inline constexpr int CanvasKey = 5;
inline constexpr int CanvasModifiers = 6;
inline constexpr int CanvasCursor = 7;
inline constexpr int CanvasWheelDelta = 8;
inline constexpr int CanvasCharacter = 9;
inline constexpr int CanvasClipActive = 10;
inline constexpr int CanvasCustomCursor = 11;

struct CanvasEventData {
    std::int32_t x = 0, y = 0;
    std::int32_t buttons = 0;    // bit 0 left, bit 1 right, bit 2 middle
    std::int32_t key = 0;        // virtual key code of key events
    std::int32_t modifiers = 0;  // bit 0 Shift, bit 1 Alt, bit 2 Control
    std::int32_t wheel = 0;      // whole notches, positive away from the user
    std::int32_t character = 0;
};

// --- toolbar ----------------------------------------------------------------
inline constexpr int ToolbarControlId = -10000;
enum StandardImage {
    StandardCut, StandardCopy, StandardPaste, StandardUndo, StandardRedo, StandardDelete,
    StandardFileNew, StandardFileOpen, StandardFileSave, StandardPrintPreview, StandardProperties,
    StandardHelp, StandardFind, StandardReplace, StandardPrint,
};

// --- windows and events -----------------------------------------------------
void InitWindowing();

// The program's icon, as uncompressed BMP images of its sizes; the open
// windows and those opened later use it.
void SetProgramIcon(const std::uint8_t* const* images, const std::size_t* sizes, int count);

Handle OpenWindowObject(int number, int x, int y, int width, int height, const char* title, std::uint32_t flags);
Handle WindowHandle(int number);
int SetWindowCaption(int number, const char* text);
// Shows the windows opened so far now, not at the first WaitForEvent, and
// returns once they are drawn on the screen (at most a fifth of a second
// later), handling no input meanwhile: what the program makes after it (a
// popup menu, shortcuts, the icon) does not hold up the first frame, and is
// in place before any input is handled.
void ShowWindowsNow();

int WaitForEvent();
// Makes a WaitForEvent that is waiting for input return PlatformMessage
// after this many milliseconds at the latest (one timer for the program).
void ScheduleWakeUp(int milliseconds);
int CurrentMenuItem();
int CurrentGadget();
int CurrentEventType();
int CurrentEventWindow();

using ReleaseData = void (*)(void* data);
void PostEvent(int code, int object, int window, int type, void* data, ReleaseData releaseData);

// The Escape key as a 16-bit state: bit 15 down now, bit 0 pressed since
// the previous call (which clears it).
std::int16_t EscapeKeyState();

// Lets a window take files dropped on it from a file manager.
void AcceptFileDrops(int window);
// The path of the current FileDropEvent; the empty text for other events.
std::string DroppedFile();

// --- status line ------------------------------------------------------------
// One part of a status line: a colour swatch (when swatch is 0 or more, a
// 0x00BBGGRR value) followed by its text.
struct StatusPart {
    std::string text;
    std::int64_t swatch = -1;
};
// A line of parts in the window's client area at (x, y), made at the first
// call and moved by a later one; each call shows the parts given.
void SetStatusLine(int window, int x, int y, int width, int height, std::vector<StatusPart> parts);
// The text the status line shows now (its swatches as "[#rrggbb]").
std::string StatusLineText(int window);
// The dots status lines draw their text with: count characters from code
// first, each eight rows of seven dots (bit 6 the leftmost dot, a row a
// byte). Text with other characters is drawn in the desktop's font.
void SetStatusLineGlyphs(int first, int count, const std::uint8_t* rows);

// Destroys every window, closes all files, frees all images.
void ShutdownRuntime();

// --- canvas -----------------------------------------------------------------
Handle CreateCanvas(int number, int x, int y, int width, int height, int flags = 0);
std::intptr_t CanvasAttribute(int number, int attribute);

runtime::DrawingContext* CanvasDrawTarget(int number);
// Changes whenever the canvas is made or a drawing span is opened on it, so
// that a caller who remembers what it drew there can tell whether anyone
// else has drawn since. 0 when number holds no canvas.
std::uint64_t CanvasDrawSerial(int number);
// Shows the canvas's bitmap at zoom screen pixels a pixel (the canvas grows
// or shrinks to fit); pointer positions stay bitmap pixels.
int SetCanvasZoom(int number, int zoom);
// A new bitmap of width x height (white) for the canvas, shown at its zoom;
// 0, the canvas as it was, when there is no room for it.
int ResizeCanvas(int number, int width, int height);
// While on, the canvas's window types into it: printable characters come as
// CanvasCharacterTyped, Backspace, the arrows, Return, Control+I and
// Control+F as CanvasKeyDown, and none of them chooses a command.
int SetCanvasTyping(int number, int on);

// The canvas is shown through a view of at most width x height at its place
// in the window: when it is larger, the view scrolls, with scroll bars
// (the wheel scrolls it; Control and the wheel is the canvas's own).
// width and height come back as the view's size: the canvas's own when it
// fits, else with room for the scroll bars it needs, within the most given.
int SetCanvasView(int number, int& width, int& height);
// Scrolls the canvas's view (if it has one) to show the bitmap's rectangle,
// or as much of it from its top left as fits.
void ShowCanvasArea(int number, int x, int y, int width, int height);
// Where the bitmap's pixel (x, y) is shown now, in its window's client area.
void CanvasPointInWindow(int number, int x, int y, int& windowX, int& windowY);
// Scrolls the canvas's view so that the bitmap's pixel (x, y) is shown at
// (windowX, windowY) of the client area, as nearly as the view allows.
void PlaceCanvasPoint(int number, int x, int y, int windowX, int windowY);

// The room the desktop gives a window on its screen, frame excluded: the
// largest client area that fits. Where the platform does not let a program
// place its windows (Wayland), a window grows in place from wherever it is:
// the room it is sure of is the client area it has now.
void AvailableClientArea(int window, int& width, int& height);
// A new client size for a window the user cannot resize.
int ResizeWindowObject(int window, int width, int height);

// --- toolbar and menus ------------------------------------------------------
Handle CreateToolbarObject(int number, Handle window);
void AddStandardButton(int id, int standardImage);
void AddImageButton(int id, std::uintptr_t imageHandle, int toggle);
void AddToolbarSeparator();
int SetButtonTip(int toolbar, int id, const char* text);
int SetButtonPressed(int toolbar, int id, int state);
// What a screen reader calls the button, where its tip does not say it
// (set after the tip, which names it until then).
int SetButtonName(int toolbar, int id, const char* text);
// Shows the image's present pixels on the button (after it was redrawn).
int SetButtonImage(int toolbar, int id, std::uintptr_t imageHandle);

Handle CreatePopup(int number);
Handle OpenSubmenu(const char* title);
void CloseSubmenu();
void AddMenuItem(int id, const char* text);
void AddMenuSeparator();
int ShowPopup(int number, Handle window);
// The popup with its corner at (x, y) of the window's client area, for a
// popup asked for from the keyboard.
int ShowPopupAt(int number, Handle window, int x, int y);

// --- menu bar -----------------------------------------------------------------
// A menu bar along the window's top: the window grows by its height and what
// is in it moves down with it (client coordinates keep their meaning).
// Menus and items are added in order, into the menu made or chosen last.
Handle CreateMenuBar(int window);
void AddMenuBarMenu(const char* title);
// Makes the bar's menu at index (0 the first) the one items go into.
void ChooseMenuBarMenu(int index);
void OpenMenuBarSubmenu(const char* title);
void CloseMenuBarSubmenu();
// A plain item, an item on or off, or one of a run of choices of which one
// is on. It shows its keys (the window's shortcuts carry them out) and
// posts the MenuEvent of id when chosen.
enum class MenuItemKind { Plain, Toggle, Choice };
void AddMenuBarItem(int id, const char* text, const std::vector<std::string>& keys, MenuItemKind kind);
void AddMenuBarSeparator();
// What an item shows now; an item not enabled cannot be chosen.
void SetMenuItemState(int id, bool checked, bool enabled);
// A new text for the item; the empty text hides it.
void SetMenuItemText(int id, const char* text);
// The item is enabled only while the clipboard holds something a paste
// could take (ownType or a picture): looked at when its menu opens.
void MenuItemFollowsClipboard(int id, const char* ownType);

// A key sequence ("Ctrl+S", "P", "Shift+F10", "Menu") on the window that
// posts the MenuEvent of command id, as a toolbar button or menu item would.
int AddShortcut(int window, const char* keys, int id);

// --- requesters and message box ---------------------------------------------
// The chosen path, or the empty text when cancelled.
std::string ChooseFileToOpen(const char* title, const char* defaultPath, const char* patterns, int position);
// The same requester for a file about to be written: its accept button
// says Save.
std::string ChooseFileToSave(const char* title, const char* defaultPath, const char* patterns, int position);
int ShowMessage(const char* caption, const char* text, int flags);
std::string CurrentDirectory();  // ends with "/"
Handle DialogOwnerWindow();
void EnterModalState();
void LeaveModalState();
int IsValidFileName(const char* text);

inline constexpr int MessageOk = 1;  // ShowMessage's answer for the OK button

// The question before unsaved work would be lost: a modal box owned by the
// active window with Save, Discard and Cancel. Closing it or Escape cancels.
enum class SaveChangesAnswer { Save, Discard, Cancel };
SaveChangesAnswer AskToSaveChanges(const char* caption, const char* text);

// The question before an existing file is written over: Replace or Cancel,
// Cancel the default (Return, Escape and closing the box cancel). True for
// Replace.
bool AskToReplace(const char* caption, const char* text);

// A modal list: the index of the item chosen (double click, Return or
// Open), or -1 when cancelled. Items not enabled are shown greyed.
int ChooseFromList(const char* title, const char* label, const std::vector<std::string>& items,
                   const std::vector<bool>& enabled);

// One line of text, typed in upper case; the empty text when cancelled.
// Each edit is shown as asTyped makes it (a disk image's names are upper case).
std::string AskForName(const char* title, const char* label, const char* proposed,
                       const std::function<std::string(const std::string&)>& asTyped);

// The About box: a text (lines apart at "\n") above a table of keys and what
// they do, with one OK button.
void ShowAbout(const char* caption, const char* text, const std::vector<std::pair<std::string, std::string>>& keys);

// A question with two answers of the caller's words ("&Recover",
// "&Discard"); true for the first. Escape or closing the box is the second.
bool AskTwoWay(const char* caption, const char* text, const char* yes, const char* no);

// --- clipboard --------------------------------------------------------------
// Puts a picture (0x00BBGGRR colours, row by row) on the system clipboard as
// image/png (and any image type the platform asks for), beside ownData in
// the program's own type.
void PutOnClipboard(const std::vector<std::uint32_t>& pixels, int width, int height, const char* ownType,
                    const std::vector<std::uint8_t>& ownData);
struct ClipboardContents {
    bool empty = true;               // nothing at all on the clipboard
    std::vector<std::uint8_t> own;   // the program's own type, when there
    bool hasImage = false;           // an image any program put there, decoded (or only offered)
    runtime::DecodedImage image;
    std::string problem;             // why an image there could not be taken
};
// Another program's clipboard is read through the program at path (run as
// `path --read-clipboard TYPE`), waited for at most about a second; until
// this is called, it is read in this process. Without decode, an image is
// only said to be offered (for greying Paste: nothing is decoded).
void SetClipboardReader(const std::string& path);
ClipboardContents ReadClipboard(const char* ownType, bool decode = true);
// The reader's side: writes what the clipboard holds (the own type, a PNG or
// another image type, each as "type\nlength\nbytes") to descriptor fd.
int WriteClipboardTo(int fd, int argc, char** argv, const char* ownType);

// --- pictures from elsewhere --------------------------------------------------
// A picture file of any type the toolkit reads (PNG and JPEG by the
// program's own readers), its size checked before anything is decoded;
// false with the reason.
bool ReadImageFile(const std::string& path, runtime::DecodedImage& image, std::string& problem);

// The conversion dialog: choices named by the caller, each an index into
// its names, and the page as it will be beside them, the caller's cells
// (cols x rows) drawn cellWidth x cellHeight pixels each (smaller by whole
// steps where the screen has no room). preview gives the cells' colours
// (0x00BBGGRR, row by row) for a choice, at every change. True for OK, with
// the choice made.
struct ConversionGrid {
    int cols = 0, rows = 0, cellWidth = 0, cellHeight = 0;
};
struct ConversionChoice {
    int method = 0, fit = 0, palette = 0;
    int brightness = 0, contrast = 0, saturation = 0;
};
struct ConversionNames {
    std::vector<std::string> methods, fits, palettes;
};
using ConversionPreview = std::function<std::vector<std::uint32_t>(const ConversionChoice&)>;
// original gives the picture as the conversion sees it (fitted, averaged
// into the cells and adjusted), shown beside the page.
bool ChoosePictureConversion(const char* title, const ConversionNames& names, ConversionGrid grid,
                             ConversionChoice& choice, const ConversionPreview& preview,
                             const ConversionPreview& original);

}  // namespace windowing
