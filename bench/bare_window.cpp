// The floor for the on-screen benchmarks: a bare Qt window of the editor's
// size that draws one colour and takes every pointer move, nothing more.
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

namespace {

class Bare : public QWidget {
public:
    explicit Bare(QSize size) {
        setFixedSize(size);
        setWindowTitle(QStringLiteral("bare"));
        setMouseTracking(true);
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(255, 255, 0)); }
    void mouseMoveEvent(QMouseEvent* e) override { moves += e->position().x() >= 0; }

private:
    int moves = 0;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The editor's size, or another given as WIDTHxHEIGHT (the editor zoomed).
    QSize size(640, 440);
    for (int i = 1; i < argc; ++i)
        if (const QStringList wh = QString::fromUtf8(argv[i]).split(QLatin1Char('x')); wh.size() == 2)
            size = QSize(wh[0].toInt(), wh[1].toInt());
    Bare window(size);
    window.show();
    return app.exec();
}
