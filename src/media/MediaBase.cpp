// MediaBase: the window with its controls, the single instance and the change
// handlers of the Drive1 / Dir1 / File1 chain.
#include "media/MediaBase.h"

#include <initializer_list>
#include <memory>

namespace media {

namespace {

constexpr platform::Color kWhite{255, 255, 255};
constexpr platform::Color kBlack{0, 0, 0};

constexpr bool kSorted = true;

std::unique_ptr<MediaBase>& instance() {
  static std::unique_ptr<MediaBase> form;
  return form;
}

}  // namespace

MediaBase::MediaBase()
    : platform::Form("MediaBase", "RazovUredizi V0.1", 16335, 11460, platform::FormBorder::Sizable),
      MainDrive1("MainDrive1", {225, 9660, 2610, 315}, 0),
      MainDir1("MainDir1", {210, 10050, 2595, 990}, 1),
      Label1("Label1", {240, 9345, 2565, 240}, 2, "Drive scanning:"),
      Label2("Label2", {3165, 9345, 1605, 240}, 3, "File Scanning:"),
      Drive1("Drive1", {3150, 9675, 1875, 315}, 4),
      File1("File1", {5160, 9690, 2565, 1260}, 5, "*.avi;*.mpg;*.dat;*.dib"),
      Dir1("Dir1", {3135, 10050, 1860, 990}, 6),
      ListVideos("ListVideos", {120, 315, 7125, 1035}, 7, kSorted),
      ListFoundIndex("ListFoundIndex", {105, 1710, 7110, 1035}, 8, kSorted),
      ListFoundSounds("ListFoundSounds", {120, 3105, 7110, 1035}, 9),
      Label4("Label4", {165, 105, 1215, 225}, 10, "Videos:"),
      Label5("Label5", {135, 1470, 1215, 225}, 11, "Index:"),
      Label6("Label6", {135, 2880, 1215, 225}, 12, "Sounds:"),
      ListFoundSlideshows("ListFoundSlideshows", {120, 4515, 7035, 840}, 13),
      Label7("Label7", {150, 4260, 1215, 225}, 14, "Images:"),
      ListCriteriasPossible("ListCriteriasPossible", {3180, 5820, 3015, 645}, 15, kSorted),
      Label8("Label8", {3210, 5535, 2220, 240}, 16, "Possible Criterias:"),
      ListVerz("ListVerz", {195, 8160, 2970, 645}, 17, kSorted),
      Label10("Label10", {255, 7890, 1215, 225}, 18, "Video-Menus:"),
      ListSUBDIRS("ListSUBDIRS", {3315, 8190, 1950, 645}, 19, kSorted),
      ListScripts("ListScripts", {165, 6870, 5025, 840}, 20),
      Label12("Label12", {3330, 7935, 1965, 225}, 21, "Video-Unterverzeichnisse:"),
      Label13("Label13", {180, 6600, 2220, 240}, 22, "Scriptings:"),
      ListRandomPlaybackVideo("ListRandomPlaybackVideo", {10920, 345, 3060, 1230}, 23),
      Label15("Label15", {10935, 105, 2220, 240}, 24, "Random Playback List Video:"),
      ListVideosCD("ListVideosCD", {9720, 9690, 3825, 1230}, 25, kSorted),
      Label3("Label3", {9750, 9375, 1215, 225}, 26, "Videos-CD:"),
      FileCDS("FileCDS", {7830, 9690, 1635, 1260}, 27),
      Label17("Label17", {7875, 9420, 1215, 270}, 28, "CDS:"),
      PlaylistsVIDEO("PlaylistsVIDEO", {7560, 345, 3120, 1260}, 29, "*.txt"),
      Label18("Label18", {7560, 105, 2220, 240}, 30, "Playlists Video:"),
      ListAllInPlaylists("ListAllInPlaylists", {8100, 7710, 3120, 840}, 31),
      ListMediaDirectories("ListMediaDirectories", {150, 5820, 2850, 645}, 32),
      PlaylistsAUDIO("PlaylistsAUDIO", {7575, 2010, 3135, 1260}, 33, "*.txt"),
      ListRandomPlaybackAudio("ListRandomPlaybackAudio", {10965, 2025, 3015, 1230}, 34),
      PlaylistsSLIDESHOWS("PlaylistsSLIDESHOWS", {7605, 3765, 3120, 1260}, 35, "*.txt"),
      Label11("Label11", {165, 5550, 1530, 330}, 36, "Medienverzeichnisse:"),
      Label14("Label14", {7575, 1740, 2220, 240}, 37, "Playlists Audio:"),
      Label16("Label16", {7605, 3495, 2220, 240}, 38, "Playlists Slideshows:"),
      Label19("Label19", {10965, 1770, 2220, 240}, 39, "Random Playback List Audio:") {
  for (platform::Control* c : std::initializer_list<platform::Control*>{&Drive1, &File1, &Dir1}) {
    c->backColor = kWhite;
    c->foreColor = kBlack;
  }
  Dir1.toolTipText = "select dir";

  // clang-format off
  platform::Control* const tabOrder[] = {
      &MainDrive1, &MainDir1, &Label1, &Label2, &Drive1, &File1, &Dir1, &ListVideos,
      &ListFoundIndex, &ListFoundSounds, &Label4, &Label5, &Label6, &ListFoundSlideshows,
      &Label7, &ListCriteriasPossible, &Label8, &ListVerz, &Label10, &ListSUBDIRS,
      &ListScripts, &Label12, &Label13, &ListRandomPlaybackVideo, &Label15, &ListVideosCD,
      &Label3, &FileCDS, &Label17, &PlaylistsVIDEO, &Label18, &ListAllInPlaylists,
      &ListMediaDirectories, &PlaylistsAUDIO, &ListRandomPlaybackAudio, &PlaylistsSLIDESHOWS,
      &Label11, &Label14, &Label16, &Label19};
  // clang-format on
  for (platform::Control* c : tabOrder) addControl(*c);

  // MainDrive1 and MainDir1 have no handlers: ScanDrive moves MainDir1 itself.
  Drive1.onChange = [this] { Drive1_Change(); };
  Dir1.onChange = [this] { Dir1_Change(); };
}

void MediaBase::Drive1_Change() {
  Dir1.setPath(Drive1.Drive());
}

void MediaBase::Dir1_Change() {
  File1.setPath(Dir1.Path());
  if (File1.Visible()) {
    if (File1.ListCount() > 0) File1.setSelected(0, true);
    if (File1.ListCount() > 0) File1.setListIndex(0);
  }
}

MediaBase* mediaBaseWindow() {
  return instance().get();
}

MediaBase& createMediaBase() {
  if (!instance()) instance() = std::make_unique<MediaBase>();
  return *instance();
}

void destroyMediaBase() {
  instance().reset();
}

}  // namespace media
