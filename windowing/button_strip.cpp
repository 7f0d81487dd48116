// The toolbar's buttons as a screen reader sees a toolkit toolbar's.
#include "windowing/button_strip.h"
#include "windowing/drawn_items.h"

namespace windowing::detail {
namespace {

// A button as a screen reader sees a toolkit tool button: named by its
// tip (or the name given it), checkable when it toggles, pressed by the
// reader as by a click.
class ButtonAccessible : public DrawnItemAccessible {
public:
    using DrawnItemAccessible::DrawnItemAccessible;
    bool isValid() const override { return Item() != nullptr; }
    QString text(QAccessible::Text t) const override {
        const ButtonStrip::Item* item = Item();
        if (!item) return {};
        if (t == QAccessible::Name) return item->name.isEmpty() ? item->action->toolTip() : item->name;
        if (t == QAccessible::Description) return item->action->toolTip();
        return {};
    }
    QRect rect() const override {
        const ButtonStrip::Item* item = Item();
        return item && item->at.isValid() ? QRect(owner_->mapToGlobal(item->at.topLeft()), item->at.size()) : QRect();
    }
    QAccessible::Role role() const override { return QAccessible::PushButton; }
    QAccessible::State state() const override {
        QAccessible::State s;
        const ButtonStrip::Item* item = Item();
        if (!item) return s;
        s.checkable = item->action->isCheckable();
        s.checked = item->action->isChecked();
        s.pressed = item->down;
        s.invisible = !item->at.isValid();
        s.disabled = !item->action->isEnabled();
        return s;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override {
        if (action == pressAction() && Item()) static_cast<ButtonStrip*>(owner_.data())->Press(Index());
    }

private:
    std::size_t Index() const {
        // The reader's n-th child is the row's n-th button, separators skipped.
        auto* strip = static_cast<ButtonStrip*>(owner_.data());
        std::size_t seen = 0;
        for (std::size_t i = 0; i < strip->items.size(); ++i)
            if (strip->items[i].button && seen++ == index_) return i;
        return strip->items.size();
    }
    const ButtonStrip::Item* Item() const {
        if (!owner_) return nullptr;
        const std::size_t i = Index();
        auto* strip = static_cast<ButtonStrip*>(owner_.data());
        return i < strip->items.size() ? &strip->items[i] : nullptr;
    }
};

std::size_t ButtonCount(QWidget* strip) {
    const auto& items = static_cast<ButtonStrip*>(strip)->items;
    return static_cast<std::size_t>(std::count_if(items.begin(), items.end(), [](const auto& i) { return i.button; }));
}

}  // namespace

// A screen reader is told the row is a toolbar, as the toolkit's own is,
// whose children are its buttons (and the chevron, when there is one).
QAccessibleInterface* ButtonStripAccessibility(const QString&, QObject* object) {
    auto* strip = dynamic_cast<ButtonStrip*>(object);
    if (!strip) return nullptr;
    return new DrawnItemsOwnerAccessible(strip, QAccessible::ToolBar, ButtonCount, [](QWidget* w, std::size_t i) {
        return new ButtonAccessible(w, i);
    });
}

}  // namespace windowing::detail
