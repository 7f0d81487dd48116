// The menu bar's strip as a screen reader sees a toolkit's menu bar.
#include <QAccessibleWidget>

#include "windowing/menu_strip.h"

namespace windowing::detail {
namespace {

// A title of the bar as a screen reader sees a toolkit menu bar's: a menu
// item named as the title reads ("File"), with its accelerator, whose
// child is the menu it opens (the titles are drawn in the program's own
// dots, so the toolkit knows nothing of them).
class TitleAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TitleAccessible(MenuStrip* strip, std::size_t index) : strip_(strip), index_(index) {}
    bool isValid() const override { return strip_ && index_ < strip_->titles.size(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return strip_ ? strip_->window()->windowHandle() : nullptr; }
    QList<QPair<QAccessibleInterface*, QAccessible::Relation>> relations(QAccessible::Relation) const override { return {}; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(strip_.data()); }
    QAccessibleInterface* child(int i) const override {
        return i == 0 && isValid() ? QAccessible::queryAccessibleInterface(strip_->MenuAt(index_)) : nullptr;
    }
    int childCount() const override { return 1; }
    int indexOfChild(const QAccessibleInterface* c) const override {
        return isValid() && c && c->object() == strip_->titles[index_].menu.data() ? 0 : -1;
    }
    QString text(QAccessible::Text t) const override {
        if (!isValid()) return {};
        const MenuStrip::Title& title = strip_->titles[index_];
        if (t == QAccessible::Name) return QString::fromStdString(title.text);
        if (t == QAccessible::Accelerator && title.letter) return QStringLiteral("Alt+") + QChar::fromLatin1(title.letter);
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid()) return {};
        const MenuStrip::Title& title = strip_->titles[index_];
        return {strip_->mapToGlobal(QPoint(title.left, 0)), QSize(title.right - title.left, strip_->height())};
    }
    QAccessible::Role role() const override { return QAccessible::MenuItem; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.hasPopup = true;
        s.expanded = isValid() && strip_->titles[index_].menu && strip_->titles[index_].menu->isVisible();
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override {
        if (action == pressAction() && isValid()) strip_->Open(index_);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {text(QAccessible::Accelerator)}; }

private:
    QPointer<MenuStrip> strip_;
    std::size_t index_;
};

// A screen reader sees a menu bar whose children are its titles.
class StripAccessible : public QAccessibleWidget {
public:
    explicit StripAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::MenuBar) {}
    ~StripAccessible() override {
        for (const QAccessible::Id id : ids_) QAccessible::deleteAccessibleInterface(id);
    }
    MenuStrip* Strip() const { return static_cast<MenuStrip*>(widget()); }
    int childCount() const override { return static_cast<int>(Strip()->titles.size()); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount()) return nullptr;
        while (ids_.size() <= static_cast<std::size_t>(index))
            ids_.push_back(QAccessible::registerAccessibleInterface(new TitleAccessible(Strip(), ids_.size())));
        return QAccessible::accessibleInterface(ids_[static_cast<std::size_t>(index)]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int i = 0; i < childCount(); ++i)
            if (child && child == this->child(i)) return i;
        return -1;
    }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? QStringLiteral("Menu bar") : QAccessibleWidget::text(t);
    }

private:
    mutable std::vector<QAccessible::Id> ids_;
};

}  // namespace

QAccessibleInterface* StripAccessibility(const QString&, QObject* object) {
    auto* strip = dynamic_cast<MenuStrip*>(object);
    return strip ? new StripAccessible(strip) : nullptr;
}


}  // namespace windowing::detail
