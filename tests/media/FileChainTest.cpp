// Drive1 -> Dir1 -> File1, and the file patterns of the window's file lists.
#include "MediaTestSupport.h"
#include "platform/controls/FileControls.h"

namespace {

using mediatest::MediaTest;
using Entries = std::vector<std::string>;

class FileChainTest : public MediaTest {
 protected:
  void SetUp() override {
    MediaTest::SetUp();
    for (const char* name :
         {"b.AVI", "a.mpg", "c.txt", "d.Dat", "e.dib", "f.avi.txt", "g", "h.avix", ".dat"}) {
      rootD.file(name);
    }
    rootD.file("Filme/z.avi");
    rootD.dir("Leer");
    rootD.file("Leer/nur.txt");
  }
};

TEST_F(FileChainTest, ChangingDrive1MovesDir1AndFile1AndSelectsTheFirstFile) {
  form->Drive1.setDrive("D:");
  EXPECT_EQ(form->Dir1.Path(), "D:\\");
  EXPECT_EQ(form->File1.Path(), "D:\\");
  EXPECT_EQ(form->File1.names().strings(), (Entries{".dat", "a.mpg", "b.AVI", "d.Dat", "e.dib"}));
  EXPECT_TRUE(form->File1.Selected(0));
  EXPECT_EQ(form->File1.ListIndex(), 0);
}

TEST_F(FileChainTest, Dir1ChangeMakesFile1FollowAndSelectsItsFirstFile) {
  form->Dir1.setPath("D:\\Filme");
  EXPECT_EQ(form->File1.Path(), "D:\\Filme");
  EXPECT_EQ(form->File1.names().strings(), Entries{"z.avi"});
  EXPECT_TRUE(form->File1.Selected(0));
  EXPECT_EQ(form->File1.ListIndex(), 0);
}

TEST_F(FileChainTest, WithoutAMatchingFileNothingIsSelected) {
  form->Dir1.setPath("D:\\Filme");
  form->Dir1.setPath("D:\\Leer");
  EXPECT_EQ(form->File1.Path(), "D:\\Leer");
  EXPECT_EQ(form->File1.ListCount(), 0);
  EXPECT_EQ(form->File1.ListIndex(), -1);
}

TEST_F(FileChainTest, AHiddenFile1FollowsButSelectsNothing) {
  form->File1.setVisible(false);
  form->Drive1.setDrive("D:");
  EXPECT_EQ(form->File1.Path(), "D:\\");
  EXPECT_EQ(form->File1.ListCount(), 5);
  EXPECT_FALSE(form->File1.Selected(0));
  EXPECT_EQ(form->File1.ListIndex(), -1);
}

TEST_F(FileChainTest, MainDrive1DoesNotMoveMainDir1) {
  const std::string before = form->MainDir1.Path();
  form->MainDrive1.setDrive("D:");
  EXPECT_EQ(form->MainDrive1.Drive(), "D:");
  EXPECT_EQ(form->MainDir1.Path(), before);
  // And MainDir1 moves nothing else.
  form->MainDir1.setPath("D:\\Filme");
  EXPECT_NE(form->File1.Path(), "D:\\Filme");
  EXPECT_NE(form->Dir1.Path(), "D:\\Filme");
}

TEST_F(FileChainTest, PlaylistListsShowTextFilesAndFileCdsEveryFile) {
  for (platform::FileListBox* list :
       {&form->PlaylistsVIDEO, &form->PlaylistsAUDIO, &form->PlaylistsSLIDESHOWS}) {
    list->setPath("D:\\");
    EXPECT_EQ(list->names().strings(), (Entries{"c.txt", "f.avi.txt"})) << list->name();
  }
  form->FileCDS.setPath("D:\\");
  EXPECT_EQ(form->FileCDS.ListCount(), 9);
}
}  // namespace
