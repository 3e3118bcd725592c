#include "setups/frmSelectSubfolders.h"

#include "platform/Names.h"
#include "ScriptedDialogs.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>

namespace vnt::test {
namespace {

class SelectionTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString top = dir.path() + "/";
    ScriptedDialogs dialogs;

    void MakeFolders(int count) {
        for (int i = 0; i < count; ++i) {
            QDir().mkpath(top + QStringLiteral("f%1").arg(i, 2, 10, QLatin1Char('0')));
            WriteFile(top + QStringLiteral("f%1/a.txt").arg(i, 2, 10, QLatin1Char('0')), "x");
        }
    }

    std::unique_ptr<frmSelectSubfolders> Open(const QString& passed = {},
                                              const QString& target = {}) {
        auto window = std::make_unique<frmSelectSubfolders>(dialogs, target);
        window->strCaption = "Select subfolders of the source folder to be INCLUDED in the backup";
        window->strTopFolder = top;
        window->intMaxNumCheckboxes = 11;
        window->strFoldersPassedToSelectFoldersForm = passed;
        window->resize(700, 400);
        window->Form_Activate();
        return window;
    }
};

TEST_F(SelectionTest, FewRowsNeedNoScrollBar) {
    MakeFolders(5);
    QDir().mkpath(top + "$RECYCLE.BIN/x");
    QDir().mkpath(top + "Empty");
    auto window = Open("F01\r\nEmpty");
    EXPECT_FALSE(window->IsBusy());
    ASSERT_EQ(window->Rows().size(), 6u) << "the recycle bin is left out";
    EXPECT_EQ(window->chkSubfolder.size(), 6u);
    EXPECT_TRUE(window->vsbScrollBar->isHidden());
    EXPECT_EQ(window->Rows()[0].text, "Empty {no files and no subfolders}")
        << "sorted ignoring case";
    EXPECT_EQ(window->Rows()[0].state, 0) << "an empty folder is never ticked";
    EXPECT_EQ(window->Rows()[2].state, 1) << "f01 passed as F01";
    EXPECT_EQ(window->lblNumSubfolders->text(), "One subfolder selected.\nA total of 1 bytes.");

    window->chkSubfolder[0]->click();
    EXPECT_FALSE(window->chkSubfolder[0]->isChecked()) << "cannot be ticked by a click";
    window->cmdSelectDeselectAllSubfolders_Click(1);
    EXPECT_FALSE(window->chkSubfolder[0]->isChecked()) << "nor by Select all";
    EXPECT_EQ(window->lblNumSubfolders->text().section('\n', 0, 0), "5 selected (of 6).");
    window->cmdSelectDeselectAllSubfolders_Click(0);
    EXPECT_EQ(window->lblNumSubfolders->text(), "No subfolders selected.");

    window->cmdAccept_Click();
    EXPECT_TRUE(window->blnFolderSelectionAccepted);
    EXPECT_EQ(window->strFoldersReturnedFromSelectFoldersForm, "");
    EXPECT_FALSE(window->blnSomeSubfolderHasSubfolders);
}

TEST_F(SelectionTest, ManyRowsScrollThroughElevenBoxes) {
    MakeFolders(30);
    auto window = Open("f03");
    EXPECT_EQ(window->chkSubfolder.size(), 11u);
    EXPECT_FALSE(window->vsbScrollBar->isHidden());
    EXPECT_EQ(window->vsbScrollBar->maximum(), 19);
    EXPECT_EQ(window->vsbScrollBar->pageStep(), 10);
    EXPECT_TRUE(window->chkSubfolder[3]->isChecked());

    window->chkSubfolder[5]->click();
    window->vsbScrollBar->setValue(19);
    EXPECT_TRUE(window->chkSubfolder[0]->text().startsWith("f19 {"));
    EXPECT_TRUE(window->chkSubfolder[10]->text().startsWith("f29 {"));
    EXPECT_FALSE(window->chkSubfolder[5]->isChecked()) << "the box now shows another row";
    window->vsbScrollBar->setValue(2);
    EXPECT_TRUE(window->chkSubfolder[1]->isChecked()) << "row f03 is still ticked";
    EXPECT_TRUE(window->chkSubfolder[3]->isChecked()) << "row f05 too";
    window->cmdAccept_Click();
    EXPECT_EQ(window->strFoldersReturnedFromSelectFoldersForm, "f03\r\nf05\r\n");
}

TEST_F(SelectionTest, TheTargetCannotBeTickedAndCancelKeepsNothing) {
    MakeFolders(3);
    auto window = Open(QString(), top + "f01/");
    window->chkSubfolder[1]->click();
    EXPECT_FALSE(window->chkSubfolder[1]->isChecked());
    window->cmdSelectDeselectAllSubfolders_Click(1);
    EXPECT_FALSE(window->chkSubfolder[1]->isChecked());
    EXPECT_TRUE(window->chkSubfolder[0]->isChecked());
    window->cmdCancel_Click();
    EXPECT_FALSE(window->blnFolderSelectionAccepted);
    EXPECT_EQ(window->chkSubfolder.size(), 1u) << "extra boxes removed";
}

TEST_F(SelectionTest, UnreadableTopFolderAndTheCloseBox) {
    auto window = std::make_unique<frmSelectSubfolders>(dialogs, QString());
    window->strTopFolder = top + "missing";
    window->Form_Activate();
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].title, "Select subfolders");

    MakeFolders(2);
    auto open = Open();
    open->show();
    open->close();
    EXPECT_EQ(dialogs.messages().back().text,
              "Please exit this window only by clicking on 'Accept' or 'Cancel'.");
    EXPECT_EQ(dialogs.messages().back().title, "Select Folders");
    EXPECT_FALSE(open->blnFolderSelectionAccepted);
}

} // namespace
} // namespace vnt::test

#include <QTest>
#include <QTimer>
#include <sys/stat.h>
#include <unistd.h>

namespace vnt::test {
namespace {

TEST_F(SelectionTest, CancelStopsTheReading) {
    MakeFolders(20);
    frmSelectSubfolders window(dialogs, QString());
    window.strTopFolder = top;
    window.blnFolderSelectionAccepted = false;
    QTimer::singleShot(0, &window, [&window] { window.cmdCancel_Click(); });
    window.Form_Activate();
    EXPECT_LT(window.Rows().size(), 20u) << "the reading stopped early";
    EXPECT_FALSE(window.blnFolderSelectionAccepted);
}

TEST_F(SelectionTest, EscapeIsCancelAndStopsTheReading) {
    MakeFolders(20);
    frmSelectSubfolders window(dialogs, QString());
    window.strTopFolder = top;
    QTimer::singleShot(0, &window, [&window] { QTest::keyClick(&window, Qt::Key_Escape); });
    window.Form_Activate();
    EXPECT_LT(window.Rows().size(), 20u) << "the reading stopped early";
    EXPECT_EQ(window.result(), QDialog::Rejected);
}

TEST_F(SelectionTest, TheTargetRowIsTheTargetFolderItselfAndNamesAreBytes) {
    MakeFolders(1);
    QDir().mkpath(top + "Backup");
    WriteFile(top + "Backup/a.txt", "x");
    QDir().mkpath(top + "backup");
    WriteFile(top + "backup/a.txt", "x");
    const QString odd = DecodeName(EncodeName(top) + "caf\xe9");
    ASSERT_EQ(mkdir(EncodeName(odd).constData(), 0755), 0);
    WriteFile(odd + "/a.txt", "x");
    auto window = Open(QString(), top + "backup/");
    window->cmdSelectDeselectAllSubfolders_Click(1);
    QStringList ticked;
    for (const SubfolderRow& row : window->Rows())
        if (row.state == 1)
            ticked.append(RowFolderName(row.text));
    EXPECT_EQ(ticked, QStringList({"Backup", DecodeName(QByteArray("caf\xe9")), "f00"}))
        << "only the target itself is untickable; a name that is not UTF-8 is listed";
    bool shown = false;
    for (const QCheckBox* box : window->chkSubfolder)
        shown = shown || box->text().startsWith(QString::fromUtf8("caf\xef\xbf\xbd {"));
    EXPECT_TRUE(shown) << "shown with the replacement character";
    window->cmdAccept_Click();
    EXPECT_TRUE(window->strFoldersReturnedFromSelectFoldersForm.contains(
        DecodeName(QByteArray("caf\xe9")) + "\r\n"))
        << "the exact bytes go back to the Setup";
    ::unlink((EncodeName(odd) + "/a.txt").constData());
    ::rmdir(EncodeName(odd).constData());
}

} // namespace
} // namespace vnt::test
