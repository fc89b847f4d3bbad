#pragma once

#include <QAccessibleWidget>

// What a screen reader sees of the window: every control the user sees, none of the working
// controls that hold state for the operations off screen or behind other controls.
class Form1Accessible : public QAccessibleWidget
{
public:
    explicit Form1Accessible(QWidget *form);

    // Leaves a working control out of what screen readers see.
    static void keepOut(QWidget *control);
    // For QAccessible::installFactory: the window and its status line.
    static QAccessibleInterface *factory(const QString &className, QObject *object);

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;

private:
    QList<QWidget *> shownControls() const;
};
