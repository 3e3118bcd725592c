#pragma once
// File-system failures as the program reports them: an error number and a description.

#include <QString>

namespace vnt {

namespace ErrorNumber {
constexpr int PermissionDenied = 70;
constexpr int PathNotFound = 76;
constexpr int BadFileName = 52;
constexpr int InputPastEndOfFile = 62;
// Any other failure; its description tells the user what happened.
constexpr int Other = 75;
} // namespace ErrorNumber

struct FileError {
    int number = 0; // 0: no failure
    QString description;
    explicit operator bool() const { return number != 0; }
};

FileError FileErrorFromErrno(int errnoValue);

} // namespace vnt

namespace vnt {

// Reads a whole file; on failure bytes is empty and the error says why.
FileError ReadWholeFile(const QString& path, QByteArray& bytes);

} // namespace vnt
