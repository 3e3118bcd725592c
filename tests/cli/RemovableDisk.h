#pragma once
// A disk as people buy them, in an image mounted through its FUSE driver: exFAT, NTFS (with
// and without Windows' name rules) and FAT32. Mounted while it lives; Remount empties the
// driver's caches, as unplugging the disk and plugging it in again would.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace vnt::test {

class RemovableDisk {
public:
    enum class Format { ExFat, Ntfs, NtfsWindowsNames, Fat32 };

    // The image and the mount point go in folder.
    RemovableDisk(Format formatIn, const QString& folder)
        : format(formatIn), image(folder + "/disk.img"), mountPoint(folder + "/disk/") {
        QFile file(image);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(96 << 20)) {
            why = "cannot make a disk image";
            return;
        }
        file.close();
        const bool made =
            format == Format::ExFat   ? Run("mkfs.exfat", {image})
            : format == Format::Fat32 ? Run("mkfs.vfat", {"-F", "32", image})
                                      : Run("mkfs.ntfs", {"-F", "-f", "-q", image});
        if (!made) {
            why = "cannot format the image: " + why;
            return;
        }
        QDir().mkpath(mountPoint);
        Mount();
    }
    ~RemovableDisk() { Unmount(); }
    RemovableDisk(const RemovableDisk&) = delete;
    RemovableDisk& operator=(const RemovableDisk&) = delete;

    bool Remount() {
        Unmount();
        return Mount();
    }

    static const char* Name(Format format) {
        switch (format) {
        case Format::ExFat:
            return "exFAT";
        case Format::Ntfs:
            return "NTFS";
        case Format::NtfsWindowsNames:
            return "NTFS_windows_names";
        case Format::Fat32:
            return "FAT32";
        }
        return "";
    }

    const Format format;
    const QString image;
    const QString mountPoint; // with a final slash
    bool mounted = false;
    QString why; // when not mounted

private:
    bool Run(const QString& program, const QStringList& arguments) {
        QProcess process;
        process.start(program, arguments);
        if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            why = program + ": " + process.errorString() + " " +
                  QString::fromLocal8Bit(process.readAllStandardError());
            return false;
        }
        output = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
        return true;
    }

    bool Mount() {
        // exfat-fuse takes only a block device: a loop device over the image.
        if (format == Format::ExFat) {
            if (!Run("losetup", {"-f", "--show", image}))
                return false;
            device = output;
        }
        switch (format) {
        case Format::ExFat:
            mounted = Run("mount.exfat-fuse", {device, mountPoint});
            break;
        case Format::Ntfs:
            mounted = Run("ntfs-3g", {image, mountPoint});
            break;
        case Format::NtfsWindowsNames:
            mounted = Run("ntfs-3g", {"-o", "windows_names", image, mountPoint});
            break;
        case Format::Fat32:
            mounted = Run("fusefat", {"-o", "rw+", image, mountPoint});
            break;
        }
        return mounted;
    }

    void Unmount() {
        // Not lazily: the driver writes what it holds before the disk is mounted again.
        if (mounted && !Run("umount", {mountPoint}))
            Run("umount", {"-l", mountPoint});
        mounted = false;
        if (!device.isEmpty())
            Run("losetup", {"-d", device});
        device.clear();
    }

    QString device;
    QString output;
};

} // namespace vnt::test
