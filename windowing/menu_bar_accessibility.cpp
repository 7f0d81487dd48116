// The menu bar's strip as a screen reader sees a toolkit's menu bar.
#include "windowing/drawn_items.h"
#include "windowing/menu_strip.h"

namespace windowing::detail {
namespace {

// A title of the bar as a screen reader sees a toolkit menu bar's: a menu
// item named as the title reads ("File"), with its accelerator, whose
// child is the menu it opens (the titles are drawn in the program's own
// dots, so the toolkit knows nothing of them).
class TitleAccessible : public DrawnItemAccessible {
public:
    using DrawnItemAccessible::DrawnItemAccessible;
    bool isValid() const override { return Strip() && index_ < Strip()->titles.size(); }
    QAccessibleInterface* child(int i) const override {
        return i == 0 && isValid() ? QAccessible::queryAccessibleInterface(Strip()->MenuAt(index_)) : nullptr;
    }
    int childCount() const override { return 1; }
    int indexOfChild(const QAccessibleInterface* c) const override {
        return isValid() && c && c->object() == Strip()->titles[index_].menu.data() ? 0 : -1;
    }
    QString text(QAccessible::Text t) const override {
        if (!isValid()) return {};
        const MenuStrip::Title& title = Strip()->titles[index_];
        if (t == QAccessible::Name) return QString::fromStdString(title.text);
        if (t == QAccessible::Accelerator && title.letter) return QStringLiteral("Alt+") + QChar::fromLatin1(title.letter);
        return {};
    }
    QRect rect() const override {
        if (!isValid()) return {};
        const MenuStrip::Title& title = Strip()->titles[index_];
        return {Strip()->mapToGlobal(QPoint(title.left, 0)), QSize(title.right - title.left, Strip()->height())};
    }
    QAccessible::Role role() const override { return QAccessible::MenuItem; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.hasPopup = true;
        s.expanded = isValid() && Strip()->titles[index_].menu && Strip()->titles[index_].menu->isVisible();
        return s;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override {
        if (action == pressAction() && isValid()) Strip()->Open(index_);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {text(QAccessible::Accelerator)}; }

private:
    MenuStrip* Strip() const { return static_cast<MenuStrip*>(owner_.data()); }
};

// A screen reader sees a menu bar whose children are its titles.
class StripAccessible : public DrawnItemsOwnerAccessible {
public:
    explicit StripAccessible(QWidget* w)
        : DrawnItemsOwnerAccessible(
              w, QAccessible::MenuBar, [](QWidget* strip) { return static_cast<MenuStrip*>(strip)->titles.size(); },
              [](QWidget* strip, std::size_t i) { return new TitleAccessible(strip, i); }) {}
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? QStringLiteral("Menu bar") : QAccessibleWidget::text(t);
    }
};

}  // namespace

QAccessibleInterface* StripAccessibility(const QString&, QObject* object) {
    auto* strip = dynamic_cast<MenuStrip*>(object);
    return strip ? new StripAccessible(strip) : nullptr;
}


}  // namespace windowing::detail
