#include "controls/TSaveDialog.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Runs `answer` on the open dialog once Execute has shown it.
bool executeAnswering(TSaveDialog& dialog, std::function<void(QDialog&)> answer)
{
    QTimer::singleShot(0, [&] {
        ASSERT_NE(dialog.Dialog(), nullptr);
        answer(*dialog.Dialog());
    });
    return dialog.Execute(nullptr);
}

void typeAndSave(QDialog& d, const QString& name)
{
    d.findChild<QLineEdit*>("FileName")->setText(name);
    d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
}

class SaveDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        previous = QDir::currentPath();
        QDir::setCurrent(folder.path());
        dialog.SetDefaultExt("csv");
        dialog.SetFileName("traffic.csv");
        dialog.SetFilter("CSV files|*.csv|All files|*.*");
    }
    void TearDown() override { QDir::setCurrent(previous); }

    QTemporaryDir folder;
    QString previous;
    TSaveDialog dialog;
};

} // namespace

TEST_F(SaveDialogTest, FilterPairsBecomeTheListOfTypes)
{
    EXPECT_EQ(TSaveDialog::NameFilters("CSV files|*.csv|All files|*.*"),
        QStringList({ "CSV files (*.csv)", "All files (*.*)" }));
    EXPECT_EQ(TSaveDialog::NameFilters("Texts|*.txt;*.log|dangling"), QStringList({ "Texts (*.txt *.log)" }));
    EXPECT_TRUE(TSaveDialog::NameFilters("").isEmpty());
    QStringList shown;
    executeAnswering(dialog, [&](QDialog& d) {
        auto* type = d.findChild<QComboBox*>("FileType");
        for (int i = 0; i < type->count(); ++i)
            shown << type->itemText(i);
        EXPECT_EQ(d.findChild<QLineEdit*>("FileName")->text(), "traffic.csv");
        d.reject();
    });
    EXPECT_EQ(shown, QStringList({ "CSV files (*.csv)", "All files (*.*)" }));
}

TEST_F(SaveDialogTest, ConfirmedNamesGetTheFolderAndTheDefaultExtension)
{
    EXPECT_TRUE(executeAnswering(dialog, [](QDialog& d) { typeAndSave(d, "report"); }));
    EXPECT_EQ(dialog.FileName(), QDir(folder.path()).absoluteFilePath("report.csv"));
    EXPECT_TRUE(executeAnswering(dialog, [](QDialog& d) { typeAndSave(d, "notes.txt"); }));
    EXPECT_EQ(dialog.FileName(), QDir(folder.path()).absoluteFilePath("notes.txt"));
    EXPECT_TRUE(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty()); // nothing written
}

TEST_F(SaveDialogTest, EmptyNamesAndFoldersDoNotConfirmAndCancelKeepsTheName)
{
    QDir(folder.path()).mkdir("sub");
    EXPECT_TRUE(executeAnswering(dialog, [](QDialog& d) {
        typeAndSave(d, "   "); // stays open
        typeAndSave(d, "sub"); // opens the folder
        EXPECT_TRUE(d.isVisible());
        typeAndSave(d, "inside");
    }));
    EXPECT_EQ(dialog.FileName(), QDir(folder.path()).absoluteFilePath("sub/inside.csv"));
    const QString before = dialog.FileName();
    EXPECT_FALSE(executeAnswering(dialog, [](QDialog& d) { d.reject(); }));
    EXPECT_EQ(dialog.FileName(), before);
    EXPECT_EQ(dialog.Dialog(), nullptr);
}
