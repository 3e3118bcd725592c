#pragma once
// The totals written at the end of each operation.

#include <QString>

namespace vnt {

class ReportHost;
struct OperationState;

void ReportForListFolders(ReportHost& host, const OperationState& state);
void ReportForBackupAllFiles(ReportHost& host, const OperationState& state);
// periodText: the modified-since period as the list shows it.
void ReportForBackupModifiedFiles(ReportHost& host, const OperationState& state,
                                  const QString& periodText);
void ReportForCheckBackupState(ReportHost& host, const OperationState& state,
                               const QString& periodText);
void ReportForVerifyBackup(ReportHost& host, const OperationState& state);

} // namespace vnt
