#include "setups/SubfolderRows.h"

#include "backup/Counting.h"
#include "mainwindow/Filters.h"
#include "platform/FileErrors.h"
#include "report/StrProc.h"

#include <algorithm>
#include <cerrno>

namespace vnt {

SubfolderRow DescribeSubfolder(const QString& topFolder, const QString& name) {
    SubfolderRow row;
    const QString path = topFolder + name + u'/';
    row.emptyOrUnreadable = IsFolderEmpty(path);
    const FileCount files = CountFiles(path, QStringLiteral("*.*"), false, true);
    QString description;
    qint32 folders = 0;
    if (files.count < 0) {
        description = files.errorText;
        row.neverTickable = true;
    } else if (files.accessDenied) {
        description = FileErrorFromErrno(EACCES).description;
        row.neverTickable = true;
    } else {
        const FolderCount subfolders = CountSubfolders(path);
        folders = subfolders.count;
        if (subfolders.count < 0) {
            description = subfolders.errorText;
            row.neverTickable = true;
        } else {
            row.neverTickable = files.count == 0 && folders == 0;
            description = files.count == 0 ? QStringLiteral("no files and ")
                          : files.count == 1
                              ? QStringLiteral("1 file and ")
                              : FormatCount(files.count) + QStringLiteral(" files and ");
            description += folders == 0   ? QStringLiteral("no subfolders")
                           : folders == 1 ? QStringLiteral("1 subfolder")
                                          : FormatCount(folders) + QStringLiteral(" subfolders");
        }
    }
    if (files.count > 0 || folders > 0) {
        if (folders > 0) {
            TreeCount tree;
            tree.limit = 200;
            CountFilesInTree(true, path, QStringLiteral("*.*"), tree, true, false, 0);
            row.size = tree.sizeTotal;
            // A folder that refuses access is passed over and the count goes on: only a
            // count that stopped makes the size a lower bound.
            row.over = tree.limit == -2 || tree.errorNumber != 0;
        } else {
            row.size = files.sizeTotal;
        }
        description += QStringLiteral(", ") + (row.over ? QStringLiteral("over ") : QString()) +
                       FormatScaledSize(row.size, 2);
    }
    if (description.endsWith(QStringLiteral(", ")))
        description.chop(2);
    row.text = name + QStringLiteral(" {") + description + u'}';
    return row;
}

QString RowFolderName(const QString& row) {
    const qsizetype brace = row.lastIndexOf(QStringLiteral(" {"));
    return (brace < 0 ? row : row.left(brace)).trimmed();
}

QString RowBraces(const QString& row) {
    const qsizetype brace = row.lastIndexOf(u'{');
    return brace < 0 ? QString() : row.mid(brace);
}

bool RowCanNeverBeTicked(const SubfolderRow& row) {
    return row.neverTickable;
}

QString ShortenRowCaption(const QString& row, int limit) {
    const qsizetype p = row.lastIndexOf(u'{') + 1; // counting from 1
    if (p <= 0)
        return row;
    const QString tail = row.mid(p - 1);
    const qsizetype room = limit - tail.size();
    if (room < p)
        return row.left(std::max<qsizetype>(room, 0)) + QStringLiteral(" ... ") + tail;
    return row;
}

void PreselectRows(std::vector<SubfolderRow>& rows, const QString& passed) {
    QStringList exact;
    for (const SubfolderRow& row : rows)
        exact.append(RowFolderName(row.text));
    for (SubfolderRow& row : rows)
        row.state = 0;
    for (const QString& name : SplitFolderList(passed)) {
        const bool hasOwnRow = exact.contains(name);
        for (size_t i = 0; i < rows.size(); ++i) {
            const bool match = hasOwnRow ? exact[static_cast<qsizetype>(i)] == name
                                         : LowerCase(exact[static_cast<qsizetype>(i)]) ==
                                               LowerCase(name);
            if (match && !rows[i].neverTickable && !rows[i].emptyOrUnreadable)
                rows[i].state = 1;
        }
    }
}

QString SelectionCountLine(const std::vector<SubfolderRow>& rows, bool withTotal) {
    qsizetype ticked = 0;
    double dblTotalBytesSelected = 0;
    bool blnOver = false; // some ticked size is a lower bound
    for (const SubfolderRow& row : rows) {
        if (row.state == 1) {
            ++ticked;
            dblTotalBytesSelected += row.size;
            blnOver = blnOver || row.over;
        }
    }
    const qsizetype n = static_cast<qsizetype>(rows.size());
    QString line;
    if (ticked == 0)
        line = QStringLiteral("No subfolders selected.");
    else if (ticked == 1)
        line = QStringLiteral("One subfolder selected.");
    else if (ticked == n)
        line =
            QStringLiteral("All ") + QString::number(n) + QStringLiteral(" subfolders selected.");
    else
        line = FormatCount(static_cast<qint64>(ticked)) + QStringLiteral(" selected (of ") +
               FormatCount(static_cast<qint64>(n)) + QStringLiteral(").");
    if (ticked > 0 && withTotal)
        line += QStringLiteral("\r\nA total of ") + (blnOver ? QStringLiteral("over ") : QString()) +
                FormatScaledSize2(dblTotalBytesSelected, 2) + u'.';
    return line;
}

void SortRows(std::vector<SubfolderRow>& rows) {
    std::stable_sort(rows.begin(), rows.end(), [](const SubfolderRow& a, const SubfolderRow& b) {
        return LowerCase(a.text) < LowerCase(b.text);
    });
}

} // namespace vnt
