// The special-edition maker on 按钮19, on the real kernel in fresh program
// folders: the file it writes, its messages, the next start of the folder,
// and a folder it may not write in.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLineEdit>
#include <QPushButton>

#include "tests/app/app_support.h"

namespace fs = std::filesystem;
using namespace tolvar;
using namespace tolvar::test;

namespace {

const std::string kNumber = "13912345678";

// Fills page ④ as the friend-list page does after a login, and clicks the button.
void make_edition(QWidget *w, const char *number, const char *owner) {
    find<QLineEdit>(w, "编辑框7")->setText(QString::fromUtf8(number));
    find<QLineEdit>(w, "编辑框8")->setText(QString::fromUtf8(owner));
    find<QPushButton>(w, "按钮19")->click();
}

TEST(SpecialEdition, NobodyLoggedInTouchesNoFile) {
    ScratchDir folder;
    write_file(folder.path() / "connig.ini", "13911111111\r\nold\r\n");
    MessageBoxes boxes;
    run_in(folder.path(), [](QWidget *w) { make_edition(w, "", "owner"); });
    EXPECT_EQ(std::vector<std::string>{kNotLoggedIn}, boxes.texts);
    EXPECT_EQ("13911111111\r\nold\r\n", read_file(folder.path() / "connig.ini"));
}

TEST(SpecialEdition, TheFileIsTheNumberAndTheOwnerTextEachEndedByCrLf) {
    ScratchDir folder;
    MessageBoxes boxes;
    StartUp first = run_in(folder.path(), [](QWidget *w) { make_edition(w, "13912345678", "小王的店 No.1"); });
    EXPECT_EQ(std::vector<std::string>{kEditionMade}, boxes.texts);
    EXPECT_EQ(kNumber + "\r\n" + gbk("小王的店 No.1") + "\r\n", read_file(folder.path() / "connig.ini"));
    // It takes effect at the next start, not in this run.
    EXPECT_EQ(kDefaultTitle, first.title);
    StartUp next = run_in(folder.path());
    EXPECT_EQ(kEditionPrefix + QString::fromUtf8("小王的店 No.1"), next.title);
    EXPECT_EQ(kNumber, next.referrer);
    // No temporary file is left beside it.
    EXPECT_EQ(1, std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()));
}

TEST(SpecialEdition, MadeTwiceOnlyTheLastOwnerTextCounts) {
    ScratchDir folder;
    MessageBoxes boxes;
    run_in(folder.path(), [](QWidget *w) {
        make_edition(w, "13912345678", "第一个很长的版权文字");
        make_edition(w, "13912345678", "二");
    });
    EXPECT_EQ((std::vector<std::string>{kEditionMade, kEditionMade}), boxes.texts);
    EXPECT_EQ(kNumber + "\r\n" + gbk("二") + "\r\n", read_file(folder.path() / "connig.ini"));
    EXPECT_EQ(kEditionPrefix + QString::fromUtf8("二"), run_in(folder.path()).title);
}

TEST(SpecialEdition, AnEmptyOwnerTextGivesThePrefixAloneAndTheDefaultNumberNoEdition) {
    ScratchDir folder;
    MessageBoxes boxes;
    run_in(folder.path(), [](QWidget *w) { make_edition(w, "13912345678", ""); });
    EXPECT_EQ(kNumber + "\r\n\r\n", read_file(folder.path() / "connig.ini"));
    StartUp next = run_in(folder.path());
    EXPECT_EQ(kEditionPrefix, next.title);
    EXPECT_EQ(kNumber, next.referrer);

    run_in(folder.path(), [](QWidget *w) { make_edition(w, kDefaultNumber.c_str(), "owner"); });
    EXPECT_EQ(kDefaultNumber + "\r\nowner\r\n", read_file(folder.path() / "connig.ini"));
    next = run_in(folder.path());
    EXPECT_EQ(kDefaultTitle, next.title);
    EXPECT_EQ(kDefaultNumber, next.referrer);
    EXPECT_EQ((std::vector<std::string>{kEditionMade, kEditionMade}), boxes.texts);
}

TEST(SpecialEdition, AFailedWriteReportsTheFailure) {
    // A folder named connig.ini cannot be replaced by the file.
    ScratchDir folder;
    fs::create_directory(folder.path() / "connig.ini");
    MessageBoxes boxes;
    run_in(folder.path(), [](QWidget *w) { make_edition(w, "13912345678", "owner"); });
    EXPECT_EQ(std::vector<std::string>{kNotLoggedIn}, boxes.texts);
    EXPECT_TRUE(fs::is_directory(folder.path() / "connig.ini"));
}

// The child runs without the right to override file modes (a root test run
// has it), so a read-only folder or file is one for the program too.
ProcessResult run_child(const std::vector<std::string> &args) {
    std::vector<std::string> argv;
    if (geteuid() == 0)
        argv = {"/usr/bin/setpriv", "--bounding-set", "-dac_override,-dac_read_search",
                "--inh-caps",       "-dac_override,-dac_read_search", "--"};
    argv.push_back(TOLVAR_APP_CHILD);
    argv.insert(argv.end(), args.begin(), args.end());
    return run_process(argv);
}

TEST(SpecialEdition, AReadOnlyFolderKeepsTheEarlierFileAndShowsTheFailure) {
    ScratchDir folder;
    const std::string earlier = "13911111111\r\nold\r\n";
    write_file(folder.path() / "connig.ini", earlier);
    chmod(folder.path().c_str(), 0555);
    ProcessResult r = run_child({"make", folder.path().string(), "13912345678", "new"});
    chmod(folder.path().c_str(), 0755);
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("probe: denied\n")) << r.out;  // the folder really is read-only
    EXPECT_NE(std::string::npos, r.out.find("message: " + kNotLoggedIn + "\n")) << r.out;
    EXPECT_EQ(std::string::npos, r.out.find("message: " + kEditionMade)) << r.out;
    EXPECT_EQ(earlier, read_file(folder.path() / "connig.ini"));
    EXPECT_EQ(1, std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()));
}

TEST(SpecialEdition, AnUnreadableSettingsFileGivesTheUnbrandedCopy) {
    ScratchDir folder;
    write_file(folder.path() / "connig.ini", "13911111111\r\nold\r\n");
    chmod((folder.path() / "connig.ini").c_str(), 0);
    ProcessResult r = run_child({"start", folder.path().string()});
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("title: " + kDefaultTitle.toStdString() + "\n")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("referrer: " + kDefaultNumber + "\n")) << r.out;
    // The same file readable makes the edition: the mode is what made the difference.
    chmod((folder.path() / "connig.ini").c_str(), 0644);
    r = run_child({"start", folder.path().string()});
    EXPECT_NE(std::string::npos, r.out.find("referrer: 13911111111\n")) << r.out;
}

}  // namespace
