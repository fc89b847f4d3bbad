#pragma once

#include <QAccessibleWidget>

class StatusLine;

// What a screen reader sees of the status line: a status bar whose name and text are the
// whole status, so that a change of the status is spoken, and found by a screen reader's
// command that reads the status bar.
class StatusLineAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit StatusLineAccessible(StatusLine *line);

    QString text(QAccessible::Text kind) const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    // The status is read, never edited or selected.
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

private:
    QString status() const;
};
