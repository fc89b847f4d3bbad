#pragma once

#include "Form1.h"
#include "ScriptedFileDialog.h"
#include "ScriptedPrompts.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

// The window with scripted prompts and dialog, and short ways to reach its controls.
class TestWindow
{
public:
    TestWindow() = default;
    TestWindow(const TestWindow &) = delete;
    TestWindow &operator=(const TestWindow &) = delete;

    template <typename T = QWidget> T *get(const char *name)
    {
        T *found = form.findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }

    void click(const char *button) { QTest::mouseClick(get<QPushButton>(button), Qt::LeftButton); }
    QString status() { return get<QLabel>("Label1")->text(); }
    QString sizeBox() { return get<QLineEdit>("txtSize")->text(); }
    void setSizeBox(const QString &text) { get<QLineEdit>("txtSize")->setText(text); }
    QString fileBox() { return get<QLineEdit>("txtFile")->text(); }
    QString focused() { return form.focusWidget() ? form.focusWidget()->objectName() : QString(); }

    QStringList listed()
    {
        QStringList items;
        auto *list = get<QListWidget>("List1");
        for (int i = 0; i < list->count(); ++i)
            items << list->item(i)->text();
        return items;
    }

    // Shortcuts such as Ctrl+F reach only the active window.
    bool showActive()
    {
        form.show();
        form.activateWindow();
        return QTest::qWaitForWindowActive(&form);
    }

    // What a user might try while the window is busy: every command, a drop of `other`
    // (which the dialog would also choose) and a close. True when the window closed at once.
    bool tryEveryCommandAndClose(const QString &other)
    {
        dialog.choices = {other};
        click("cmdSplit");
        click("cmdMerge");
        click("cmdBrowse");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(other)});
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form, &drop);
        form.close();
        return !form.isVisible();
    }

    ScriptedPrompts prompts;
    ScriptedFileDialog dialog;
    Form1 form{prompts, dialog};
};

// Start-up and bare list items look at the current folder; a test that needs one works in
// its own and gives the old one back.
class CurrentFolder
{
public:
    explicit CurrentFolder(const QString &path) : m_previous(QDir::currentPath())
    {
        QDir::setCurrent(path);
    }
    ~CurrentFolder() { QDir::setCurrent(m_previous); }
    CurrentFolder(const CurrentFolder &) = delete;
    CurrentFolder &operator=(const CurrentFolder &) = delete;

private:
    QString m_previous;
};

// Sends a drag and, when the target takes it, the drop, as the platform would.
inline bool SendDrop(QWidget *target, const QMimeData &data)
{
    const QPoint point = target->rect().center();
    QDragEnterEvent enter(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    if (!enter.isAccepted() || !move.isAccepted())
        return false;
    QDropEvent dropped(QPointF(point), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
    return true;
}
