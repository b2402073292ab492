#include "platform/codepage.h"
#include "platform/ui/filedialog.h"
#include "platform/ui/messagebox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace platform;

TEST(MessageBoxService, DoubleRecordsEveryBoxAndAnswersFromItsScript)
{
    ScriptedMessageBoxes boxes;
    boxes.answer(MsgResult::Yes);
    const std::string question = cp932FromUtf8("同じ名前のファイルが存在します。\n上書しますか？");
    EXPECT_EQ(messageBox(question, MsgIcon::Question, MsgButtons::YesNo), MsgResult::Yes);
    EXPECT_EQ(messageBox(question, MsgIcon::Question, MsgButtons::YesNo), MsgResult::No); // script used up
    EXPECT_EQ(messageBox(cp932FromUtf8("多重起動はできません")), MsgResult::Ok);

    ASSERT_EQ(boxes.boxes().size(), 3u);
    EXPECT_EQ(boxes.boxes()[0].text, question);
    EXPECT_EQ(boxes.boxes()[0].icon, MsgIcon::Question);
    EXPECT_EQ(boxes.boxes()[0].buttons, MsgButtons::YesNo);
    // No icon named: the exclamation icon with OK.
    EXPECT_EQ(boxes.boxes()[2].icon, MsgIcon::Exclamation);
    EXPECT_EQ(boxes.boxes()[2].buttons, MsgButtons::Ok);
}

TEST(MessageBoxService, LogWritesOneUtf8LinePerBox)
{
    const fs::path log = fs::temp_directory_path() / ("qv-boxes-" + std::to_string(::getpid()) + ".log");
    fs::remove(log);
    LoggingMessageBoxes logging(log.string());
    MessageBoxService *old = setMessageBoxService(&logging);
    messageBox(cp932FromUtf8("送信失敗しました \n環境を確認してください。"), MsgIcon::Stop);
    EXPECT_EQ(messageBox("?", MsgIcon::Question, MsgButtons::YesNo), MsgResult::Yes);
    setMessageBoxService(old);
    std::ifstream in(log);
    std::string a, b;
    std::getline(in, a);
    std::getline(in, b);
    EXPECT_EQ(a, "stop ok 送信失敗しました \\n環境を確認してください。");
    EXPECT_EQ(b, "question yesno ?");
    fs::remove(log);
}

TEST(MessageBoxService, AnOperatorMessageIsShownWithOkOnlyWhenItHasText)
{
    platform::ScriptedMessageBoxes boxes;
    ShowMessage(OperatorMessage{});
    ShowMessage(WrongFileMessage());
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, platform::cp932FromUtf8("異なるファイルです！"));
    EXPECT_EQ(boxes.boxes()[0].icon, platform::MsgIcon::Stop);
    EXPECT_EQ(boxes.boxes()[0].buttons, platform::MsgButtons::Ok);
}

TEST(FileDialogService, ChoiceMovesTheCurrentDirectoryCancelDoesNot)
{
    std::string start;
    ASSERT_TRUE(currentDirectory(start));
    const fs::path dir = fs::temp_directory_path() / ("qv-filedlg-" + std::to_string(::getpid()));
    fs::create_directories(dir / "sub");

    ScriptedFileDialogs dialogs;
    dialogs.answer((dir / "sub" / "Shop.bmp").string());
    dialogs.answer(std::nullopt);

    FileDialogRequest req;
    req.initialName = "Shop.bmp";
    req.defaultExtension = "bmp";
    req.filter = cp932FromUtf8("イメージファイル (*.bmp)|*.bmp||");
    const auto chosen = runFileDialog(req);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->fileName, "Shop.bmp");
    EXPECT_EQ(chosen->path, (dir / "sub" / "Shop.bmp").string());
    std::string now;
    ASSERT_TRUE(currentDirectory(now));
    EXPECT_EQ(fs::path(now), fs::canonical(dir / "sub"));

    ASSERT_TRUE(setCurrentDirectory(dir.string()));
    EXPECT_FALSE(runFileDialog(req));
    ASSERT_TRUE(currentDirectory(now));
    EXPECT_EQ(fs::path(now), fs::canonical(dir));

    ASSERT_EQ(dialogs.requests().size(), 2u);
    EXPECT_EQ(dialogs.requests()[0].filter, req.filter);

    ASSERT_TRUE(setCurrentDirectory(start));
    fs::remove_all(dir);
}

TEST(FileDialogService, FiltersInThePlatformFormBecomeQtNameFilters)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(qtNameFilters(cp932FromUtf8("店名ロゴファイル形式 (*.slp)|*.slp||")),
              V{cp932FromUtf8("店名ロゴファイル形式 (*.slp)")});
    EXPECT_EQ(qtNameFilters("CSV|*.csv;*.txt|All|*.*||"), (V{"CSV (*.csv *.txt)", "All (*.*)"}));
    EXPECT_EQ(qtNameFilters("*.h"), V{"*.h"});
    EXPECT_EQ(qtNameFilters(""), V{});
}
