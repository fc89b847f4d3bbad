#include "StatusLineAccessible.h"

#include "StatusLine.h"

StatusLineAccessible::StatusLineAccessible(StatusLine *line)
    : QAccessibleWidget(line, QAccessible::StatusBar)
{
}

QString StatusLineAccessible::status() const
{
    return static_cast<const StatusLine *>(widget())->text();
}

QString StatusLineAccessible::text(QAccessible::Text kind) const
{
    if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
        return status();
    return QAccessibleWidget::text(kind);
}

void *StatusLineAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

void StatusLineAccessible::selection(int, int *startOffset, int *endOffset) const
{
    *startOffset = 0;
    *endOffset = 0;
}

QString StatusLineAccessible::text(int startOffset, int endOffset) const
{
    const QString whole = status();
    const int start = qBound(0, startOffset, int(whole.size()));
    const int end = endOffset < 0 ? int(whole.size()) : qBound(start, endOffset, int(whole.size()));
    return whole.mid(start, end - start);
}

int StatusLineAccessible::characterCount() const
{
    return int(status().size());
}

QString StatusLineAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    // No attributes: one run over the whole text.
    Q_UNUSED(offset)
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}
