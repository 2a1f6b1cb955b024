// The views of each kind of control (SimpleViews.cpp, ListViews.cpp).
#pragma once

#include <memory>

#include "platform/controls/FileControls.h"
#include "platform/controls/ListBox.h"
#include "platform/qt/View.h"

namespace qtui {

std::unique_ptr<View> makeLabelView(platform::Label& label, QWidget* parent, UpdateQueue& queue);
std::unique_ptr<View> makeButtonView(platform::CommandButton& button, QWidget* parent,
                                     UpdateQueue& queue);
std::unique_ptr<View> makePictureView(platform::PictureBox& picture, QWidget* parent,
                                      UpdateQueue& queue);
std::unique_ptr<View> makeListBoxView(platform::ListBox& list, QWidget* parent, UpdateQueue& queue);
std::unique_ptr<View> makeComboBoxView(platform::ComboBox& combo, QWidget* parent,
                                       UpdateQueue& queue);
std::unique_ptr<View> makeDriveListView(platform::DriveListBox& drives, QWidget* parent,
                                        UpdateQueue& queue);
std::unique_ptr<View> makeDirListView(platform::DirListBox& dirs, QWidget* parent,
                                      UpdateQueue& queue);
std::unique_ptr<View> makeFileListView(platform::FileListBox& files, QWidget* parent,
                                       UpdateQueue& queue);

}  // namespace qtui
