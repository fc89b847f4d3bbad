#pragma once

#include <QListWidget>

// The list of good parts ready to merge. An arrow key selects the item it lands on, also
// when that item already was the current one (the only item, as the focus arrives), and
// Return asks for the merge of the selected items.
class PendingMergeList : public QListWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PendingMergeList)

public:
    explicit PendingMergeList(QWidget *parent = nullptr);

signals:
    void returnPressed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *event) override;

private:
    void keepFrameInView();
};
