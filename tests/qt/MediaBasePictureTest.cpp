// The media catalogue window as the Qt views draw it, on Qt's offscreen platform:
// every control where the layout puts it, every caption whole, and a picture.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QListWidget>
#include <QPalette>
#include <QWidget>

#include "QtTestHost.h"
#include "media/MediaBase.h"
#include "media/MediaTestSupport.h"
#include "platform/qt/FormWindow.h"
#include "platform/qt/Twips.h"
#include "platform/qt/Widgets.h"
#include "platform/runtime/Runtime.h"
#include "support/TestSupport.h"

namespace {

class MediaBasePicture : public mediatest::MediaTest {
 protected:
  void SetUp() override {
    qttest::host();
    platform::resetProgramEnded();
    MediaTest::SetUp();

    // C: holds two marker directories and the media list file, D: a few films.
    rootC.dir("!media-video Urlaub");
    rootC.dir("!Media-Audio-Rock");
    rootC.dir("Daten");
    writeMediaList("!media-image=E:\\Bilder\\Sommer\r\nmv=Film am Sonntag\r\nKommentar\r\n");
    rootD.file("a.avi");
    rootD.file("b.mpg");
    rootD.file("liesmich.txt");
    rootD.dir("Filme");

    form->GETmediaDIRECTORIES(form->ListMediaDirectories);
    for (const char* path : {"C:\\Musik\\Rock\\song.mp3", "C:\\Filme\\Urlaub\\strand.avi",
                             "D:\\Archiv\\rock\\alt.mp3"}) {
      form->ListAllInPlaylists.AddItem(path);
    }
    form->SCANsubdirMENUS(form->ListAllInPlaylists);
    form->Drive1.setDrive("D:");

    form->Show();
    window = qttest::host().window(*form);
    ASSERT_NE(window, nullptr);
    qttest::host().flush();
  }

  void TearDown() override {
    if (form) qttest::host().releaseForm(*form);
    MediaTest::TearDown();
    platform::resetProgramEnded();
  }

  template <typename W = QWidget>
  W* widget(const std::string& name) const {
    W* w = window->findChild<W*>(QString::fromStdString(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }

  static QStringList texts(const QListWidget& list) {
    QStringList rows;
    for (int i = 0; i < list.count(); ++i) rows.append(list.item(i)->text());
    return rows;
  }

  qtui::FormWindow* window = nullptr;
};

TEST_F(MediaBasePicture, IsASizableWindowOfTheDesignedSize) {
  EXPECT_EQ(window->windowTitle(), QStringLiteral("RazovUredizi V0.1"));
  EXPECT_EQ(window->size(), QSize(1089, 764));
  EXPECT_NE(window->minimumSize(), window->maximumSize());
}

TEST_F(MediaBasePicture, EveryControlStandsWhereTheLayoutPutsIt) {
  ASSERT_EQ(form->controls().size(), 40u);
  for (const platform::Control* control : form->controls()) {
    QWidget* w = widget(control->name());
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->geometry(), qtui::toPixels(control->geometry())) << control->name();
    EXPECT_TRUE(w->isVisible()) << control->name();
    EXPECT_TRUE(w->isEnabled()) << control->name();
    EXPECT_TRUE(window->rect().contains(w->geometry())) << control->name();
  }
}

TEST_F(MediaBasePicture, EveryCaptionIsWholeOnOneLine) {
  const QFontMetrics metrics(window->font());
  int labels = 0;
  for (const platform::Control* control : form->controls()) {
    if (control->kind() != platform::ControlKind::Label) continue;
    ++labels;
    auto* label = widget<qtui::CaptionLabel>(control->name());
    ASSERT_NE(label, nullptr);
    const auto& caption = static_cast<const platform::Label*>(control)->Caption();
    EXPECT_EQ(label->text().toStdString(), caption);
    const QStringList lines = label->lines();
    ASSERT_EQ(lines.size(), 1) << control->name() << ": "
                               << lines.join(QStringLiteral(" | ")).toStdString();
    EXPECT_EQ(lines.front().toStdString(), caption);
    const QRect box = label->contentsRect();
    EXPECT_LE(metrics.horizontalAdvance(lines.front()), box.width()) << control->name();
    EXPECT_LE(metrics.height(), box.height()) << control->name();
  }
  EXPECT_EQ(labels, 18);
}

TEST_F(MediaBasePicture, TheFileScanningListsAreWhiteWithBlackText) {
  for (const char* name : {"Drive1", "Dir1", "File1"}) {
    QWidget* w = widget(name);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->palette().color(QPalette::Base), QColor(255, 255, 255)) << name;
    EXPECT_EQ(w->palette().color(QPalette::Text), QColor(0, 0, 0)) << name;
  }
  EXPECT_EQ(widget("Dir1")->toolTip(), QStringLiteral("select dir"));
}

TEST_F(MediaBasePicture, TheListsShowWhatTheOperationsPutIntoThem) {
  EXPECT_EQ(texts(*widget<QListWidget>("ListMediaDirectories")),
            (QStringList{QStringLiteral("!media-audio=c:\\!media-audio-rock"),
                         QStringLiteral("!media-video=c:\\!media-video urlaub"),
                         QStringLiteral("!media-image=E:\\Bilder\\Sommer"),
                         QStringLiteral("mv=Film am Sonntag")}));
  EXPECT_EQ(texts(*widget<QListWidget>("ListSUBDIRS")),
            (QStringList{QStringLiteral("\\ROCK"), QStringLiteral("\\URLAUB")}));
  EXPECT_EQ(texts(*widget<QListWidget>("ListVerz")),
            (QStringList{QStringLiteral("C:\\Filme\\Urlaub"), QStringLiteral("C:\\Musik\\Rock")}));
  QStringList files = texts(*widget<QListWidget>("File1"));
  files.sort();
  EXPECT_EQ(files, (QStringList{QStringLiteral("a.avi"), QStringLiteral("b.mpg")}));
}

TEST_F(MediaBasePicture, Picture) {
  const auto path = testsupport::testOutputDir() / "media-base.png";
  ASSERT_TRUE(window->grab().save(QString::fromStdString(path.string()))) << path;
}

}  // namespace
