#include "platform/qt/DefaultFont.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>

namespace qtui {

namespace {

struct Candidate {
  const char* family;
  int pixelSize;
};

// Where distributions put Wine's fonts; none of them is on the font path.
constexpr const char* kWineSansSerifFiles[] = {
    "/usr/share/wine/fonts/ms_sans_serif.ttf",
    "/usr/lib/wine/fonts/ms_sans_serif.ttf",
    "/opt/wine-stable/share/wine/fonts/ms_sans_serif.ttf",
};

constexpr Candidate kCandidates[] = {
    {"MS Sans Serif", 11},
    {"Liberation Sans", 10},
    {"Arimo", 10},
    {"DejaVu Sans Condensed", 10},
};

bool hasFamily(const QString& family) {
  return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

void loadWineSansSerif() {
  if (hasFamily(QStringLiteral("MS Sans Serif"))) return;
  for (const char* path : kWineSansSerifFiles) {
    if (QFile::exists(QString::fromLatin1(path)) &&
        QFontDatabase::addApplicationFont(QString::fromLatin1(path)) >= 0) {
      return;
    }
  }
}

}  // namespace

QFont classicDefaultFont() {
  loadWineSansSerif();
  for (const Candidate& c : kCandidates) {
    const QString family = QString::fromLatin1(c.family);
    if (!hasFamily(family)) continue;
    QFont font(family);
    font.setPixelSize(c.pixelSize);
    // Only take it if the font system really gives us that family.
    if (QFontInfo(font).family().compare(family, Qt::CaseInsensitive) == 0) return font;
  }
  QFont font(QStringLiteral("Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(9);
  return font;
}

}  // namespace qtui
