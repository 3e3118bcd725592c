#include "mainwindow/frmRestore.h"

#include "backup/Catalog.h"
#include "backup/Driver.h"
#include "backup/KeptVersions.h"
#include "backup/Restore.h"
#include "platform/Dialogs.h"
#include "platform/FoldersOnDisk.h"
#include "report/ReportHost.h"
#include "report/StrProc.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vnt {

namespace {

const QString Title = QStringLiteral("Restore files");
constexpr int PathRole = Qt::UserRole;
constexpr int FolderRole = Qt::UserRole + 1;
constexpr int ReadRole = Qt::UserRole + 2;

QString LocalTime(qint64 secondsSinceEpoch) {
    return QDateTime::fromSecsSinceEpoch(secondsSinceEpoch)
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// A run's start as the window names runs.
QString RunTime(qint64 msSinceEpoch) {
    return QDateTime::fromMSecsSinceEpoch(msSinceEpoch)
        .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

} // namespace

frmRestore::frmRestore(const Setup& setupIn, Dialogs& dialogsIn, RestoreOwner ownerIn,
                       QWidget* parent)
    : QDialog(parent), setup(setupIn), dialogs(dialogsIn), owner(ownerIn),
      catalog(std::make_unique<CatalogReader>()) {
    setObjectName(QStringLiteral("frmRestore"));
    setWindowTitle(Title);
    setSizeGripEnabled(true);

    lblTarget = new QLabel(QStringLiteral("Backup in ") + setup.targetFolder, this);
    lblTarget->setWordWrap(true);

    tvwFiles = new QTreeWidget(this);
    tvwFiles->setObjectName(QStringLiteral("tvwFiles"));
    tvwFiles->setHeaderHidden(true);
    tvwFiles->setUniformRowHeights(true); // fast with many thousands of rows
    auto* lblFiles = new QLabel(QStringLiteral("&Files and folders in the backup:"), this);
    lblFiles->setBuddy(tvwFiles);

    lvwVersions = new QTreeWidget(this);
    lvwVersions->setObjectName(QStringLiteral("lvwVersions"));
    lvwVersions->setRootIsDecorated(false);
    lvwVersions->setHeaderLabels(
        {QStringLiteral("Version"), QStringLiteral("Modified"), QStringLiteral("Size")});
    lvwVersions->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* lblVersions = new QLabel(QStringLiteral("&Versions of the chosen file:"), this);
    lblVersions->setBuddy(lvwVersions);

    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(lblFiles);
    leftLayout->addWidget(tvwFiles);
    auto* right = new QWidget(this);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(lblVersions);
    rightLayout->addWidget(lvwVersions);
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(left);
    split->addWidget(right);
    split->setChildrenCollapsible(false);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);

    cboAsOf = new QComboBox(this);
    cboAsOf->setObjectName(QStringLiteral("cboAsOf"));
    cboAsOf->addItem(QStringLiteral("Latest backup"));
    auto* lblAsOf = new QLabel(QStringLiteral("&As of:"), this);
    lblAsOf->setBuddy(cboAsOf);
    lblHistory = new QLabel(this);
    lblHistory->setWordWrap(true);
    lblHistory->hide();
    lblLastBackup = new QLabel(this);
    lblLastBackup->setObjectName(QStringLiteral("lblLastBackup"));
    lblLastBackup->setWordWrap(true);
    lblLastBackup->hide();
    if (catalog->Open(setup.targetFolder)) {
        if (const std::optional<CatalogRun> last = catalog->LastRun()) {
            lblLastBackup->setText(QStringLiteral("Last backup: ") + RunTime(last->startedMs) +
                                   QStringLiteral(", ") + RunResultText(*last));
            lblLastBackup->show();
        }
        runs = catalog->Runs();
        for (const CatalogRun& run : runs)
            cboAsOf->addItem(QStringLiteral("As it was after the run of ") +
                             RunTime(run.startedMs));
    } else {
        lblHistory->setText(QStringLiteral("The backup's history could not be read (") +
                            catalog->Problem() +
                            QStringLiteral("), so only the latest backup can be restored."));
        lblHistory->show();
    }

    auto* destinationBox = new QGroupBox(QStringLiteral("&Destination"), this);
    optOwnPlace = new QRadioButton(QStringLiteral("To their own place"), destinationBox);
    optOwnPlace->setToolTip(setup.sourceFolder);
    optOwnPlace->setChecked(true);
    optOtherFolder = new QRadioButton(QStringLiteral("Into another folder..."), destinationBox);
    lblDestination = new QLabel(setup.sourceFolder, destinationBox);
    lblDestination->setWordWrap(true);
    auto* destinationLayout = new QVBoxLayout(destinationBox);
    destinationLayout->addWidget(optOwnPlace);
    destinationLayout->addWidget(optOtherFolder);
    destinationLayout->addWidget(lblDestination);

    chkReplace = new QCheckBox(
        QStringLiteral("Re&place files that differ (each is kept aside first)"), this);

    auto* buttons = new QDialogButtonBox(this);
    cmdRestore = buttons->addButton(QStringLiteral("&Restore"), QDialogButtonBox::AcceptRole);
    cmdClose = buttons->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole);
    cmdRestore->setDefault(true);

    auto* layout = new QGridLayout(this);
    auto* heading = new QVBoxLayout;
    heading->addWidget(lblTarget);
    heading->addWidget(lblLastBackup);
    layout->addLayout(heading, 0, 0, 1, 3);
    layout->addWidget(split, 1, 0, 1, 3);
    layout->setRowStretch(1, 1);
    layout->addWidget(lblAsOf, 2, 0);
    layout->addWidget(cboAsOf, 2, 1, 1, 2);
    layout->addWidget(lblHistory, 3, 0, 1, 3);
    layout->addWidget(destinationBox, 4, 0, 1, 3);
    layout->addWidget(chkReplace, 5, 0, 1, 3);
    layout->addWidget(buttons, 6, 0, 1, 3);
    layout->setColumnStretch(2, 1);
    setTabOrder(tvwFiles, lvwVersions);
    setTabOrder(lvwVersions, cboAsOf);
    setTabOrder(cboAsOf, optOwnPlace);
    setTabOrder(optOwnPlace, optOtherFolder);
    setTabOrder(optOtherFolder, chkReplace);
    setTabOrder(chkReplace, cmdRestore);
    setTabOrder(cmdRestore, cmdClose);

    connect(tvwFiles, &QTreeWidget::itemExpanded, this, &frmRestore::Expanded);
    connect(tvwFiles, &QTreeWidget::itemChanged, this, &frmRestore::Ticked);
    connect(tvwFiles, &QTreeWidget::currentItemChanged, this, &frmRestore::ShowVersions);
    connect(optOtherFolder, &QRadioButton::toggled, this, &frmRestore::OtherFolderChosen);
    connect(cmdRestore, &QPushButton::clicked, this, &frmRestore::cmdRestore_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);

    FillChildren(tvwFiles->invisibleRootItem(), QString());
    if (tvwFiles->topLevelItemCount() > 0)
        tvwFiles->setCurrentItem(tvwFiles->topLevelItem(0));
    tvwFiles->setFocus();
    // Room for the tree, within the screen whatever its scale.
    QSize size(760, 560);
    if (const QScreen* shownOn = parent != nullptr ? parent->screen() : screen())
        size = size.boundedTo(shownOn->availableSize());
    resize(size);
}

frmRestore::~frmRestore() = default;

void frmRestore::FillChildren(QTreeWidgetItem* parent, const QString& folder) {
    const BackupFolder listed = ListBackupFolder(setup.targetFolder, folder);
    const QSignalBlocker quiet(tvwFiles);
    parent->setData(0, ReadRole, true);
    const Qt::CheckState state =
        parent == tvwFiles->invisibleRootItem() ? Qt::Unchecked : parent->checkState(0);
    const auto add = [&](const QString& name, bool isFolder) {
        auto* item = new QTreeWidgetItem(parent, {name});
        item->setData(0, PathRole, folder + name);
        item->setData(0, FolderRole, isFolder);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, state);
        if (isFolder)
            item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    };
    for (const QString& name : listed.folders)
        add(name, true);
    for (const QString& name : listed.files)
        add(name, false);
    if (!listed.problem.isEmpty()) {
        auto* item = new QTreeWidgetItem(
            parent, {QStringLiteral("(this folder could not be read: ") + listed.problem + u')'});
        item->setFlags(Qt::ItemIsEnabled);
    }
    if (parent != tvwFiles->invisibleRootItem() && parent->childCount() == 0)
        parent->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void frmRestore::Expanded(QTreeWidgetItem* item) {
    // A folder is read when it is opened, so that a large backup shows at once.
    if (!item->data(0, ReadRole).toBool())
        FillChildren(item, item->data(0, PathRole).toString() + u'/');
}

void frmRestore::Ticked(QTreeWidgetItem* item) {
    if (ticking)
        return;
    const QScopedValueRollback<bool> guard(ticking, true);
    const Qt::CheckState state = item->checkState(0);
    // A folder's tick is its contents' (those read so far; the rest follow when read).
    std::vector<QTreeWidgetItem*> below{item};
    while (!below.empty()) {
        QTreeWidgetItem* next = below.back();
        below.pop_back();
        for (int i = 0; i < next->childCount(); ++i) {
            QTreeWidgetItem* child = next->child(i);
            if (child->flags() & Qt::ItemIsUserCheckable) {
                child->setCheckState(0, state);
                below.push_back(child);
            }
        }
    }
    // Something left out below a folder: the folder no longer stands for all of it.
    if (state == Qt::Unchecked)
        for (QTreeWidgetItem* up = item->parent(); up != nullptr; up = up->parent())
            up->setCheckState(0, Qt::Unchecked);
}

QStringList frmRestore::TickedPaths() const {
    QStringList paths;
    std::vector<QTreeWidgetItem*> pending{tvwFiles->invisibleRootItem()};
    while (!pending.empty()) {
        QTreeWidgetItem* item = pending.back();
        pending.pop_back();
        for (int i = item->childCount() - 1; i >= 0; --i) {
            QTreeWidgetItem* child = item->child(i);
            if (!(child->flags() & Qt::ItemIsUserCheckable))
                continue;
            if (child->checkState(0) == Qt::Checked)
                paths.append(child->data(0, PathRole).toString());
            else
                pending.push_back(child);
        }
    }
    paths.sort();
    return paths;
}

QTreeWidgetItem* frmRestore::ItemOf(const QString& path) {
    QTreeWidgetItem* item = tvwFiles->invisibleRootItem();
    QString walked;
    for (const QString& name : path.split(u'/', Qt::SkipEmptyParts)) {
        if (!item->data(0, ReadRole).toBool() && item != tvwFiles->invisibleRootItem())
            FillChildren(item, walked);
        walked += name;
        QTreeWidgetItem* found = nullptr;
        for (int i = 0; i < item->childCount() && found == nullptr; ++i)
            if (item->child(i)->data(0, PathRole).toString() == walked)
                found = item->child(i);
        if (found == nullptr)
            return nullptr;
        item = found;
        walked += u'/';
    }
    return item == tvwFiles->invisibleRootItem() ? nullptr : item;
}

void frmRestore::ShowVersions(QTreeWidgetItem* item) {
    lvwVersions->clear();
    if (item == nullptr || item->data(0, FolderRole).toBool() ||
        !(item->flags() & Qt::ItemIsUserCheckable))
        return;
    const VersionsOfFile found =
        ListVersions(setup.targetFolder, item->data(0, PathRole).toString());
    if (!found.problem.isEmpty()) {
        new QTreeWidgetItem(lvwVersions,
                            {QStringLiteral("(not readable: ") + found.problem + u')'});
        return;
    }
    for (const FileVersion& version : found.versions)
        new QTreeWidgetItem(lvwVersions,
                            {version.current ? QStringLiteral("In the backup now")
                                             : QStringLiteral("Replaced ") +
                                                   version.keptBy.started.toString(
                                                       QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                             LocalTime(version.facts.mtimeSeconds),
                             FormatByteSize(static_cast<double>(version.facts.size))});
}

void frmRestore::OtherFolderChosen(bool on) {
    if (choosing)
        return;
    const QScopedValueRollback<bool> guard(choosing, true);
    if (!on) {
        destination.clear();
        lblDestination->setText(setup.sourceFolder);
        return;
    }
    const QString picked = dialogs.browseForFolder(
        this, QStringLiteral("Choose the folder to restore the files into"), setup.sourceFolder);
    QString refused;
    if (!picked.isEmpty()) {
        RestoreRequest request = RestoreOfPaths(setup, {});
        request.destination = NormaliseFolder(picked);
        refused = RestoreRefusal(request);
        if (refused.isEmpty()) {
            destination = request.destination;
            lblDestination->setText(destination);
            return;
        }
        dialogs.inform(this, QStringLiteral("This folder cannot take the files: ") + refused + u'.',
                       Title, MsgIcon::Warning);
    }
    optOwnPlace->setChecked(true);
}

void frmRestore::cmdRestore_Click() {
    const QStringList paths = TickedPaths();
    if (paths.isEmpty()) {
        dialogs.inform(this, QStringLiteral("Tick the files and folders to restore first."), Title);
        return;
    }
    RestoreRequest request = RestoreOfPaths(setup, paths);
    request.destination = destination;
    request.overwrite = chkReplace->isChecked();
    const CatalogHistory history(*catalog, false);
    if (const int chosen = cboAsOf->currentIndex(); chosen > 0) {
        RestoreAsAfterRun(*catalog, runs, static_cast<size_t>(chosen - 1), request);
        request.history = &history;
    }
    const RestoreOutcome plan = PlanRestore(request, {});
    if (!plan.refused.isEmpty()) {
        dialogs.inform(this, QStringLiteral("Nothing can be restored: ") + plan.refused + u'.',
                       Title, MsgIcon::Warning);
        return;
    }
    const QString where = destination.isEmpty() ? setup.sourceFolder : destination;
    if (plan.totals.restored == 0) {
        dialogs.inform(this,
                       QStringLiteral("There is nothing to restore.\r\n") +
                           RestorePlanText(plan.totals, where),
                       Title);
        return;
    }
    if (!dialogs.askYesNo(
            this, RestorePlanText(plan.totals, where) + QStringLiteral("\r\n\r\nRestore them now?"),
            Title, MsgResult::Yes))
        return;

    // As the main window's operations run: its controls locked, the report in its window,
    // its Cancel (or Quit) ending the restore between files.
    const QScopedValueRollback<bool> running(owner.operationRunning, true);
    owner.state.blnStop = false;
    ReportHost& report = owner.main.PrepareReport();
    report.SetCaption(Title);
    report.OperationStarted();
    owner.main.LockForOperation();
    setEnabled(false);
    const RestoreOutcome outcome = RunRestore(
        request, report,
        [this, &report] {
            report.Yield();
            return owner.state.blnStop;
        },
        owner.main.Inhibitor());
    setEnabled(true);
    owner.main.UnlockAfterOperation();
    report.MoveCaretToEnd();
    report.OperationFinished();
    owner.main.RefreshDisplays();
    if (!outcome.refused.isEmpty())
        dialogs.inform(this, QStringLiteral("Nothing was restored: ") + outcome.refused, Title,
                       MsgIcon::Warning);
}

} // namespace vnt
