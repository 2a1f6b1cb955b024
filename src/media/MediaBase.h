// The media catalogue window: looks for marker directories ("!media-audio...",
// "!media-video...", "!media-image...") directly below the drive roots, takes the
// media lines of the media list file, and builds the list of distinct folder names
// of a list of file paths.
//
// The window keeps no state of its own beyond its controls. Nothing of the disk
// scanner opens it; whoever creates it gets the controls in their design-time
// state. Every operation runs to its end without yielding to the event loop, and
// none catches errors: a numbered error (platform::RuntimeError) ends the operation
// where it occurs and passes to the caller, and what was appended before stays.
#pragma once

#include <string>

#include "platform/controls/FileControls.h"
#include "platform/controls/Form.h"
#include "platform/controls/ListBox.h"

namespace media {

class MediaBase : public platform::Form {
 public:
  MediaBase();

  // Clears ListSUBDIRS and ListVerz, then, for each entry of ListQUELLE (read
  // only; the count is taken once, after the clearing) whose holding folder has a
  // name: appends the key "\" + UCase(name) to ListSUBDIRS unless that exact key is
  // there already, and with it the folder's path (no final "\") to ListVerz. The
  // first entry with a given key decides the path. Both lists are sorted, so they
  // are not index-aligned. Entries without a folder name are skipped.
  void SCANsubdirMENUS(const platform::ListBox& ListQUELLE);

  // The name of the folder that holds DateiMitPfad: "C:\Musik\Rock\song.mp3" ->
  // "Rock", "Musik\song.mp3" -> "Musik", "C:\Musik\Rock\" -> "Musik". A file
  // directly in a drive root gives the root itself, "C:\song.mp3" -> "C:\" (and
  // "\song.mp3" -> "\"); a path without a backslash before its final character
  // gives "". Never fails.
  std::string ExtractUnterverzeichnis(const std::string& DateiMitPfad);

  // Replaces the contents of ZielListe with the marker-directory entries of every
  // drive of app::ScanDrives, in that order, followed by the media lines of the
  // file app::MediaListFileName (read in the ANSI code page): each line that begins with
  // "!media-" or "mv=" (ignoring case), exactly as read, unless an entry of the
  // list already begins with it (ignoring case). With no scan drives the file is
  // still read.
  // Errors: a drive root that cannot be listed stops there (later drives and the
  // file are skipped); a file that is missing (53) or unreadable stops before its
  // first line. The file is closed again on every path.
  void GETmediaDIRECTORIES(platform::ListBox& ZielListe);

  // Points MainDir1 at the root of Driveletter ("C:", no backslash) and appends
  // "!media-audio=", "!media-video=" or "!media-image=" followed by the lower-cased
  // full path for every subdirectory of the root whose name begins, ignoring case,
  // with "!media-audio", "!media-video" or "!media-image". Appends without clearing
  // and without looking for duplicates; MainDir1 is left on the root. Raises the
  // directory list's error (419, 76, 68, ...) when the root cannot be listed.
  void ScanDrive(const std::string& Driveletter, platform::ListBox& ZielListe);

  // Change handlers, wired to Drive1.onChange and Dir1.onChange.
  // Dir1 follows Drive1 (to that drive's current directory).
  void Drive1_Change();
  // File1 follows Dir1; when File1 is visible and lists a file, the first file
  // becomes selected and current.
  void Dir1_Change();

  // Controls in tab order.
  platform::DriveListBox MainDrive1;
  platform::DirListBox MainDir1;
  platform::Label Label1;
  platform::Label Label2;
  platform::DriveListBox Drive1;
  platform::FileListBox File1;
  platform::DirListBox Dir1;
  platform::ListBox ListVideos;
  platform::ListBox ListFoundIndex;
  platform::ListBox ListFoundSounds;
  platform::Label Label4;
  platform::Label Label5;
  platform::Label Label6;
  platform::ListBox ListFoundSlideshows;
  platform::Label Label7;
  platform::ListBox ListCriteriasPossible;
  platform::Label Label8;
  platform::ListBox ListVerz;
  platform::Label Label10;
  platform::ListBox ListSUBDIRS;
  platform::ListBox ListScripts;
  platform::Label Label12;
  platform::Label Label13;
  platform::ListBox ListRandomPlaybackVideo;
  platform::Label Label15;
  platform::ListBox ListVideosCD;
  platform::Label Label3;
  platform::FileListBox FileCDS;
  platform::Label Label17;
  platform::FileListBox PlaylistsVIDEO;
  platform::Label Label18;
  platform::ListBox ListAllInPlaylists;
  platform::ListBox ListMediaDirectories;
  platform::FileListBox PlaylistsAUDIO;
  platform::ListBox ListRandomPlaybackAudio;
  platform::FileListBox PlaylistsSLIDESHOWS;
  platform::Label Label11;
  platform::Label Label14;
  platform::Label Label16;
  platform::Label Label19;
};

// The one media catalogue window of the run; nullptr until someone creates it.
MediaBase* mediaBaseWindow();
// Creates the window (not shown) unless it exists; returns it.
MediaBase& createMediaBase();
// Destroys the window, so that the next createMediaBase starts afresh (tests).
void destroyMediaBase();

}  // namespace media
