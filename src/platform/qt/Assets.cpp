#include "platform/qt/Assets.h"

#include <QFile>

// The resources live in a static library: nothing references them, so they must
// be registered by hand. Q_INIT_RESOURCE has to be used outside any namespace.
static void registerAssets() {
  Q_INIT_RESOURCE(assets);
}

namespace qtui {

namespace {

QString resourcePath(const std::string& name) {
  static const bool registered = (registerAssets(), true);
  (void)registered;
  return QStringLiteral(":/assets/") + QString::fromStdString(name);
}

}  // namespace

QPixmap assetPixmap(const std::string& name) {
  const QString path = resourcePath(name);
  return QFile::exists(path) ? QPixmap(path) : QPixmap();
}

QIcon assetIcon(const std::string& name) {
  const QPixmap pixmap = assetPixmap(name);
  return pixmap.isNull() ? QIcon() : QIcon(pixmap);
}

}  // namespace qtui
