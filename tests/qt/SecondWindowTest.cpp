// A sizable window whose drive, directory and file lists are visible, as on the
// media catalogue: the lists must draw what their models list.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QListWidget>
#include <QTimer>

#include "QtTestHost.h"
#include "platform/controls/FileControls.h"
#include "platform/controls/Form.h"
#include "platform/controls/ListBox.h"
#include "platform/drives/Drives.h"
#include "platform/qt/FormWindow.h"
#include "platform/runtime/Runtime.h"
#include "support/TestSupport.h"

namespace {

class Catalogue : public platform::Form {
 public:
  Catalogue()
      : platform::Form("Catalogue", "RazovUredizi V0.1", 16335, 11460,
                       platform::FormBorder::Sizable),
        Drive1("Drive1", {3150, 9675, 1875, 315}, 4),
        File1("File1", {5160, 9690, 2565, 1260}, 5, "*.avi;*.mpg"),
        Dir1("Dir1", {3135, 10050, 1860, 990}, 6),
        ListVideos("ListVideos", {120, 315, 7125, 1035}, 7, true),
        Combo("Combo", {3180, 5820, 3015, 315}, 8, true) {
    for (platform::Control* c :
         std::initializer_list<platform::Control*>{&Drive1, &File1, &Dir1, &ListVideos, &Combo}) {
      addControl(*c);
    }
    Dir1.toolTipText = "select dir";
    Drive1.onChange = [this] { Dir1.setPath(Drive1.Drive()); };
    Dir1.onChange = [this] { File1.setPath(Dir1.Path()); };
  }

  platform::DriveListBox Drive1;
  platform::FileListBox File1;
  platform::DirListBox Dir1;
  platform::ListBox ListVideos;
  platform::ComboBox Combo;
};

QStringList texts(const QListWidget& list) {
  QStringList rows;
  for (int i = 0; i < list.count(); ++i) rows.append(list.item(i)->text());
  return rows;
}

class SecondWindow : public testing::Test {
 protected:
  void SetUp() override {
    qttest::host();
    platform::resetProgramEnded();
    tree.dir("Filme/!media-video Urlaub");
    tree.dir("Filme/Ärger");
    tree.file("Filme/b.mpg");
    tree.file("Filme/a.avi");
    tree.file("Filme/liesmich.txt");
    filme = platform::systemDrives().hostToView((tree.path() / "Filme").string());
    form.Dir1.setPath(filme);
    form.Show();
    window = qttest::host().window(form);
    ASSERT_NE(window, nullptr);
    qttest::host().flush();
  }

  void TearDown() override { qttest::host().releaseForm(form); }

  template <typename W>
  W* widget(const char* name) const {
    W* w = window->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }

  testsupport::TempDir tree;
  std::string filme;
  Catalogue form;
  qtui::FormWindow* window = nullptr;
};

TEST_F(SecondWindow, IsASizableWindow) {
  EXPECT_EQ(window->size(), QSize(1089, 764));
  EXPECT_NE(window->minimumSize(), window->maximumSize());
  EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(window->windowTitle(), QStringLiteral("RazovUredizi V0.1"));
  EXPECT_EQ(widget<QListWidget>("Dir1")->geometry(), QRect(209, 670, 124, 66));
}

TEST_F(SecondWindow, TheDirectoryListShowsThePathAndItsSubdirectories) {
  auto* dirs = widget<QListWidget>("Dir1");
  ASSERT_TRUE(dirs->isVisible());
  EXPECT_EQ(dirs->toolTip(), QStringLiteral("select dir"));
  const QStringList rows = texts(*dirs);
  ASSERT_GE(rows.size(), 3);
  EXPECT_EQ(rows.front(), QStringLiteral("C:\\"));
  // The last two rows are the subdirectories, one level below the open folder
  // that the model's Path names.
  ASSERT_EQ(form.Dir1.ListCount(), 2);
  const int open = static_cast<int>(rows.size()) - 3;
  EXPECT_EQ(rows[open].trimmed(), QStringLiteral("Filme"));
  EXPECT_EQ(dirs->currentRow(), open);
  QStringList children{rows[open + 1].trimmed(), rows[open + 2].trimmed()};
  children.sort();
  EXPECT_EQ(children,
            (QStringList{QStringLiteral("!media-video Urlaub"), QString::fromUtf8("Ärger")}));
  EXPECT_GT(rows[open + 1].size() - rows[open + 1].trimmed().size(),
            rows[open].size() - rows[open].trimmed().size());
}

TEST_F(SecondWindow, TheFileListShowsTheMatchingFiles) {
  auto* files = widget<QListWidget>("File1");
  ASSERT_TRUE(files->isVisible());
  QStringList rows = texts(*files);
  rows.sort();
  EXPECT_EQ(rows, (QStringList{QStringLiteral("a.avi"), QStringLiteral("b.mpg")}));
}

TEST_F(SecondWindow, FollowsThePathWhenTheModelMoves) {
  form.Dir1.setPath(form.Dir1.List(0));
  qttest::host().flush();
  EXPECT_TRUE(texts(*widget<QListWidget>("File1")).isEmpty());
  const QStringList rows = texts(*widget<QListWidget>("Dir1"));
  EXPECT_EQ(rows.back().trimmed().toStdString(),
            form.Dir1.Path().substr(form.Dir1.Path().rfind('\\') + 1));
}

TEST_F(SecondWindow, ADoubleClickInTheDirectoryListOpensTheDirectory) {
  auto* dirs = widget<QListWidget>("Dir1");
  const int open = dirs->count() - 3;
  const std::string parent = filme.substr(0, filme.rfind('\\'));
  Q_EMIT dirs->itemActivated(dirs->item(open - 1));
  EXPECT_EQ(form.Dir1.Path(), parent);
}

TEST_F(SecondWindow, TheDriveListShowsEveryDriveAndTheCurrentOne) {
  auto* drives = widget<QComboBox>("Drive1");
  ASSERT_EQ(drives->count(), form.Drive1.ListCount());
  EXPECT_TRUE(drives->itemText(0).startsWith(QStringLiteral("C:")));
  EXPECT_EQ(drives->currentIndex(), form.Drive1.ListIndex());
}

TEST_F(SecondWindow, ASortedListAndAComboBoxMirrorTheirModels) {
  form.ListVideos.AddItem("mv=zebra");
  form.ListVideos.AddItem("!media-video=c:\\b");
  form.ListVideos.AddItem("Mv=Alpha");
  form.Combo.AddItem("zwei");
  form.Combo.AddItem("eins");
  form.Combo.setText("frei");
  qttest::host().flush();
  EXPECT_EQ(texts(*widget<QListWidget>("ListVideos")),
            (QStringList{QStringLiteral("!media-video=c:\\b"), QStringLiteral("Mv=Alpha"),
                         QStringLiteral("mv=zebra")}));
  auto* combo = widget<QComboBox>("Combo");
  ASSERT_EQ(combo->count(), 2);
  EXPECT_EQ(combo->itemText(0), QStringLiteral("eins"));
  EXPECT_EQ(combo->currentText(), QStringLiteral("frei"));

  form.ListVideos.RemoveItem(1);
  qttest::host().flush();
  EXPECT_EQ(texts(*widget<QListWidget>("ListVideos")),
            (QStringList{QStringLiteral("!media-video=c:\\b"), QStringLiteral("mv=zebra")}));
}

TEST_F(SecondWindow, Picture) {
  form.ListVideos.AddItem("!media-video=c:\\!media-video urlaub");
  qttest::host().flush();
  const auto path = testsupport::testOutputDir() / "second-window.png";
  ASSERT_TRUE(window->grab(QRect(0, 0, 560, 764)).save(QString::fromStdString(path.string())));
}

}  // namespace
