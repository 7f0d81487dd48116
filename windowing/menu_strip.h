// The menu bar's strip of titles, drawn in the program's own dots, and how
// a screen reader is told of it.
#pragma once

#include <QAccessible>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QShortcut>
#include <QWidget>
#include <string>
#include <vector>

#include "windowing/internal.h"

namespace windowing::detail {

// A row of menu titles: a press (or Alt and the title's letter, or F10)
// opens a title's menu below it; with one open, the pointer over another
// title, or Left and Right, goes over to that one.
class MenuStrip : public QWidget {
public:
    static constexpr int Height = 22;
    static constexpr int Gap = 7;  // each side of a title: one character

    struct Title {
        std::string text;
        char letter = 0;  // Alt and this opens it
        QPointer<QMenu> menu;
        bool keys = false;
        int left = 0, right = 0;
    };
    std::vector<Title> titles;

    // fill gives a menu its items when it is made.
    using Fill = void (*)(std::size_t index, QMenu* menu);
    MenuStrip(QWidget* parent, Fill fill) : QWidget(parent), fill_(fill) {
        setObjectName(QStringLiteral("menuBar"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    // A title; its menu is made when first asked for (opened, or by a screen
    // reader), its keys when its items are given (after the first frame).
    void Add(const char* title) {
        Title t;
        for (const char* c = title; c && *c; ++c) {
            if (*c == '&' && c[1]) t.letter = c[1];
            else t.text += *c;
        }
        t.left = titles.empty() ? 0 : titles.back().right;
        t.right = t.left + Gap * 2 + 7 * static_cast<int>(t.text.size());
        titles.push_back(std::move(t));
        update();
    }

    QMenu* MenuAt(std::size_t index) {
        if (index >= titles.size()) return nullptr;
        Title& t = titles[index];
        if (t.menu) return t.menu;
        t.menu = new QMenu(this);
        t.menu->setTitle(QString::fromStdString(t.text));
        t.menu->setObjectName(QStringLiteral("menu") + QString::fromStdString(t.text));
        t.menu->installEventFilter(this);
        QObject::connect(t.menu, &QMenu::aboutToHide, this, [this, index] {
            if (open_ == static_cast<int>(index)) open_ = -1;
            update();
        });
        if (fill_) fill_(index, t.menu);
        return t.menu;
    }

    // Alt and the title's letter open its menu; F10 the first.
    void AddKeys(std::size_t index) {
        if (index >= titles.size() || titles[index].keys) return;
        titles[index].keys = true;
        if (const char letter = titles[index].letter) {
            auto* key = new QShortcut(QKeySequence(QStringLiteral("Alt+") + QChar::fromLatin1(letter)), parentWidget());
            QObject::connect(key, &QShortcut::activated, this, [this, index] { Open(index); });
        }
        if (index == 0) {
            auto* key = new QShortcut(QKeySequence(Qt::Key_F10), parentWidget());
            QObject::connect(key, &QShortcut::activated, this, [this] { Open(0); });
        }
    }

    void Open(std::size_t index) {
        if (!MenuAt(index)) return;
        if (open_ >= 0 && open_ != static_cast<int>(index) && titles[static_cast<std::size_t>(open_)].menu)
            titles[static_cast<std::size_t>(open_)].menu->hide();
        open_ = static_cast<int>(index);
        update();
        detail::ReleaseCanvasCaptures();
        titles[index].menu->popup(mapToGlobal(QPoint(titles[index].left, height())));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QImage strip(size(), QImage::Format_RGB32);
        strip.fill(palette().window().color());
        const QRgb ink = palette().windowText().color().rgb() | 0xFF000000u;
        const QRgb lit = palette().highlightedText().color().rgb() | 0xFF000000u;
        for (std::size_t i = 0; i < titles.size(); ++i) {
            const Title& t = titles[i];
            const bool open = static_cast<int>(i) == open_;
            if (open) {
                QPainter p(&strip);
                p.fillRect(QRect(t.left, 1, t.right - t.left, height() - 2), palette().highlight());
            }
            if (detail::HasGlyphs(t.text))
                detail::DrawGlyphs(strip, 0, width(), t.left + Gap, (height() - 8) / 2, t.text, open ? lit : ink);
        }
        QPainter(this).drawImage(0, 0, strip);
    }

    void mousePressEvent(QMouseEvent* e) override {
        const int at = TitleAt(e->position().toPoint().x());
        if (at >= 0 && at == open_) titles[static_cast<std::size_t>(at)].menu->hide();
        else if (at >= 0) Open(static_cast<std::size_t>(at));
    }

    // An open menu: the pointer over another title, or Left and Right, go over to it.
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (open_ < 0 || watched != titles[static_cast<std::size_t>(open_)].menu) return false;
        if (e->type() == QEvent::MouseMove) {
            const QPoint here = mapFromGlobal(static_cast<QMouseEvent*>(e)->globalPosition().toPoint());
            const int at = rect().contains(here) ? TitleAt(here.x()) : -1;
            if (at >= 0 && at != open_) Open(static_cast<std::size_t>(at));
        } else if (e->type() == QEvent::MouseButtonPress) {
            // A press on the open menu's own title closes it, as a press on the bar would.
            const QPoint here = mapFromGlobal(static_cast<QMouseEvent*>(e)->globalPosition().toPoint());
            if (rect().contains(here) && TitleAt(here.x()) == open_) {
                titles[static_cast<std::size_t>(open_)].menu->hide();
                return true;
            }
        } else if (e->type() == QEvent::KeyPress) {
            auto* menu = static_cast<QMenu*>(watched);
            const int key = static_cast<QKeyEvent*>(e)->key();
            const int step = key == Qt::Key_Left ? -1 : key == Qt::Key_Right ? 1 : 0;
            // Right on an item with a submenu opens the submenu instead.
            if (step == 0 || (step > 0 && menu->activeAction() && menu->activeAction()->menu())) return false;
            const auto n = static_cast<int>(titles.size());
            Open(static_cast<std::size_t>((open_ + step + n) % n));
            return true;
        }
        return false;
    }

private:
    Fill fill_;
    int open_ = -1;  // the title whose menu is open

    int TitleAt(int x) const {
        for (std::size_t i = 0; i < titles.size(); ++i)
            if (x >= titles[i].left && x < titles[i].right) return static_cast<int>(i);
        return -1;
    }
};

// The strip's accessible interface, for the accessibility factory.
QAccessibleInterface* StripAccessibility(const QString& className, QObject* object);

}  // namespace windowing::detail
