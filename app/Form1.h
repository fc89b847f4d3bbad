#pragma once

#include "CopyHooks.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QWidget>

class FileDialog;
class FileListBox;
class Prompts;
class QAction;
struct RepairSteps;
class RepairFailure;
class QDropEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class PendingMergeList;
class QProgressBar;
class StatusLine;
class QPushButton;

// The one window: load a damaged file, split off its good part, merge it back once the
// file was fetched again. Handlers read the controls, call the repair code and write the
// controls; the copies hand control back to the window between pieces.
class Form1 : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form1)

public:
    Form1(Prompts &prompts, FileDialog &dlg, QWidget *parent = nullptr);
    ~Form1() override;

    // Runs once before the window is first shown, with the command line's text.
    void Form_Load(const QString &commandLine);

    // The path with every component in the letter case the file system stores;
    // empty when a component does not exist.
    QString GetLongFileName(const QString &shortFileName) const;

    void AddPendingMerge(const QString &goodPart);

    bool operationRunning() const { return m_operationRunning; }
    QString loadedTitle() const { return LoadedTitle; }
    qint64 fileLength() const { return FileLength; }
    const QByteArray &chunkBuffer() const { return ChunkBuffer; }

public slots:
    void cmdBrowse_Click();
    void cmdSplit_Click();
    void cmdMerge_Click();
    // Scans the loaded file for the first damage and puts its offset into the size box.
    void findDamage();
    // Completes the selected good part from a web address, asked for when none is given.
    void fetchRest(const QString &address = QString());
    void Form_OLEDragDrop(QDropEvent *event);

signals:
    // Emitted each time a running copy lets the window process its events.
    void copyYielded();

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class OperationScope;

    void createControls();
    void createFindDamage();
    void createFetchRest();
    QString selectedGoodPart() const;
    void showSizeBoxMenu(const QPoint &position);
    void fitFontToCaptions();
    void forwardDropsFrom(QWidget *control);
    void loadFile(const QString &path);
    // A name that does not survive decoding is refused where it enters, with a message.
    bool acceptsName(const QString &path);
    // Working files a killed Saltwick left in that folder.
    // Working files of a killed Saltwick go, and good parts a merge cut short are given
    // back (and the user told so), before anything else happens in that folder.
    void removeLeftoversIn(const QString &folderPart);
    // A good part that is left out of the list says why on the status line.
    void explainNotListed(const QString &goodPart);
    // The file's length into the size box, or why it cannot be read into the status line.
    bool showFileLength(const QString &path);
    void showFailure(const RepairFailure &failure);
    void yieldToWindow();
    void showProgress(qint64 done, qint64 total);
    CopyHooks copyHooks();
    // The hooks and the join question that Merge Back and a fetch share.
    RepairSteps mergeSteps();
    // Whether a scan should end: the program was asked to end, or the window to close.
    bool scanStopAsked() const;
    bool acceptsDrag(const QDropEvent *event) const;

    Prompts &m_prompts;
    FileDialog &dlg;

    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QPushButton *cmdBrowse = nullptr;
    QPushButton *cmdSplit = nullptr;
    QPushButton *cmdMerge = nullptr;
    StatusLine *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *lblOut = nullptr;
    QLineEdit *txtSize = nullptr;
    QLineEdit *txtFile = nullptr;
    QLineEdit *txt = nullptr;
    PendingMergeList *List1 = nullptr;
    FileListBox *File1 = nullptr;
    QListWidget *Dir1 = nullptr;
    QProgressBar *m_progress = nullptr;
    QAction *m_findDamage = nullptr;
    QAction *m_fetchRest = nullptr;

    QString LoadedTitle;
    qint64 FileLength = 0;
    QByteArray ChunkBuffer;

    bool m_operationRunning = false;
    bool m_closeRequested = false;
    QElapsedTimer m_closeAsked; // since the first close asked during the running handler
};
