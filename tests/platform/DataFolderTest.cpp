#include "platform/DataFolder.h"

#include "mainwindow/Language.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QTemporaryDir>

namespace vnt::test {
namespace {

// A prefix as `cmake --install` leaves it: bin/ and share/vantoro/.
struct InstalledTree {
    QTemporaryDir root;
    QString bin = root.filePath("usr/bin");
    QString share = root.filePath("usr/share/vantoro");
    InstalledTree() {
        QDir().mkpath(bin);
        QDir().mkpath(share);
    }
};

TEST(DataFolder, BesideTheExecutableFirstThenTheInstalledShareFolder) {
    InstalledTree tree;
    EXPECT_EQ(DataFolderCandidates(tree.bin), QStringList({tree.bin, tree.share}))
        << "no .. left in the paths shown to a person";

    WriteFile(tree.share + "/vnt.dat", "1 Vantoro\n");
    EXPECT_EQ(DataFolder(tree.bin), tree.share);
    // A build tree keeps its data beside the executables; it wins over an installed copy.
    WriteFile(tree.bin + "/vnt.dat", "1 Vantoro\n");
    EXPECT_EQ(DataFolder(tree.bin), tree.bin);
}

TEST(DataFolder, NoneFoundNamesEveryPlaceLookedAt) {
    InstalledTree tree;
    // Only the program texts mark a data folder; a folder of that name does not.
    WriteFile(tree.share + "/vnt_help.txt", "help");
    QDir().mkpath(tree.bin + "/vnt.dat");
    EXPECT_EQ(DataFolder(tree.bin), QString());
    EXPECT_EQ(ProgramTextNotFoundMessage("vnt.dat", DataFolderCandidates(tree.bin)),
              "Cannot open file containing program text.\r\n" + tree.bin + "/vnt.dat\r\n" +
                  tree.share + "/vnt.dat");
}

} // namespace
} // namespace vnt::test
