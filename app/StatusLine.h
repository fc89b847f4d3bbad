#pragma once

#include <QLabel>

// The status line: one line, with a text too long for it shortened in the middle, so that a
// path keeps its start and its file name. text(), the tooltip and what a screen reader
// reads are always the whole text; screen readers see a status bar, and hear each new text.
class StatusLine : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusLine)

public:
    explicit StatusLine(const QString &text, QWidget *parent = nullptr);

    // Hides QLabel::setText, so that every status the window shows is announced.
    void setText(const QString &text);
    // The text as drawn.
    QString shownText() const;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};
