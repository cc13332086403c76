#include "launch/OpenCommand.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace brindle {
namespace {

namespace fs = std::filesystem;

// A private XDG tree: config home, one config dir, data home, two data dirs.
class XdgTree : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("brindle-xdg-" + std::to_string(std::random_device{}()));
    folders.configHome = (root / "config").string();
    folders.configDirs = {(root / "etc").string()};
    folders.dataHome = (root / "local").string();
    folders.dataDirs = {(root / "usrlocal").string(), (root / "usr").string()};
    folders.desktops = {"gnome"};
  }
  void TearDown() override { fs::remove_all(root); }

  void Write(const std::string& relative, const std::string& text) {
    const fs::path path = root / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
  }
  // An application entry in the system data folder.
  void App(const std::string& id, const std::string& exec, const std::string& extra = "") {
    Write("usr/applications/" + id, "[Desktop Entry]\nType=Application\nName=" + id +
                                        "\nExec=" + exec + "\nMimeType=" + extra + "\n");
  }

  fs::path root;
  XdgFolders folders;
};

TEST_F(XdgTree, TheDefaultEntryGivesItsExecLineUpToTheFieldCode) {
  App("stats.desktop", "/opt/stats/bin/stats --open %f --quiet", "application/x-spss-sav;");
  App("other.desktop", "other %U", "application/x-spss-sav;");
  Write("config/mimeapps.list", "[Default Applications]\napplication/x-spss-sav=stats.desktop;\n");
  EXPECT_EQ(GetOpenCommand("/data/a b.sav", folders), "/opt/stats/bin/stats --open");
  // The user's default beats the system's, a desktop-specific list beats both.
  Write("usr/applications/mimeapps.list",
        "[Default Applications]\napplication/x-spss-sav=other.desktop\n");
  EXPECT_EQ(GetOpenCommand("a.sav", folders), "/opt/stats/bin/stats --open");
  Write("config/gnome-mimeapps.list",
        "[Default Applications]\napplication/x-spss-sav=other.desktop\n");
  EXPECT_EQ(GetOpenCommand("a.sav", folders), "other");
}

TEST_F(XdgTree, BrindleAsTheDefaultGivesTheNextAssociatedApplication) {
  App("brindle.desktop", "brindle %f", "application/x-spss-sav;");
  App("renamed-viewer.desktop", "/usr/local/bin/brindle %f", "application/x-spss-sav;");
  App("hidden.desktop", "hidden %f\nHidden=true", "application/x-spss-sav;");
  App("pspp.desktop", "psppire %F", "application/x-spss-sav;");
  Write("config/mimeapps.list",
        "[Default Applications]\napplication/x-spss-sav=brindle.desktop;hidden.desktop\n");
  EXPECT_EQ(
      AssociatedDesktopIds(folders, kSavMimeType),
      (std::vector<std::string>{"brindle.desktop", "pspp.desktop", "renamed-viewer.desktop"}));
  EXPECT_EQ(GetOpenCommand("a.sav", folders), "psppire");
  // An added association of the user comes before the entries that merely list the type;
  // a removed one is never taken.
  App("late.desktop", "late-app", "");
  Write("config/mimeapps.list",
        "[Default Applications]\napplication/x-spss-sav=brindle.desktop\n"
        "[Added Associations]\napplication/x-spss-sav=late.desktop;\n"
        "[Removed Associations]\napplication/x-spss-sav=pspp.desktop;\n");
  EXPECT_EQ(
      AssociatedDesktopIds(folders, kSavMimeType),
      (std::vector<std::string>{"brindle.desktop", "late.desktop", "renamed-viewer.desktop"}));
  EXPECT_EQ(GetOpenCommand("a.sav", folders), "late-app");
}

TEST_F(XdgTree, NoAssociationGivesAnEmptyCommand) {
  EXPECT_EQ(GetOpenCommand("a.sav", folders), "");
  App("brindle.desktop", "brindle %f", "application/x-spss-sav;");
  App("text.desktop", "editor %f", "text/plain;");
  // A default naming an entry that is not installed is passed over.
  Write("config/mimeapps.list", "[Default Applications]\napplication/x-spss-sav=gone.desktop\n");
  EXPECT_EQ(GetOpenCommand("a.sav", folders), "");
}

TEST_F(XdgTree, ExecWithoutFieldCodeIsUsedWholeAndSubfolderIdsResolve) {
  Write("local/applications/vendor/stats.desktop",
        "# comment\n[Desktop Entry]\nExec=\"/opt/My Stats/run\" --flag\\s2  "
        "\nMimeType=application/x-spss-sav\n"
        "[Desktop Action new]\nExec=ignored %f\n");
  Write("etc/mimeapps.list",
        "[Default Applications]\napplication/x-spss-sav=vendor-stats.desktop\n");
  const std::string command = GetOpenCommand("a.sav", folders);
  EXPECT_EQ(command, "\"/opt/My Stats/run\" --flag 2");
  EXPECT_EQ(SplitExecLine(command), (std::vector<std::string>{"/opt/My Stats/run", "--flag", "2"}));
}

TEST(ExecLine, FieldCodesAndQuoting) {
  struct Case {
    const char* exec;
    const char* upToFieldCode;
    std::vector<std::string> argv;  // of the part up to the field code
  } cases[] = {
      {"app %f", "app", {"app"}},
      {"app --rate 50%% %U", "app --rate 50%%", {"app", "--rate", "50%"}},
      {"app %i --x %u tail", "app %i --x", {"app", "--x"}},
      {"\"a \\\"b\\\" \\\\c\" \"\" d", "\"a \\\"b\\\" \\\\c\" \"\" d", {"a \"b\" \\c", "", "d"}},
      {"%F", "", {}},
      {"   ", "", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExecUpToFieldCode(c.exec), c.upToFieldCode) << c.exec;
    EXPECT_EQ(SplitExecLine(ExecUpToFieldCode(c.exec)), c.argv) << c.exec;
  }
}

}  // namespace
}  // namespace brindle
