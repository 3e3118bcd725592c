#pragma once
// The setup file: one Setup as CR LF lines identified by their position.

#include "backup/OperationState.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vnt {

// The file's bytes for a Setup: each text as its name's own bytes (UTF-8 for every name
// that is valid UTF-8), numbers as " 0 " and "-1 ".
QByteArray SetupFileBytes(const Setup& setup);

// Empty when every text of the Setup fits on one line of the file; otherwise a sentence
// that names the first text holding a line break (CR or LF).
QString SetupLineBreakProblem(const Setup& setup);

// Writes the file through a temporary file that replaces the old one only when complete.
// A Setup with a line break in any of its texts is refused before anything is written:
// its lines would shift and the file would read back as another Setup. On failure, why
// receives the reason: that line break, or the system's words for what went wrong.
bool WriteSetupFile(const QString& path, const Setup& setup, QString* why = nullptr);

// The name chosen for a setup file, with ".vnt" added when its file name has no extension
// at all; any other extension is left for the caller to refuse.
QString WithSetupFileExtension(const QString& path);

// Why a read result other than 0 is not a whole Setup, in a few words for a message.
QString SetupReadFailureReason(int result);

struct SetupFileRead {
    Setup setup;    // cleared values where nothing could be read
    int result = 0; // 0 whole file read; 62 ended early; 13 a value the Setup cannot take;
                    // other: the failure's number
    bool someSubfolderHasSubfolders = false;
    // The included subfolders the file names that cannot be found or read: each is left out
    // of the Setup, and named here in a sentence that says why.
    QStringList droppedFolders;
};

// Reads a setup file. Every text line is read as the bytes of a name (DecodeName), so
// what SetupFileBytes wrote reads back exactly. Included subfolders that cannot be found or
// read are left out and named in droppedFolders; a name holding a NUL byte is a value the
// Setup cannot take.
SetupFileRead ReadSetupFile(const QString& path);

} // namespace vnt
