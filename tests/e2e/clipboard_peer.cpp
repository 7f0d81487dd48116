// Another program on the desktop's clipboard, for the end-to-end tests:
//   clipboard_peer offer TYPE FILE   puts FILE's bytes there as TYPE, prints
//                                    "offered" and serves them until killed
//   clipboard_peer read TYPE FILE    writes what the clipboard holds as TYPE
//                                    to FILE and prints every type offered
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 4) return 2;
    const QString type = QString::fromUtf8(argv[2]);
    QFile file(QString::fromUtf8(argv[3]));
    if (QByteArray(argv[1]) == "offer") {
        if (!file.open(QIODevice::ReadOnly)) return 1;
        auto* data = new QMimeData;
        data->setData(type, file.readAll());
        QGuiApplication::clipboard()->setMimeData(data);
        std::puts("offered");
        std::fflush(stdout);
        return app.exec();
    }
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data) return 1;
    for (const QString& format : data->formats()) std::printf("%s\n", qPrintable(format));
    if (!file.open(QIODevice::WriteOnly)) return 1;
    file.write(data->data(type));
    return 0;
}
