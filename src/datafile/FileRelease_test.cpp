#include "datafile/FileRelease.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "datafile/OpenFile.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace brindle {
namespace {

using testing::SavFile;
using testing::TempFile;
using testing::Variable;

SavFile Small() {
  SavFile f;
  f.variables = {Variable::numeric("x", "X")};
  f.cases = {{1.0}, {2.0}};
  return f;
}

struct Opened {
  TempFile file{testing::writeSav(Small())};
  DataFileState state;
  Opened() { EXPECT_EQ(OpenDataFileState(file.path(), state), SPSS_OK); }
};

TEST(FileRelease, UntouchedFileIsHeldAgain) {
  Opened o;
  ASSERT_TRUE(o.state.OpenedIdentity.known);
  EXPECT_EQ(ReopenDataFile(o.state), ReopenOutcome::Unchanged);  // not released: nothing to do
  const std::weak_ptr<SystemFile> held = o.state.File;
  ASSERT_EQ(ReleaseDataFile(o.state), SPSS_OK);
  EXPECT_TRUE(o.state.FileReleased);
  EXPECT_TRUE(o.state.FileOpen());
  EXPECT_EQ(ReleaseDataFile(o.state), SPSS_OK);  // a second release leaves it alone
  EXPECT_TRUE(held.expired());                   // nothing holds the file
  EXPECT_EQ(ReopenDataFile(o.state), ReopenOutcome::Unchanged);
  EXPECT_FALSE(o.state.FileReleased);
  EXPECT_FALSE(o.state.FileStale);
  ASSERT_NE(o.state.File, nullptr);
  EXPECT_EQ(o.state.File->caseCount(), 2);
}

TEST(FileRelease, ChangesWhileReleased) {
  namespace fs = std::filesystem;
  struct Case {
    const char* what;
    std::function<void(const TempFile&)> change;
    ReopenOutcome outcome;
  };
  const std::vector<Case> cases = {
      {"new time stamp",
       [](const TempFile& t) {
         SavFile f = Small();
         f.creationTime = "13:45:11";
         t.write(testing::writeSav(f));
       },
       ReopenOutcome::Changed},
      {"same stamp, one more case",
       [](const TempFile& t) {
         SavFile f = Small();
         f.cases.push_back({3.0});
         t.write(testing::writeSav(f));
       },
       ReopenOutcome::Changed},
      {"same bytes, written again later",
       [](const TempFile& t) {
         const fs::path p(t.path());
         fs::last_write_time(p, fs::last_write_time(p) + std::chrono::seconds(1));
       },
       ReopenOutcome::Changed},
      {"deleted", [](const TempFile& t) { fs::remove(t.path()); }, ReopenOutcome::Failed},
      {"no longer a data file",
       [](const TempFile& t) {
         t.write({'n', 'o', 'p', 'e'});
       },
       ReopenOutcome::Failed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Opened o;
    ASSERT_EQ(ReleaseDataFile(o.state), SPSS_OK);
    c.change(o.file);
    EXPECT_EQ(ReopenDataFile(o.state), c.outcome);
    EXPECT_FALSE(o.state.FileReleased);
    EXPECT_TRUE(o.state.FileStale);
    if (c.outcome == ReopenOutcome::Failed) {
      EXPECT_FALSE(o.state.FileOpen());
    }
  }
}

}  // namespace
}  // namespace brindle
