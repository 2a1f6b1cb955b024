#include "platform/qt/Assets.h"

#include <QFile>
#include <QImageReader>

// The resources live in a static library: nothing references them, so they must
// be registered by hand. Q_INIT_RESOURCE has to be used outside any namespace.
static void registerAssets() {
  Q_INIT_RESOURCE(assets);
}

namespace qtui {

// Each asset is stored under its name and its format's suffix, and read by the
// reader Qt has built in for that format: asked to find one itself, Qt loads every
// image plugin (gif, ico, jpeg) first, a few milliseconds of the window's start.
QPixmap assetPixmap(const std::string& name) {
  static const bool registered = (registerAssets(), true);
  (void)registered;
  const QString stem = QStringLiteral(":/assets/") + QString::fromStdString(name);
  for (const char* format : {"png", "xpm"}) {
    const QString path = stem + QLatin1Char('.') + QLatin1String(format);
    if (!QFile::exists(path)) continue;
    QImageReader reader(path, format);
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
  }
  return QPixmap();
}

QIcon assetIcon(const std::string& name) {
  const QPixmap pixmap = assetPixmap(name);
  return pixmap.isNull() ? QIcon() : QIcon(pixmap);
}

}  // namespace qtui
