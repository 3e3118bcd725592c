#pragma once
// What the report window and the confirmation need of the window that owns them. They see
// the main window only through these doors, never its controls or its fields.

#include "backup/OperationState.h"

#include <QPoint>
#include <QRect>
#include <QString>

namespace vnt {

class ReportOwner {
public:
    virtual ~ReportOwner() = default;

    // Placement beside the owner: its frame on the screen and its screen's whole extent,
    // in pixels (the screen empty when there is none), and the part of that screen windows
    // may cover, in twips.
    virtual QRect OwnerFrame() const = 0;
    virtual QRect OwnerScreen() const = 0;
    virtual QRect OwnerAvailableAreaTwips() const = 0;
    // Brings the owner back from the taskbar: the report is read beside it.
    virtual void ShowOwnerNormal() = 0;
    // Where a short report stands, in twips below the owner's top: under the list button
    // while subfolders or files are listed, else under the target folder.
    virtual int SmallReportTopTwips() const = 0;
    // The longest text that keeps the report window small, and the most its text box holds.
    virtual int MaxSizeForSmallReportWindow() const = 0;
    virtual qint32 MaxSizeTextboxContents() const = 0;
    // The owner's box that suppresses detailed reports: 0 clear, 1 checked, 2 greyed.
    virtual int SuppressDetailedReportsBox() const = 0;

    // The operation that runs or ran last, as the report reads it; what the report's
    // buttons change of it.
    virtual const OperationState& State() const = 0;
    virtual bool OperationRunning() const = 0;
    virtual void RequestStop() = 0;
    // The choice made in a pause: detailed reports suppressed from here on, or not.
    virtual void ChooseSuppressDetailedReports(bool suppress) = 0;
    // The finished report was closed: the owner offers it again.
    virtual void ReportClosed() = 0;

    // Time and sound, which tests stand in for.
    virtual void Sleep(int milliseconds) = 0;
    virtual void Beep() = 0;
};

class ConfirmOwner {
public:
    virtual ~ConfirmOwner() = default;
    // The source folder as the owner shows it, and whether it has subfolders.
    virtual QString SourceFolder() const = 0;
    virtual bool SourceHasSubfolders() const = 0;
    // The point on the screen, in pixels, that the confirmation stands below and right of
    // (the setup-file box's left, the Help button's top), so the settings stay in view.
    virtual QPoint ConfirmationAnchor() const = 0;
    // A declined backup forgets the setup file it came from.
    virtual void ForgetSetupFile() = 0;
};

} // namespace vnt
