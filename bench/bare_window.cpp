// The floor for the on-screen benchmarks: a bare Qt window of the editor's
// size that draws one colour and takes every pointer move, nothing more.
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

namespace {

class Bare : public QWidget {
public:
    Bare() {
        setFixedSize(640, 440);
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
    Bare window;
    window.show();
    return app.exec();
}
