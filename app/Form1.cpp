#include "Form1.h"

#include "FileDialog.h"
#include "FileListBox.h"
#include "FileProbe.h"
#include "Folder.h"
#include "Form1Accessible.h"
#include "GoodPartSplit.h"
#include "MediaScanner.h"
#include "NamingRules.h"
#include "PendingMergeList.h"
#include "PendingMerges.h"
#include "Prompts.h"
#include "Repair.h"
#include "StatusLine.h"
#include "TerminationSignals.h"

#include <QAccessible>
#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QUrl>

namespace {

// The layout is given in twips; at 96 dots per inch a pixel is 15 twips.
QRect twips(int left, int top, int width, int height)
{
    return {left / 15, top / 15, width / 15, height / 15};
}

template <typename Control> Control *place(Control *control, const char *name, const QRect &rect)
{
    control->setObjectName(QLatin1String(name));
    control->setGeometry(rect);
    return control;
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Only files on this machine: a file URL that names another host is no local path.
QStringList localFiles(const QMimeData *data)
{
    QStringList files;
    if (!data)
        return files;
    for (const QUrl &url : data->urls()) {
        const bool onThisMachine
            = url.host().isEmpty() || url.host().compare(u"localhost", Qt::CaseInsensitive) == 0;
        if (url.isLocalFile() && onThisMachine && !url.toLocalFile().isEmpty())
            files << FileProbe::AbsolutePath(url.toLocalFile());
    }
    return files;
}

// The address of a link dragged from a browser: a web page or file, never a local one.
QString webAddress(const QMimeData *data)
{
    if (!data)
        return {};
    for (const QUrl &url : data->urls()) {
        const QString scheme = url.scheme().toLower();
        if ((scheme == u"http" || scheme == u"https") && !url.host().isEmpty())
            return url.toString(QUrl::FullyEncoded);
    }
    return {};
}

} // namespace

// Marks a handler as running for its whole length: a second command started from inside
// one of its yields is ignored, and a close asked for meanwhile happens once it is over.
class Form1::OperationScope
{
public:
    explicit OperationScope(Form1 &form) : m_form(form) { m_form.m_operationRunning = true; }
    ~OperationScope()
    {
        m_form.m_operationRunning = false;
        m_form.m_progress->hide();
        if (m_form.m_closeRequested) {
            m_form.m_closeRequested = false;
            m_form.close();
        }
    }
    OperationScope(const OperationScope &) = delete;
    OperationScope &operator=(const OperationScope &) = delete;

private:
    Form1 &m_form;
};

Form1::Form1(Prompts &prompts, FileDialog &dialog, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint),
      m_prompts(prompts), dlg(dialog)
{
    static const bool accessibilityFactoryInstalled = [] {
        QAccessible::installFactory(&Form1Accessible::factory);
        return true;
    }();
    Q_UNUSED(accessibilityFactoryInstalled)
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Saltwick 0.2"));
    setWindowIcon(QIcon(QStringLiteral(":/saltwick/ladybird.xpm")));
    setFixedSize(380, 288);
    setAcceptDrops(true);
    createControls();
    createFindDamage();
    createFetchRest();
    fitFontToCaptions();
    cmdSplit->setFocus();
}

Form1::~Form1() = default;

void Form1::createControls()
{
    // Creation order is stacking order: labels first, then the frames, then the buttons,
    // boxes and the list in front of them. Label2 and lblOut end up hidden behind.
    Label2 = place(new QLabel(tr("Split size"), this), "Label2", twips(480, 480, 615, 315));
    lblOut = place(new QLabel(tr("File"), this), "lblOut", twips(600, 3000, 4455, 315));

    Frame2 = place(new QGroupBox(tr("1. Copying the good part into a seperate file"), this),
                   "Frame2", twips(240, 120, 5055, 975));
    Label4 = place(new QLabel(tr(" Error offset:"), Frame2), "Label4", twips(1200, 480, 855, 375));
    Label3 = place(new QLabel(tr("2. Resuming the broken part of the file (your job)"), this),
                   "Label3", twips(360, 1200, 3855, 255));
    Frame1 = place(new QGroupBox(tr("3. Merging back with the original file"), this), "Frame1",
                   twips(240, 1560, 4935, 2175));
    // Opaque frames hide the working labels that lie behind them.
    Frame1->setAutoFillBackground(true);
    Frame2->setAutoFillBackground(true);

    Label1
        = place(new StatusLine(tr("No files to split"), this), "Label1", twips(0, 3840, 5505, 435));
    Label1->setAlignment(Qt::AlignCenter);
    QPalette statusColours = Label1->palette();
    statusColours.setColor(QPalette::WindowText, statusColours.color(QPalette::Highlight));
    Label1->setPalette(statusColours);
    m_progress = place(new QProgressBar(this), "progress", twips(0, 4215, 5505, 60));
    m_progress->setRange(0, 1000);
    m_progress->setTextVisible(false);
    m_progress->hide();
    m_progress->setAccessibleName(tr("Copy progress"));

    cmdBrowse = place(new QPushButton(tr("Browse"), this), "cmdBrowse", twips(360, 480, 975, 435));
    txtSize = place(new QLineEdit(this), "txtSize", twips(2400, 600, 1575, 255));
    cmdSplit = place(new QPushButton(tr("Split"), this), "cmdSplit", twips(4080, 480, 1095, 435));
    List1 = place(new PendingMergeList(this), "List1", twips(360, 1920, 3375, 1620));
    cmdMerge
        = place(new QPushButton(tr("Merge Back"), this), "cmdMerge", twips(3960, 2160, 1095, 555));
    cmdMerge->setEnabled(false);

    // Screen readers name the size box by its caption and the list by what it holds.
    txtSize->setAccessibleName(Label4->text().trimmed());
    Label4->setBuddy(txtSize);
    List1->setAccessibleName(tr("Good parts ready to merge"));
    // Return presses a focused button, as Space does; in the size box it presses Split.
    for (QPushButton *button : {cmdBrowse, cmdSplit, cmdMerge})
        button->setAutoDefault(true);
    connect(txtSize, &QLineEdit::returnPressed, cmdSplit, &QPushButton::click);
    // In the list, Return merges what is selected there.
    connect(List1, &PendingMergeList::returnPressed, cmdMerge, &QPushButton::click);

    // Working controls beyond the right edge of a window that cannot grow.
    txtFile = place(new QLineEdit(this), "txtFile", twips(6720, 3240, 2415, 315));
    File1 = place(new FileListBox(this), "File1", twips(6480, 3360, 2415, 1650));
    Dir1 = place(new QListWidget(this), "Dir1", twips(6360, 3600, 2775, 1215));
    Dir1->addItems(QDir::current().entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name));
    txt = place(new QLineEdit(this), "txt", twips(6360, 4200, 2415, 1635));
    const QList<QWidget *> workingControls = {txtFile, File1, Dir1, txt};
    for (QWidget *working : workingControls)
        working->setFocusPolicy(Qt::NoFocus);
    // Screen readers see none of the working controls, nor the labels hidden behind others.
    for (QWidget *working : workingControls + QList<QWidget *>{Label2, lblOut})
        Form1Accessible::keepOut(working);

    setTabOrder(cmdSplit, cmdBrowse);
    setTabOrder(cmdBrowse, txtSize);
    setTabOrder(txtSize, cmdMerge);
    setTabOrder(cmdMerge, List1);

    connect(cmdBrowse, &QPushButton::clicked, this, &Form1::cmdBrowse_Click);
    connect(cmdSplit, &QPushButton::clicked, this, &Form1::cmdSplit_Click);
    connect(cmdMerge, &QPushButton::clicked, this, &Form1::cmdMerge_Click);

    // The eleven controls that hand a drop on to the window, the list through the area
    // that shows its items.
    const QList<QWidget *> dropTargets
        = {cmdBrowse, cmdSplit, cmdMerge,          Frame1, Frame2, Label1, Label2, Label3,
           Label4,    List1,    List1->viewport(), txtSize};
    for (QWidget *control : dropTargets)
        forwardDropsFrom(control);
}

void Form1::createFindDamage()
{
    m_findDamage = new QAction(tr("Find the damage"), this);
    m_findDamage->setObjectName(QStringLiteral("actFindDamage"));
    m_findDamage->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    // On the window, so that the shortcut works whichever control has the focus.
    addAction(m_findDamage);
    connect(m_findDamage, &QAction::triggered, this, &Form1::findDamage);

    txtSize->setToolTip(
        tr("The error offset or the size of the good part; Ctrl+F finds the damage itself"));
    txtSize->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(txtSize, &QWidget::customContextMenuRequested, this, &Form1::showSizeBoxMenu);
}

void Form1::createFetchRest()
{
    m_fetchRest = new QAction(tr("Fetch the rest from a web address..."), this);
    m_fetchRest->setObjectName(QStringLiteral("actFetchRest"));
    List1->setContextMenuPolicy(Qt::ActionsContextMenu);
    List1->addAction(m_fetchRest);
    connect(m_fetchRest, &QAction::triggered, this, [this] { fetchRest(); });
}

QString Form1::selectedGoodPart() const
{
    const QList<QListWidgetItem *> selected = List1->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

void Form1::showSizeBoxMenu(const QPoint &position)
{
    QMenu *menu = txtSize->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    menu->addAction(m_findDamage);
    menu->popup(txtSize->mapToGlobal(position));
}

// The captions were laid out for a narrow system font; pick the largest size of the
// default font at which every one of them fits its control.
void Form1::fitFontToCaptions()
{
    struct Caption
    {
        QWidget *control;
        QString text;
        int padding;
    };
    QList<Caption> captions = {
        {cmdBrowse, cmdBrowse->text(), 12}, {cmdSplit, cmdSplit->text(), 12},
        {cmdMerge, cmdMerge->text(), 12},   {Frame1, Frame1->title(), 20},
        {Frame2, Frame2->title(), 20},      {Label3, Label3->text(), 0},
    };
    // " Error offset:" wraps between its words, so each word must fit on its line.
    for (const QString &word : Label4->text().split(u' ', Qt::SkipEmptyParts))
        captions << Caption{Label4, word, 0};
    QFont candidate = font();
    int pixels = QFontInfo(candidate).pixelSize();
    for (; pixels > 9; --pixels) {
        candidate.setPixelSize(pixels);
        const QFontMetrics metrics(candidate);
        bool fits = metrics.height() <= Label3->height();
        for (const Caption &caption : captions)
            fits = fits
                   && metrics.horizontalAdvance(caption.text) + caption.padding
                          <= caption.control->width();
        if (fits)
            break;
    }
    candidate.setPixelSize(pixels);
    setFont(candidate);
    // " Error offset:" wraps onto its two lines the way it always has.
    Label4->setWordWrap(true);
}

void Form1::forwardDropsFrom(QWidget *control)
{
    control->setAcceptDrops(true);
    control->installEventFilter(this);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDropEvent *>(event);
        if (acceptsDrag(drag))
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop:
        // A control never takes the data in itself (the size box would paste the path).
        Form_OLEDragDrop(static_cast<QDropEvent *>(event));
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

bool Form1::acceptsDrag(const QDropEvent *event) const
{
    if (m_operationRunning)
        return false;
    // A link from a browser is the address to complete the selected good part from.
    return !localFiles(event->mimeData()).isEmpty()
           || (!webAddress(event->mimeData()).isEmpty() && !selectedGoodPart().isEmpty());
}

void Form1::dragEnterEvent(QDragEnterEvent *event)
{
    if (acceptsDrag(event))
        event->acceptProposedAction();
}

void Form1::dragMoveEvent(QDragMoveEvent *event)
{
    if (acceptsDrag(event))
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent *event)
{
    Form_OLEDragDrop(event);
}

void Form1::closeEvent(QCloseEvent *event)
{
    if (m_operationRunning) {
        // Ending the program in the middle of a copy would leave it half done.
        if (!m_closeRequested)
            m_closeAsked.start();
        m_closeRequested = true;
        event->ignore();
        return;
    }
    event->accept();
}

void Form1::Form_Load(const QString &commandLine)
{
    File1->setVisible(false);
    if (commandLine.isEmpty()) {
        Label1->setText(tr("No file loaded."));
        removeLeftoversIn(QString());
        // The folder's list leaves out names that are not valid text; say so for good parts.
        for (const QString &name : FileProbe::NamesThatDoNotDecode(QString())) {
            if (name.endsWith(QStringLiteral("qqq"), Qt::CaseInsensitive))
                Label1->setText(FileProbe::CannotHandleMessage(name));
        }
        for (int i = 0; i < File1->count(); ++i) {
            const QString name = File1->item(i)->text();
            if (PendingMerges::IsPendingMerge(name))
                AddPendingMerge(name);
        }
        return;
    }

    // The length comes from the path as given; the long form is only for showing.
    const Expected<QString> absolute = FileProbe::MakeAbsolute(commandLine);
    if (!absolute) {
        txtSize->clear();
        Label1->setText(absolute.failure().description());
        return;
    }
    const QString path = *absolute;
    if (!acceptsName(path))
        return;
    removeLeftoversIn(NamingRules::SplitFolderAndName(path).folder);
    if (!showFileLength(path))
        return;
    // "Open with" on a good part lists it, as a drop does.
    if (PendingMerges::IsPendingMerge(path))
        AddPendingMerge(path);
    txtFile->setText(GetLongFileName(path));
    Label1->setText(shown(txtFile->text()));
    explainNotListed(path);
}

void Form1::explainNotListed(const QString &goodPart)
{
    if (!NamingRules::HasGoodPartName(goodPart))
        return;
    if (const Expected<void> ready = PendingMerges::CheckCompanion(goodPart); !ready)
        Label1->setText(ready.failure().description());
}

bool Form1::acceptsName(const QString &path)
{
    if (FileProbe::NameCanBeHandled(path))
        return true;
    // Acting on the look-alike the text names would be acting on another file.
    txtFile->clear();
    txtSize->clear();
    Label1->setText(FileProbe::CannotHandleMessage(path));
    return false;
}

void Form1::removeLeftoversIn(const QString &folderPart)
{
    Folder folder;
    if (folder.open(folderPart))
        folder.removeLeftoverWorkingFiles();
    const QStringList givenBack = Repair::giveBackCutShortMerges(folderPart);
    if (!givenBack.isEmpty())
        m_prompts.showMessage(givenBack.join(u'\n'));
}

QString Form1::GetLongFileName(const QString &shortFileName) const
{
    const QString path = FileProbe::AbsolutePath(shortFileName);
    if (path.isEmpty())
        return {};
    QString longPath;
    QString parent = QStringLiteral("/");
    const QStringList components = path.split(u'/', Qt::SkipEmptyParts);
    for (const QString &component : components) {
        const QString prefix = parent + component;
        if (!FileProbe::Exists(prefix))
            return {};
        const QStringList entries = QDir(parent).entryList(QDir::AllEntries | QDir::Hidden
                                                           | QDir::System | QDir::NoDotAndDotDot);
        QString stored = component;
        if (!entries.contains(component)) {
            // On a file system that ignores letter case, the entry keeps its own spelling.
            const QStringList matches = entries.filter(QRegularExpression(
                QStringLiteral("^%1$").arg(QRegularExpression::escape(component)),
                QRegularExpression::CaseInsensitiveOption));
            if (matches.size() == 1)
                stored = matches.first();
        }
        longPath += u'/' + stored;
        parent = longPath + u'/';
    }
    return longPath.isEmpty() ? QStringLiteral("/") : longPath;
}

void Form1::AddPendingMerge(const QString &goodPart)
{
    List1->addItem(goodPart);
    cmdMerge->setEnabled(true);
}

bool Form1::showFileLength(const QString &path)
{
    const Expected<qint64> length = FileProbe::MeasureFile(path);
    if (!length) {
        txtSize->clear();
        Label1->setText(length.failure().description());
        return false;
    }
    txtSize->setText(QString::number(*length));
    return true;
}

void Form1::loadFile(const QString &path)
{
    txtFile->setText(path);
    Label1->setText(shown(path));
    showFileLength(path);
}

void Form1::cmdBrowse_Click()
{
    if (m_operationRunning)
        return;
    OperationScope running(*this);
    const QString chosen = dlg.chooseFileToOpen();
    if (chosen.isEmpty())
        return;
    LoadedTitle = FileProbe::AbsolutePath(chosen);
    if (!acceptsName(LoadedTitle))
        return;
    // A good part chosen here is listed, as a dropped or named one is.
    if (PendingMerges::IsPendingMerge(LoadedTitle))
        AddPendingMerge(LoadedTitle);
    loadFile(LoadedTitle);
}

void Form1::Form_OLEDragDrop(QDropEvent *event)
{
    const QStringList files = localFiles(event->mimeData());
    const QString address = webAddress(event->mimeData());
    if (!m_operationRunning && files.isEmpty() && !address.isEmpty()
        && !selectedGoodPart().isEmpty()) {
        event->acceptProposedAction();
        fetchRest(address);
        return;
    }
    if (m_operationRunning || files.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    const QString path = files.last();
    if (!acceptsName(path))
        return;
    if (PendingMerges::IsPendingMerge(path))
        AddPendingMerge(path);
    loadFile(path);
    explainNotListed(path);
}

void Form1::showFailure(const RepairFailure &failure)
{
    m_prompts.showMessage(failure.message());
}

void Form1::yieldToWindow()
{
    emit copyYielded();
    QCoreApplication::processEvents();
}

void Form1::showProgress(qint64 done, qint64 total)
{
    m_progress->show();
    m_progress->setValue(total > 0 ? int(done * 1000 / total) : 1000);
}

void Form1::cmdSplit_Click()
{
    if (m_operationRunning)
        return;
    OperationScope running(*this);

    Label1->setText(tr("Making a new file, please wait..."));
    const QString source = txtFile->text();
    RepairSteps steps;
    steps.hooks = copyHooks();
    steps.sizeRead = [this](const QString &sizeText) {
        if (sizeText != txtSize->text())
            txtSize->setText(sizeText);
        if (txtFile->text().isEmpty())
            Label1->setText(tr("No file to load"));
    };
    steps.checked = [this, &source](const Expected<void> &verdict) {
        if (!verdict && verdict.failure().reason() == RepairFailure::Reason::NameTooShort)
            return;
        lblOut->setText(shown(source));
        lblOut->repaint();
        File1->setFolder(NamingRules::SplitFolderAndName(source).folder);
        File1->setVisible(true);
        txt->setVisible(false);
    };
    // What stands there would be given up: Return keeps it.
    steps.agree = [this](const RepairFailure &question) {
        if (question.reason() == RepairFailure::Reason::ReplacesForGood)
            return m_prompts.askYesNo(question.description() + u' ' + tr("Replace it anyway?"),
                                      Prompts::Answer::No);
        return m_prompts.askYesNo(GoodPartSplit::consentQuestion(), Prompts::Answer::No);
    };
    Repair repair(ChunkBuffer);
    const Expected<QString> goodPart = repair.split(source, txtSize->text(), steps);
    FileLength = repair.fileLength();
    if (goodPart) {
        File1->refresh();
        m_prompts.beep();
        Label1->setText(tr("Done"));
        return;
    }

    using Reason = RepairFailure::Reason;
    switch (goodPart.failure().reason()) {
    case Reason::Interrupted:
        return;
    case Reason::NeedsConsent:
    case Reason::ReplacesForGood:
        lblOut->setText(tr("Output Directory"));
        return;
    case Reason::IncorrectSize:
    case Reason::SizeTooLarge:
        m_prompts.showMessage(goodPart.failure().message());
        txtSize->setFocus();
        return;
    case Reason::SourceMissing:
    case Reason::SourceIsGoodPart:
        m_prompts.showMessage(goodPart.failure().message());
        cmdBrowse->setFocus();
        return;
    default:
        m_prompts.showMessage(goodPart.failure().message());
        return;
    }
}

CopyHooks Form1::copyHooks()
{
    return {[this] { yieldToWindow(); },
            [this](qint64 done, qint64 total) { showProgress(done, total); },
            &TerminationSignals::received};
}

// A scan only reads, so it may end anywhere. A close waits a moment for one about to end,
// then ends it; the termination signals end it at once.
bool Form1::scanStopAsked() const
{
    const qint64 closeWaitsMilliseconds = 250;
    return TerminationSignals::received()
           || (m_closeRequested && m_closeAsked.hasExpired(closeWaitsMilliseconds));
}

RepairSteps Form1::mergeSteps()
{
    RepairSteps steps;
    steps.hooks = copyHooks();
    // Bytes that do not continue the good part give a fixed file that is garbage from the
    // join on: Return leaves the good part as it is.
    steps.agree = [this](const RepairFailure &question) {
        return m_prompts.askYesNo(question.description() + u' ' + tr("Merge anyway?"),
                                  Prompts::Answer::No);
    };
    return steps;
}

void Form1::cmdMerge_Click()
{
    if (m_operationRunning)
        return;
    OperationScope running(*this);

    const RepairSteps steps = mergeSteps();
    Repair repair(ChunkBuffer);
    const int count = List1->count();
    for (int i = 0; i < count; ++i) {
        if (!List1->item(i)->isSelected())
            continue;
        const QString goodPart = List1->item(i)->text();
        Label1->setText(tr("Merging good parts. Please wait..."));
        yieldToWindow();

        const Expected<QString> fixed = repair.merge(goodPart, steps);
        FileLength = repair.fileLength();
        if (!fixed) {
            using Reason = RepairFailure::Reason;
            const Reason reason = fixed.failure().reason();
            // A question answered No needs no message.
            const bool declined = reason == Reason::JoinDiffers || reason == Reason::DamagedToo;
            if (reason == Reason::CompanionTooShort)
                m_prompts.showMessage(fixed.failure().description());
            else if (reason != Reason::Interrupted && !declined)
                showFailure(fixed.failure());
            return;
        }
        Label1->setText(tr("Merge complete. %1 is the fixed file.").arg(shown(*fixed)));
    }
}

void Form1::findDamage()
{
    if (m_operationRunning)
        return;
    OperationScope running(*this);

    const QString path = txtFile->text();
    Label1->setText(tr("Looking for the damage, please wait..."));
    const CopyHooks hooks{[this] { yieldToWindow(); },
                          [this](qint64 done, qint64 total) { showProgress(done, total); },
                          [this] { return scanStopAsked(); }};
    Repair repair(ChunkBuffer);
    const Expected<qint64> damage = repair.findDamage(path, hooks);
    if (damage) {
        txtSize->setText(MediaScanner::DamageLine(*damage));
        txtSize->setCursorPosition(0);
        // Grouped with commas whatever the language, the way the number was promised.
        Label1->setText(tr("Damage found at byte %1; press Split to keep the part before it")
                            .arg(QLocale(QLocale::English).toString(*damage)));
        return;
    }
    switch (damage.failure().reason()) {
    case RepairFailure::Reason::Interrupted:
        break; // the window closes, or the program ends, once the handler is over
    case RepairFailure::Reason::SourceMissing:
        Label1->setText(tr("No file loaded."));
        break;
    case RepairFailure::Reason::NoDamageFound:
    case RepairFailure::Reason::NotReadable:
        Label1->setText(damage.failure().description());
        break;
    default:
        Label1->setText(shown(path));
        showFailure(damage.failure());
        break;
    }
}

void Form1::fetchRest(const QString &address)
{
    if (m_operationRunning)
        return;
    const QString goodPart = selectedGoodPart();
    if (goodPart.isEmpty())
        return;
    const QString from
        = address.isEmpty() ? m_prompts.askText(
              tr("The web address to fetch the rest of %1 from:").arg(shown(goodPart)))
                            : address;
    if (from.isEmpty())
        return;
    OperationScope running(*this);

    Label1->setText(tr("Fetching the rest of %1. Please wait...").arg(shown(goodPart)));
    RepairSteps steps = mergeSteps();
    Repair repair(ChunkBuffer);
    FetchChoices choices;
    Expected<QString> fixed = repair.fetch(goodPart, from, choices, steps);
    // The whole file costs its whole length in time and traffic: Return declines.
    if (!fixed && fixed.failure().reason() == RepairFailure::Reason::RangesIgnored
        && m_prompts.askYesNo(fixed.failure().description() + u' '
                                  + tr("Let the whole file stream through? Only the missing "
                                       "bytes are kept."),
                              Prompts::Answer::No)) {
        choices.wholeAllowed = true;
        fixed = repair.fetch(goodPart, from, choices, steps);
    }
    FileLength = repair.fileLength();
    if (!fixed) {
        using Reason = RepairFailure::Reason;
        const Reason reason = fixed.failure().reason();
        Label1->setText(shown(goodPart));
        if (reason != Reason::Interrupted && reason != Reason::JoinDiffers
            && reason != Reason::RangesIgnored)
            showFailure(fixed.failure());
        return;
    }
    Label1->setText(tr("Merge complete. %1 is the fixed file.").arg(shown(*fixed)));
}
