// Items a widget draws itself (the menu bar's titles, the toolbar's
// buttons) as a screen reader sees them: each an accessible object of its
// own, a child of its widget's, though the toolkit knows nothing of it.
#pragma once

#include <QAccessibleWidget>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

namespace windowing::detail {

class DrawnItemAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    DrawnItemAccessible(QWidget* owner, std::size_t index) : owner_(owner), index_(index) {}
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return owner_ ? owner_->window()->windowHandle() : nullptr; }
    QList<QPair<QAccessibleInterface*, QAccessible::Relation>> relations(QAccessible::Relation) const override {
        return {};
    }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(owner_.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    void setText(QAccessible::Text, const QString&) override {}
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

protected:
    QPointer<QWidget> owner_;
    std::size_t index_;
};

// The widget's accessible object, whose first children are its drawn items
// (made as a reader asks for them, kept until the widget goes), then the
// child widgets it has.
class DrawnItemsOwnerAccessible : public QAccessibleWidget {
public:
    using MakeItem = std::function<QAccessibleInterface*(QWidget* owner, std::size_t index)>;
    using CountItems = std::function<std::size_t(QWidget* owner)>;
    DrawnItemsOwnerAccessible(QWidget* w, QAccessible::Role role, CountItems count, MakeItem make)
        : QAccessibleWidget(w, role), count_(std::move(count)), make_(std::move(make)) {}
    ~DrawnItemsOwnerAccessible() override {
        for (const QAccessible::Id id : ids_) QAccessible::deleteAccessibleInterface(id);
    }
    int childCount() const override { return Items() + QAccessibleWidget::childCount(); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount()) return nullptr;
        if (index >= Items()) return QAccessibleWidget::child(index - Items());
        while (ids_.size() <= static_cast<std::size_t>(index))
            ids_.push_back(QAccessible::registerAccessibleInterface(make_(widget(), ids_.size())));
        return QAccessible::accessibleInterface(ids_[static_cast<std::size_t>(index)]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int i = 0; i < childCount(); ++i)
            if (child && child == this->child(i)) return i;
        return -1;
    }

private:
    int Items() const { return static_cast<int>(count_(widget())); }
    CountItems count_;
    MakeItem make_;
    mutable std::vector<QAccessible::Id> ids_;
};

}  // namespace windowing::detail
