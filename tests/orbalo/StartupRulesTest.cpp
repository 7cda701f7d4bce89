// The per-run folder name and paths, "basepath.txt" text, the removal guard
// and the exact stage failure messages.
#include <gtest/gtest.h>

#include "win/projector/package/StartupRules.h"

namespace kw::orbalo {
namespace {

TEST(PerRunFolder, NameTakesMultiplesOfTheLow16BitsOfTheSeedModulo36) {
  EXPECT_EQ(PerRunFolderName(7), "HOV29");
  EXPECT_EQ(PerRunFolderName(0), "AAAAA");
  EXPECT_EQ(PerRunFolderName(1), "BCDEF");
  EXPECT_EQ(PerRunFolderName(36), "AAAAA");
  EXPECT_EQ(PerRunFolderName(65535), PerRunFolderName(65535 % 36 + 36 * 5));
  EXPECT_EQ(PerRunFolderName(0x10007), "HOV29");
  EXPECT_EQ(PerRunFolderName(0xFFFF0000u), "AAAAA");
  EXPECT_EQ(PerRunFolderPath("C:\\TEMP\\", 7), "C:\\TEMP\\HOV29TMP\\");
  EXPECT_EQ(kInvalidPath, "\\\\INVALID_PATH\\");
}

TEST(PerRunFolder, RemovalStaysInsideTheTemporaryPath) {
  EXPECT_TRUE(IsInsideTempPath("C:\\TEMP\\HOV29TMP\\", "C:\\TEMP\\"));
  EXPECT_TRUE(IsInsideTempPath("C:\\TEMP\\HOV29TMP\\fscommand\\", "C:\\TEMP\\"));
  EXPECT_FALSE(IsInsideTempPath(kInvalidPath, "C:\\TEMP\\"));
  EXPECT_FALSE(IsInsideTempPath("C:\\TEM", "C:\\TEMP\\"));
  EXPECT_FALSE(IsInsideTempPath("c:\\temp\\X\\", "C:\\TEMP\\")) << "a byte comparison, case counts";
  EXPECT_FALSE(IsInsideTempPath("C:\\", "")) << "an unknown temporary path protects everything";
}

TEST(BasePath, KeepsTheProjectorFolderWithItsBackslash) {
  EXPECT_EQ(BasePathText("D:\\show\\run.exe"), "basepath=D:\\show\\");
  EXPECT_EQ(BasePathText("E:\\run.exe"), "basepath=E:\\");
  EXPECT_EQ(BasePathText("run.exe"), "basepath=");
}

TEST(StageMessages, EachFailingStageHasItsExactText) {
  EXPECT_EQ(StageFailureMessage(kStageUnpack), "Unable to load configuration.");
  EXPECT_EQ(StageFailureMessage(kStageBackgroundWindow), "Unable to create background window.");
  EXPECT_EQ(StageFailureMessage(kStagePlayerStart), "Unable to load swf.");
  EXPECT_EQ(StageFailureMessage(kStageDisplaySwitch), "Unable to switch to fullscreen mode.");
  EXPECT_EQ(StageFailureMessage(kStageRunning), "");
  EXPECT_EQ(StageFailureMessage(-1), "");
}

}  // namespace
}  // namespace kw::orbalo
