// The window as laid out: caption, size, the forty controls in tab order.
#include <optional>

#include "MediaTestSupport.h"

namespace {

using mediatest::MediaTest;
using platform::ControlKind;

struct Row {
  int tab;
  const char* name;
  ControlKind kind;
  platform::Rect geometry;
  const char* text;  // caption of a label, pattern of a file list, else ""
  bool sorted = false;
};

constexpr ControlKind kDrive = ControlKind::DriveListBox;
constexpr ControlKind kDir = ControlKind::DirListBox;
constexpr ControlKind kFile = ControlKind::FileListBox;
constexpr ControlKind kList = ControlKind::ListBox;
constexpr ControlKind kLabel = ControlKind::Label;

const Row kLayout[] = {
    {0, "MainDrive1", kDrive, {225, 9660, 2610, 315}, ""},
    {1, "MainDir1", kDir, {210, 10050, 2595, 990}, ""},
    {2, "Label1", kLabel, {240, 9345, 2565, 240}, "Drive scanning:"},
    {3, "Label2", kLabel, {3165, 9345, 1605, 240}, "File Scanning:"},
    {4, "Drive1", kDrive, {3150, 9675, 1875, 315}, ""},
    {5, "File1", kFile, {5160, 9690, 2565, 1260}, "*.avi;*.mpg;*.dat;*.dib"},
    {6, "Dir1", kDir, {3135, 10050, 1860, 990}, ""},
    {7, "ListVideos", kList, {120, 315, 7125, 1035}, "", true},
    {8, "ListFoundIndex", kList, {105, 1710, 7110, 1035}, "", true},
    {9, "ListFoundSounds", kList, {120, 3105, 7110, 1035}, ""},
    {10, "Label4", kLabel, {165, 105, 1215, 225}, "Videos:"},
    {11, "Label5", kLabel, {135, 1470, 1215, 225}, "Index:"},
    {12, "Label6", kLabel, {135, 2880, 1215, 225}, "Sounds:"},
    {13, "ListFoundSlideshows", kList, {120, 4515, 7035, 840}, ""},
    {14, "Label7", kLabel, {150, 4260, 1215, 225}, "Images:"},
    {15, "ListCriteriasPossible", kList, {3180, 5820, 3015, 645}, "", true},
    {16, "Label8", kLabel, {3210, 5535, 2220, 240}, "Possible Criterias:"},
    {17, "ListVerz", kList, {195, 8160, 2970, 645}, "", true},
    {18, "Label10", kLabel, {255, 7890, 1215, 225}, "Video-Menus:"},
    {19, "ListSUBDIRS", kList, {3315, 8190, 1950, 645}, "", true},
    {20, "ListScripts", kList, {165, 6870, 5025, 840}, ""},
    {21, "Label12", kLabel, {3330, 7935, 1965, 225}, "Video-Unterverzeichnisse:"},
    {22, "Label13", kLabel, {180, 6600, 2220, 240}, "Scriptings:"},
    {23, "ListRandomPlaybackVideo", kList, {10920, 345, 3060, 1230}, ""},
    {24, "Label15", kLabel, {10935, 105, 2220, 240}, "Random Playback List Video:"},
    {25, "ListVideosCD", kList, {9720, 9690, 3825, 1230}, "", true},
    {26, "Label3", kLabel, {9750, 9375, 1215, 225}, "Videos-CD:"},
    {27, "FileCDS", kFile, {7830, 9690, 1635, 1260}, "*.*"},
    {28, "Label17", kLabel, {7875, 9420, 1215, 270}, "CDS:"},
    {29, "PlaylistsVIDEO", kFile, {7560, 345, 3120, 1260}, "*.txt"},
    {30, "Label18", kLabel, {7560, 105, 2220, 240}, "Playlists Video:"},
    {31, "ListAllInPlaylists", kList, {8100, 7710, 3120, 840}, ""},
    {32, "ListMediaDirectories", kList, {150, 5820, 2850, 645}, ""},
    {33, "PlaylistsAUDIO", kFile, {7575, 2010, 3135, 1260}, "*.txt"},
    {34, "ListRandomPlaybackAudio", kList, {10965, 2025, 3015, 1230}, ""},
    {35, "PlaylistsSLIDESHOWS", kFile, {7605, 3765, 3120, 1260}, "*.txt"},
    {36, "Label11", kLabel, {165, 5550, 1530, 330}, "Medienverzeichnisse:"},
    {37, "Label14", kLabel, {7575, 1740, 2220, 240}, "Playlists Audio:"},
    {38, "Label16", kLabel, {7605, 3495, 2220, 240}, "Playlists Slideshows:"},
    {39, "Label19", kLabel, {10965, 1770, 2220, 240}, "Random Playback List Audio:"},
};

TEST_F(MediaTest, TheWindowHasItsCaptionSizeAndSizableBorder) {
  EXPECT_EQ(form->name(), "MediaBase");
  EXPECT_EQ(form->Caption(), "RazovUredizi V0.1");
  EXPECT_EQ(form->clientWidth(), 16335);
  EXPECT_EQ(form->clientHeight(), 11460);
  EXPECT_EQ(form->border(), platform::FormBorder::Sizable);
  EXPECT_FALSE(form->Visible());
}

TEST_F(MediaTest, FortyControlsInTabOrderWhereTheLayoutPutsThem) {
  const auto& controls = form->controls();
  ASSERT_EQ(controls.size(), std::size(kLayout));
  for (const Row& row : kLayout) {
    SCOPED_TRACE(row.name);
    const platform::Control* c = controls[static_cast<size_t>(row.tab)];
    EXPECT_EQ(c->name(), row.name);
    EXPECT_EQ(c->tabIndex(), row.tab);
    EXPECT_EQ(c->kind(), row.kind);
    EXPECT_EQ(c->geometry().left, row.geometry.left);
    EXPECT_EQ(c->geometry().top, row.geometry.top);
    EXPECT_EQ(c->geometry().width, row.geometry.width);
    EXPECT_EQ(c->geometry().height, row.geometry.height);
    EXPECT_TRUE(c->Visible());
    EXPECT_TRUE(c->Enabled());
    EXPECT_EQ(form->control(row.name), c);
    switch (row.kind) {
      case kLabel: {
        EXPECT_EQ(static_cast<const platform::Label*>(c)->Caption(), row.text);
        EXPECT_FALSE(c->tabStop);
        break;
      }
      case kFile:
        EXPECT_EQ(static_cast<const platform::FileListBox*>(c)->Pattern(), row.text);
        break;
      case kList: {
        const auto* list = static_cast<const platform::ListBox*>(c);
        EXPECT_EQ(list->Sorted(), row.sorted);
        EXPECT_EQ(list->ListCount(), 0);
        break;
      }
      default: break;
    }
  }
}

TEST_F(MediaTest, TheFileScanningListsAreWhiteWithBlackTextAndTheOthersPlain) {
  const platform::Color white{255, 255, 255};
  const platform::Color black{0, 0, 0};
  for (const platform::Control* c : form->controls()) {
    SCOPED_TRACE(c->name());
    const bool fileScanning = c == &form->Drive1 || c == &form->Dir1 || c == &form->File1;
    if (fileScanning) {
      EXPECT_EQ(c->backColor, std::optional(white));
      EXPECT_EQ(c->foreColor, std::optional(black));
    } else {
      EXPECT_FALSE(c->backColor.has_value());
      EXPECT_FALSE(c->foreColor.has_value());
    }
    EXPECT_EQ(c->toolTipText, c == &form->Dir1 ? "select dir" : "");
  }
}

TEST_F(MediaTest, OnlyDrive1AndDir1HaveChangeHandlers) {
  EXPECT_TRUE(form->Drive1.onChange);
  EXPECT_TRUE(form->Dir1.onChange);
  EXPECT_FALSE(form->MainDrive1.onChange);
  EXPECT_FALSE(form->MainDir1.onChange);
  for (const platform::Control* c : form->controls()) EXPECT_FALSE(c->onClick) << c->name();
}

TEST_F(MediaTest, TheDriveDirectoryAndFileListsStartOnTheCurrentDirectory) {
  EXPECT_EQ(form->Drive1.Drive(), form->MainDrive1.Drive());
  EXPECT_EQ(form->Dir1.Path(), form->MainDir1.Path());
  EXPECT_EQ(form->File1.Path(), form->Dir1.Path());
  EXPECT_EQ(form->Dir1.Path().substr(0, 2), form->Drive1.Drive());
}

TEST(MediaBaseInstanceTest, ThereIsOneWindowAndNothingCreatesItUnasked) {
  EXPECT_EQ(media::mediaBaseWindow(), nullptr);
  media::MediaBase& first = media::createMediaBase();
  EXPECT_EQ(&media::createMediaBase(), &first);
  EXPECT_EQ(media::mediaBaseWindow(), &first);
  EXPECT_FALSE(first.Visible());
  media::destroyMediaBase();
  EXPECT_EQ(media::mediaBaseWindow(), nullptr);
}

}  // namespace
