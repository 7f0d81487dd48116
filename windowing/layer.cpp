// The windowing layer's start-up and shut-down, the program's icon, and the
// wait for the first frame.
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QPixmap>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "runtime/file_objects.h"
#include "runtime/images.h"
#include "windowing/internal.h"

namespace windowing {
namespace {

QtMessageHandler previousHandler = nullptr;
std::vector<std::pair<QtMsgType, QString>> startupMessages;

// While the platform connects: its warnings are held back, and its fatal
// error (no display to connect to) ends the process with one line and exit
// code 1 instead of an abort and a core dump.
void StartupMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtFatalMsg) {
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr, "vornel: cannot open a window: no display could be reached (DISPLAY=%s)\n",
                     display && *display ? display : "unset");
        std::fflush(stderr);
        _exit(1);
    }
    startupMessages.emplace_back(type, text);
}

}  // namespace

void InitWindowing() {
    if (!qApp) {
        static int argc = 1;
        static char name[] = "vornel";
        static char* argv[] = {name, nullptr};
        previousHandler = qInstallMessageHandler(StartupMessage);
        new QApplication(argc, argv);
        qInstallMessageHandler(previousHandler);
        detail::InstallProgramStyle();
        for (const auto& [type, text] : startupMessages) {
            if (type == QtWarningMsg) qWarning("%s", qUtf8Printable(text));
            else if (type == QtCriticalMsg) qCritical("%s", qUtf8Printable(text));
        }
        startupMessages.clear();
    }
    QApplication::setQuitOnLastWindowClosed(false);
    detail::InitEventQueue();
    detail::InstallEscapeWatch();
    detail::ResetWindows();
    detail::InitCanvases();
    detail::InitMenus();
    detail::InitToolbars();
    detail::InstallAccessibility();
}

void SetProgramIcon(const std::uint8_t* const* images, const std::size_t* sizes, int count) {
    QIcon programIcon;
    for (int i = 0; i < count; ++i) {
        // Read by the runtime's own BMP reader: the toolkit's would look
        // through every image-format plugin first.
        runtime::ImagePixels pixels;
        int depth = 0;
        if (!runtime::DecodeBmp(images[i], sizes[i], pixels, depth)) continue;
        programIcon.addPixmap(QPixmap::fromImage(detail::ImageFromPixels(pixels)));
    }
    detail::SetWindowsIcon(programIcon);
}

void ShowWindowsNow() {
    detail::ShowPendingWindows();
    if (!qApp) return;
    const auto undrawn = [] {
        bool any = false;
        detail::ForEachWindow([&any](QWidget* w) {
            // The toolkit paints a window as it learns it is exposed.
            any |= w->isVisible() && !w->isMinimized() && w->windowHandle() && !w->windowHandle()->isExposed();
        });
        return any;
    };
    QElapsedTimer waited;
    waited.start();
    QTimer limit;  // wakes the wait should the window never be shown (no window manager maps it)
    limit.setSingleShot(true);
    limit.start(detail::FirstFrameWaitLimit);
    while (undrawn() && waited.elapsed() < detail::FirstFrameWaitLimit)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
}

void ShutdownRuntime() {
    detail::DestroyAllWindows();
    runtime::CloseAllFiles();
    runtime::FreeImageObject(runtime::AllImages);
    detail::ClearEventQueue();
    detail::FreeCanvasDataPool();
}

}  // namespace windowing
