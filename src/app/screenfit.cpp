#include "app/screenfit.h"

#include <QApplication>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>

namespace vantelo {
namespace {

// The window manager's frame is unknown before the window is first shown:
// room is kept for a title bar and thin borders.
QMargins estimatedFrame(const QWidget& window) {
    const int title = window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
    return QMargins(4, std::max(title, 24) + 4, 4, 4);
}

// Tab order as the keyboard walks it from the window, focusable widgets only.
QList<QWidget*> tabOrder(QWidget& window) {
    QList<QWidget*> order;
    for (QWidget* next = window.nextInFocusChain(); next != &window && next != nullptr;
         next = next->nextInFocusChain()) {
        if ((next->focusPolicy() & Qt::TabFocus) && !order.contains(next))
            order.append(next);
    }
    return order;
}

}  // namespace

void fitWindowToScreen(QWidget& window) {
    if (const QScreen* screen = window.screen())
        fitWindowToScreen(window, screen->availableGeometry());
}

void fitWindowToScreen(QWidget& window, const QRect& area) {
    // Once scrolled, the window keeps its page.
    if (window.findChild<QScrollArea*>(QStringLiteral("pageScroller"),
                                       Qt::FindDirectChildrenOnly) != nullptr)
        return;
    const QSize content = window.size();
    const QRect room = area.marginsRemoved(estimatedFrame(window));
    if (content.width() <= room.width() && content.height() <= room.height()) {
        window.move(area.center() - QPoint(content.width() / 2, content.height() / 2));
        return;
    }

    // The controls move, as they lie, onto a page that scrolls; the window's
    // own menu bar does not.
    int top = 0;
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("page"));
    page->setFixedSize(content);
    page->setMouseTracking(true);
    const QList<QWidget*> order = tabOrder(window);
    QWidget* focused = window.focusWidget();
    const QList<QWidget*> children = window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    // The menu bar's height is known before anything moves, whichever child
    // comes first.
    for (QWidget* child : children) {
        if (qobject_cast<QMenuBar*>(child) != nullptr)
            top = std::max(top, child->geometry().bottom() + 1);
    }
    for (QWidget* child : children) {
        if (child->isWindow() || qobject_cast<QMenuBar*>(child) != nullptr)
            continue;
        const bool hidden =
            child->isHidden() && child->testAttribute(Qt::WA_WState_ExplicitShowHide);
        const QRect place = child->geometry();
        child->setParent(page);
        child->setGeometry(place.translated(0, -top));
        child->setVisible(!hidden);
    }
    page->setFixedSize(content.width(), content.height() - top);

    auto* scroller = new QScrollArea(&window);
    scroller->setObjectName(QStringLiteral("pageScroller"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidget(page);
    scroller->setWidgetResizable(false);
    scroller->viewport()->setMouseTracking(true);
    scroller->setAutoFillBackground(false);
    scroller->viewport()->setAutoFillBackground(false);
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    // A scroll bar across takes height, and one down takes width.
    const int bar = window.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroller);
    const int pageHeight = page->height();
    QSize size(content.width(), top + pageHeight);
    bool across = size.width() > room.width();
    bool down = size.height() > room.height();
    if (across)
        size.rheight() += bar;
    if (down)
        size.rwidth() += bar;
    across = across || size.width() > room.width();
    if (across && !down && size.height() > room.height())
        size.rwidth() += bar;
    size = size.boundedTo(room.size());
    window.setFixedSize(size);
    scroller->setGeometry(0, top, size.width(), size.height() - top);
    window.move(room.topLeft());
    if (focused != nullptr)
        focused->setFocus();
}

}  // namespace vantelo
