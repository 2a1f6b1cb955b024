// The program's images, built into the executable as Qt resources.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <string>

namespace qtui {

// The image of that name ("icon", "logo"); a null pixmap for an unknown name.
QPixmap assetPixmap(const std::string& name);
// The window icon of that name; a null icon for an unknown name.
QIcon assetIcon(const std::string& name);

}  // namespace qtui
