#include "Form1Accessible.h"

#include "StatusLine.h"
#include "StatusLineAccessible.h"

#include <QWidget>

namespace {

const char KeptOut[] = "saltwickKeptOutOfAccessibility";

} // namespace

Form1Accessible::Form1Accessible(QWidget *form) : QAccessibleWidget(form, QAccessible::Window) {}

void Form1Accessible::keepOut(QWidget *control)
{
    control->setProperty(KeptOut, true);
}

QAccessibleInterface *Form1Accessible::factory(const QString &className, QObject *object)
{
    if (className == QLatin1String("Form1") && object && object->isWidgetType())
        return new Form1Accessible(static_cast<QWidget *>(object));
    if (className == QLatin1String("StatusLine") && object && object->isWidgetType())
        return new StatusLineAccessible(static_cast<StatusLine *>(object));
    return nullptr;
}

QList<QWidget *> Form1Accessible::shownControls() const
{
    QList<QWidget *> controls;
    for (QObject *child : widget()->children()) {
        auto *control = qobject_cast<QWidget *>(child);
        if (control && !control->isWindow() && !control->property(KeptOut).toBool())
            controls << control;
    }
    return controls;
}

int Form1Accessible::childCount() const
{
    return int(shownControls().size());
}

QAccessibleInterface *Form1Accessible::child(int index) const
{
    const QList<QWidget *> controls = shownControls();
    if (index < 0 || index >= controls.size())
        return nullptr;
    return QAccessible::queryAccessibleInterface(controls.at(index));
}

int Form1Accessible::indexOfChild(const QAccessibleInterface *child) const
{
    if (!child)
        return -1;
    return int(shownControls().indexOf(qobject_cast<QWidget *>(child->object())));
}
