// What a screen reader (AT-SPI, through the toolkit) is told of the canvas
// and the status line: the canvas is a picture whose description is what
// the status line says, the status line a label with its text. Both are
// read when asked, so that nothing is built per pointer move unless a
// screen reader listens.
#include <QAccessible>
#include <QAccessibleWidget>

#include "windowing/internal.h"

namespace windowing::detail {

namespace {

bool IsCanvas(const QObject* o) { return o->objectName().startsWith(QLatin1String("canvas")); }
bool IsStatusLine(const QObject* o) { return o->objectName() == QLatin1String("statusLine"); }

QString StatusOf(const QWidget* w) {
    const int window = WindowNumberOf(w);
    return window < 0 ? QString() : QString::fromStdString(StatusLineText(window));
}

class CanvasAccessible : public QAccessibleWidget {
public:
    explicit CanvasAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Graphic) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return QStringLiteral("Picture");
        if (t == QAccessible::Description) return StatusOf(widget());
        return QAccessibleWidget::text(t);
    }
};

class StatusAccessible : public QAccessibleWidget {
public:
    explicit StatusAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::StaticText) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name || t == QAccessible::Value) return StatusOf(widget());
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* Factory(const QString&, QObject* object) {
    auto* w = qobject_cast<QWidget*>(object);
    if (!w || w->isWindow()) return nullptr;
    if (IsCanvas(w)) return new CanvasAccessible(w);
    if (IsStatusLine(w)) return new StatusAccessible(w);
    return nullptr;
}

}  // namespace

void InstallAccessibility() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    QAccessible::installFactory(Factory);
}

void AnnounceStatus(QWidget* statusLine) {
    if (!QAccessible::isActive()) return;
    QAccessibleEvent name(statusLine, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&name);
    QWidget* window = statusLine->window();
    for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!IsCanvas(child)) continue;
        QAccessibleEvent description(child, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&description);
    }
}

}  // namespace windowing::detail
