#include "PendingMergeList.h"

#include <QKeyEvent>

#include <cmath>

PendingMergeList::PendingMergeList(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(false);
}

void PendingMergeList::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && modifiers == Qt::NoModifier) {
        emit returnPressed();
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // Qt selects only when the current item changes; a key that stays on the item the
        // focus made current would select nothing.
        if (currentItem() && !currentItem()->isSelected())
            setCurrentItem(currentItem(), QItemSelectionModel::ClearAndSelect);
        break;
    default:
        break;
    }
}

void PendingMergeList::showEvent(QShowEvent *event)
{
    QListWidget::showEvent(event);
    keepFrameInView();
}

bool PendingMergeList::event(QEvent *event)
{
    // Moved to a screen of another scale.
    if (event->type() == QEvent::ScreenChangeInternal)
        keepFrameInView();
    return QListWidget::event(event);
}

// At a scale that is no whole number (a font DPI of 120 or 144) the list's edges fall between
// device pixels, and the item area, drawn over the frame, covers the frame's bottom line. One
// logical pixel less for the item area keeps the frame whole; at whole scales nothing moves.
void PendingMergeList::keepFrameInView()
{
    const qreal ratio = devicePixelRatioF();
    const bool fractional = std::abs(ratio - std::round(ratio)) > 0.001;
    setViewportMargins(0, 0, 0, fractional ? 1 : 0);
}
