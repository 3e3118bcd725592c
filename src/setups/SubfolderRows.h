#pragma once
// The rows of the subfolder selection window: one line per direct subfolder of the
// source, "Name {12 files and no subfolders, 45.20 Kb}".

#include <QRect>
#include <QString>
#include <QStringList>
#include <vector>

namespace vnt {

// What the subfolder selection window is given and gives back.
struct SubfolderSelection {
    bool blnFolderSelectionAccepted = false;
    QString strCaption;
    QString strTopFolder;
    int intMaxNumCheckboxes = 0;
    QString strFoldersPassedToSelectFoldersForm;
    QString strFoldersReturnedFromSelectFoldersForm;
    bool blnSomeSubfolderHasSubfolders = false;
    QRect geometryTwips; // left, top, width and height on the screen
};

struct SubfolderRow {
    QString text;
    double size = 0;   // bytes shown in the row
    bool over = false; // the size is a lower bound
    bool emptyOrUnreadable = false;
    // Unreadable, or nothing in it: never ticked. Decided from the error numbers, not from
    // the system's words, which depend on the language.
    bool neverTickable = false;
    int state = 0; // 1 ticked
};

// Describes the subfolder name of topFolder (which ends with "/").
SubfolderRow DescribeSubfolder(const QString& topFolder, const QString& name);

// The folder name of a row (before its last " {") and its braces part (from the last "{").
QString RowFolderName(const QString& row);
QString RowBraces(const QString& row);
// Rows of unreadable or empty folders can never be ticked.
bool RowCanNeverBeTicked(const SubfolderRow& row);

// The caption of a check box: the row, with the name cut and " ... " before the braces
// part when the whole would pass limit characters.
QString ShortenRowCaption(const QString& row, int limit = 84);

// Ticks the rows whose folder names equal a passed name, unless they are unreadable or
// empty. A name matches its own row; only a name that no row has exactly matches rows that
// differ in letter case (setups made where case does not count).
void PreselectRows(std::vector<SubfolderRow>& rows, const QString& passed);

// The count line under the list, with its total line for a selection of included folders.
QString SelectionCountLine(const std::vector<SubfolderRow>& rows, bool withTotal);

// Sorts the rows by their lower-cased text.
void SortRows(std::vector<SubfolderRow>& rows);

} // namespace vnt
