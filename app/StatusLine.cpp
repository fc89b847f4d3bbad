#include "StatusLine.h"

#include <QAccessible>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

StatusLine::StatusLine(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setWordWrap(false);
}

void StatusLine::setText(const QString &text)
{
    const QString before = QLabel::text();
    if (text == before)
        return;
    // Tells of the new name itself.
    QLabel::setText(text);
    // Screen readers speak a status bar's new text, not a new name.
    QAccessibleTextUpdateEvent changed(this, 0, before, text);
    QAccessible::updateAccessibility(&changed);
}

QString StatusLine::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

bool StatusLine::event(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QLabel::event(event);
    // The whole text, but only when the line cannot show it all.
    const QString shown = shownText();
    if (shown != text())
        QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), text(), this);
    else
        QToolTip::hideText();
    return true;
}

void StatusLine::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()), palette(), isEnabled(),
                          shownText(), foregroundRole());
}
