// The main window as the Qt views draw it, on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <set>

#include "QtTestHost.h"
#include "app/Module1.h"
#include "platform/qt/FormWindow.h"
#include "platform/qt/Twips.h"
#include "platform/qt/Widgets.h"
#include "platform/runtime/Runtime.h"
#include "scanner/FormSpurlauf.h"
#include "scanner/standards.h"
#include "support/TestSupport.h"

namespace {

using scanner::FormSpurlauf;

constexpr const char* kAppPath = "C:\\home\\anna\\programme\\rozozovuvor";

class MainWindow : public testing::Test {
 protected:
  void SetUp() override {
    qttest::host();
    platform::resetProgramEnded();
    platform::App.Path = kAppPath;
    form = &scanner::createMainWindow();
    form->INITIALIZE();
    window = qttest::host().window(*form);
    ASSERT_NE(window, nullptr);
    qttest::host().flush();
  }

  void TearDown() override {
    qttest::host().releaseForm(*form);
    scanner::destroyMainWindow();
    platform::resetProgramEnded();
  }

  template <typename W = QWidget>
  W* widget(const char* name) const {
    W* w = window->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }

  QListWidget* statusList() const { return widget<QListWidget>("ListStatus"); }

  void savePicture(const char* fileName) const {
    const auto path = testsupport::testOutputDir() / fileName;
    ASSERT_TRUE(window->grab().save(QString::fromStdString(path.string()))) << path;
  }

  FormSpurlauf* form = nullptr;
  qtui::FormWindow* window = nullptr;
};

QColor color(const platform::Color& c) {
  return {c.red, c.green, c.blue};
}

// --- the window --------------------------------------------------------------------

TEST_F(MainWindow, IsAFixedDialogOfTheDesignedClientSize) {
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->size(), QSize(696, 376));
  EXPECT_EQ(window->minimumSize(), QSize(696, 376));
  EXPECT_EQ(window->maximumSize(), QSize(696, 376));
  const Qt::WindowFlags flags = window->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(window->windowTitle().toStdString(), form->Caption());
  EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("Rozozovuvor-Ororuzi V1.0")));
  EXPECT_FALSE(window->windowIcon().isNull());
  EXPECT_EQ(window->windowIcon().pixmap(32, 32).size(), QSize(32, 32));
}

TEST_F(MainWindow, EveryControlSitsWhereTheDesignPutsIt) {
  for (platform::Control* control : form->controls()) {
    QWidget* w = widget(control->name().c_str());
    ASSERT_NE(w, nullptr);
    const platform::Rect& r = control->geometry();
    EXPECT_EQ(w->geometry(), QRect(r.left / 15, r.top / 15, r.width / 15, r.height / 15))
        << control->name();
  }
  // A few spelled out, in pixels.
  EXPECT_EQ(widget("Picture1")->geometry(), QRect(8, 8, 281, 57));
  EXPECT_EQ(widget("ListStatus")->geometry(), QRect(8, 104, 409, 238));
  EXPECT_EQ(widget("CommandStartCancel")->geometry(), QRect(600, 312, 81, 33));
  EXPECT_EQ(qtui::toPixels(-15), -1);
}

TEST_F(MainWindow, ShowsOnlyTheVisibleControls) {
  for (const char* hidden : {"Drive1", "Dir1", "File1", "LabelHinweis"}) {
    EXPECT_FALSE(widget(hidden)->isVisible()) << hidden;
  }
  for (const char* shown : {"Picture1", "LabelTitel", "Command1", "Label4", "ListStatus", "Label3",
                            "LabelAnzahlVerzeichnisse", "Label1", "LabelAnzahldateien",
                            "LabelHalvek", "CommandStartCancel", "Label2"}) {
    EXPECT_TRUE(widget(shown)->isVisible()) << shown;
  }
}

TEST_F(MainWindow, ShowsTheFirstTextsAndTheLogo) {
  EXPECT_EQ(widget<QLabel>("LabelTitel")->text().toStdString(), form->LabelTitel.Caption());
  EXPECT_TRUE(
      widget<QLabel>("LabelTitel")->text().contains(QString::fromStdString(app::LogFileName)));
  EXPECT_EQ(widget<QLabel>("LabelHalvek")->text().toStdString(), form->LabelHalvek.Caption());
  EXPECT_EQ(widget<QLabel>("LabelAnzahlVerzeichnisse")->text(), QStringLiteral("0"));
  EXPECT_EQ(widget<QLabel>("LabelAnzahldateien")->text(), QStringLiteral("0"));
  EXPECT_EQ(widget<QPushButton>("CommandStartCancel")->text(), QStringLiteral("start"));
  EXPECT_EQ(widget<QPushButton>("Command1")->text(), QStringLiteral("HILFE"));
  ASSERT_EQ(statusList()->count(), 1);
  EXPECT_EQ(statusList()->item(0)->text(),
            QString::fromUtf8("Bereit zum Scannen der Festplatten - bitte Start-Taste drücken."));
  const QPixmap logo = widget<QLabel>("Picture1")->pixmap();
  EXPECT_EQ(logo.size(), QSize(281, 58));
}

TEST_F(MainWindow, EveryTextFitsItsBox) {
  const QFontMetrics metrics(window->font());
  for (const char* umlaut : {"ä", "ö", "ü", "ß", "Ä", "Ö", "Ü"}) {
    EXPECT_TRUE(metrics.inFont(QString::fromUtf8(umlaut).front())) << umlaut;
  }
  form->LabelHinweis.setVisible(true);
  qttest::host().flush();
  for (platform::Control* control : form->controls()) {
    if (control->kind() != platform::ControlKind::Label || !control->Visible()) continue;
    auto* label = widget<qtui::CaptionLabel>(control->name().c_str());
    ASSERT_NE(label, nullptr);
    const QRect box = label->contentsRect();
    const QStringList lines = label->lines();
    EXPECT_LE(static_cast<int>(lines.size()) * metrics.height(), box.height())
        << control->name() << ": " << lines.join(QStringLiteral(" | ")).toStdString();
    for (const QString& line : lines) {
      EXPECT_LE(metrics.horizontalAdvance(line), box.width()) << control->name();
    }
    // Nothing of the text is lost between the lines.
    QString joined = lines.join(QString());
    QString caption = label->text();
    joined.remove(QLatin1Char(' '));
    caption.remove(QLatin1Char(' '));
    EXPECT_EQ(joined, caption) << control->name();
  }
  // The description holds the whole log path on one line of its own.
  const QStringList titel = widget<qtui::CaptionLabel>("LabelTitel")->lines();
  EXPECT_EQ(titel.size(), 4);
  bool pathWhole = false;
  for (const QString& line : titel) {
    pathWhole = pathWhole || line.contains(QString::fromStdString(app::LogFileName));
  }
  EXPECT_TRUE(pathWhole) << titel.join(QStringLiteral(" | ")).toStdString();
  // The buttons' captions fit too.
  for (const char* name : {"Command1", "CommandStartCancel"}) {
    auto* button = widget<QPushButton>(name);
    EXPECT_LE(metrics.horizontalAdvance(QStringLiteral("abbrechen")), button->width() - 8) << name;
  }
}

// --- colours and look ---------------------------------------------------------------

TEST_F(MainWindow, DrawsTheDesignedColours) {
  const QColor darkGrey(64, 64, 64);
  const QColor white(255, 255, 255);
  QListWidget* list = statusList();
  EXPECT_EQ(list->palette().color(QPalette::Base), darkGrey);
  EXPECT_EQ(list->palette().color(QPalette::Text), white);
  for (const char* name : {"Label3", "Label1", "LabelAnzahlVerzeichnisse", "LabelAnzahldateien"}) {
    auto* label = widget<QLabel>(name);
    EXPECT_TRUE(label->autoFillBackground()) << name;
    EXPECT_EQ(label->palette().color(QPalette::Window), darkGrey) << name;
    EXPECT_EQ(label->palette().color(QPalette::WindowText), white) << name;
  }
  auto* hinweis = widget<QLabel>("LabelHinweis");
  EXPECT_EQ(hinweis->palette().color(QPalette::Window), color(*form->LabelHinweis.backColor));
  EXPECT_EQ(hinweis->palette().color(QPalette::Window), QColor(255, 0, 0));
  EXPECT_EQ(hinweis->palette().color(QPalette::WindowText), white);
  EXPECT_FALSE(widget<QLabel>("LabelHalvek")->autoFillBackground());

  // The picture shows them where they belong: below the last status line, and
  // in the counters left of their digits.
  const QImage shot = window->grab().toImage();
  EXPECT_EQ(shot.pixelColor(20, 330), darkGrey);
  EXPECT_EQ(shot.pixelColor(590, 112), darkGrey);
}

TEST_F(MainWindow, CountersAreRightAlignedInASunkenBorder) {
  for (const char* name : {"LabelAnzahlVerzeichnisse", "LabelAnzahldateien"}) {
    auto* label = widget<QLabel>(name);
    EXPECT_TRUE(label->alignment() & Qt::AlignRight) << name;
    EXPECT_EQ(label->frameShape(), QFrame::Panel) << name;
    EXPECT_EQ(label->frameShadow(), QFrame::Sunken) << name;
    EXPECT_EQ(label->frameWidth(), 1) << name;
  }
  for (const char* name : {"Label3", "Label1", "LabelTitel", "LabelHalvek", "Label4"}) {
    auto* label = widget<QLabel>(name);
    EXPECT_EQ(label->frameShape(), QFrame::NoFrame) << name;
    EXPECT_TRUE(label->alignment() & Qt::AlignLeft) << name;
    EXPECT_TRUE(label->alignment() & Qt::AlignTop) << name;
  }
  EXPECT_EQ(widget<QLabel>("Picture1")->frameShape(), QFrame::NoFrame);
}

TEST_F(MainWindow, TakesTheFocusInTabOrderAndNeverOnLabels) {
  std::vector<QString> order;
  QWidget* w = window;
  std::set<QWidget*> seen;
  while ((w = w->nextInFocusChain()) != window && seen.insert(w).second) {
    if (w->isVisible() && (w->focusPolicy() & Qt::TabFocus)) order.push_back(w->objectName());
  }
  EXPECT_EQ(order, (std::vector<QString>{QStringLiteral("ListStatus"),
                                         QStringLiteral("CommandStartCancel"),
                                         QStringLiteral("Command1")}));
  for (const char* name :
       {"LabelTitel", "Label4", "Label3", "LabelAnzahlVerzeichnisse", "Label1",
        "LabelAnzahldateien", "LabelHinweis", "LabelHalvek", "Label2", "Picture1"}) {
    EXPECT_EQ(widget(name)->focusPolicy(), Qt::NoFocus) << name;
  }
}

// --- model changes reach the widgets -------------------------------------------------

TEST_F(MainWindow, ACaptionChangeShowsAtTheNextFlush) {
  auto* counter = widget<QLabel>("LabelAnzahlVerzeichnisse");
  form->LabelAnzahlVerzeichnisse.setCaption("4711");
  // Noted, not yet drawn: the walk sets it once per directory.
  EXPECT_EQ(counter->text(), QStringLiteral("0"));
  qttest::host().flush();
  EXPECT_EQ(counter->text(), QStringLiteral("4711"));

  form->CommandStartCancel.setCaption("abbrechen");
  EXPECT_EQ(widget<QPushButton>("CommandStartCancel")->text(), QStringLiteral("start"));
  qttest::host().flush();
  EXPECT_EQ(widget<QPushButton>("CommandStartCancel")->text(), QStringLiteral("abbrechen"));
}

TEST_F(MainWindow, DoEventsAppliesChangesOnceTheIntervalIsOver) {
  auto* counter = widget<QLabel>("LabelAnzahldateien");
  form->LabelAnzahldateien.setCaption("12");
  form->LabelHinweis.setVisible(true);
  QThread::msleep(qtui::QtHost::kRepaintInterval.count() + 20);
  QThread::usleep(1500);
  platform::DoEvents();
  EXPECT_EQ(counter->text(), QStringLiteral("12"));
  EXPECT_TRUE(widget("LabelHinweis")->isVisible());
}

// Counts paint events of one widget.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

TEST_F(MainWindow, AScanRepaintsTheCountersAtAHumanRateOnly) {
  auto* counter = widget<QLabel>("LabelAnzahlVerzeichnisse");
  PaintCounter paints;
  counter->installEventFilter(&paints);
  QElapsedTimer clock;
  clock.start();
  int32_t dirs = 0;
  // As the walk does it: a new count and a yield per directory.
  while (clock.elapsed() < 300) {
    form->LabelAnzahlVerzeichnisse.setCaption(std::to_string(++dirs));
    platform::DoEvents();
  }
  QThread::msleep(qtui::QtHost::kRepaintInterval.count() + 10);
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  counter->removeEventFilter(&paints);
  EXPECT_GT(dirs, 1000);
  // The last count shows, painted a few times a second, not once per directory.
  EXPECT_EQ(counter->text(), QString::number(dirs));
  EXPECT_GE(paints.paints, 1);
  const auto allowed = clock.elapsed() / qtui::QtHost::kRepaintInterval.count() + 3;
  EXPECT_LE(paints.paints, allowed) << dirs << " directories";
}

TEST_F(MainWindow, TheStatusListScrollsSoThatTheNewestLineIsTheLastVisibleRow) {
  QListWidget* list = statusList();
  const int rowHeight = qtui::CompactRowDelegate::rowHeight(list->font());
  const int rows = list->viewport()->height() / rowHeight;
  // The model knows how many rows the widget shows.
  EXPECT_EQ(form->ListStatus.visibleRows(), rows);
  EXPECT_GE(rows, 15);

  // A list with room stays where it is.
  for (int i = 1; i < rows; ++i) scanner::AddStatusLine("Zeile " + std::to_string(i));
  qttest::host().flush();
  EXPECT_EQ(list->verticalScrollBar()->value(), 0);
  EXPECT_EQ(list->indexAt(QPoint(2, 2)).row(), 0);

  for (int i = rows; i < rows + 25; ++i) scanner::AddStatusLine("Zeile " + std::to_string(i));
  qttest::host().flush();
  const int count = list->count();
  ASSERT_EQ(count, form->ListStatus.ListCount());
  EXPECT_EQ(form->ListStatus.TopIndex(), count - rows);
  EXPECT_EQ(list->indexAt(QPoint(2, 2)).row(), count - rows);
  const QRect last = list->visualItemRect(list->item(count - 1));
  EXPECT_GE(last.top(), 0);
  EXPECT_LE(last.bottom(), list->viewport()->height() - 1);
  EXPECT_GT(last.bottom(), list->viewport()->height() - 1 - rowHeight);
  EXPECT_EQ(list->item(count - 1)->text(), QStringLiteral("Zeile %1").arg(rows + 24));

  // Clearing and refilling, as a new scan does, mirrors the model again.
  form->ListStatus.Clear();
  scanner::AddStatusLine("SCAN-START");
  qttest::host().flush();
  ASSERT_EQ(list->count(), 1);
  EXPECT_EQ(list->item(0)->text(), QStringLiteral("SCAN-START"));
  EXPECT_EQ(list->indexAt(QPoint(2, 2)).row(), 0);
}

TEST_F(MainWindow, TheFocusAloneSelectsNoStatusLine) {
  window->activateWindow();
  statusList()->setFocus(Qt::TabFocusReason);
  QCoreApplication::processEvents();
  qttest::host().flush();
  EXPECT_TRUE(statusList()->selectedItems().isEmpty());
  EXPECT_EQ(form->ListStatus.ListIndex(), -1);
}

// --- user actions reach the models ----------------------------------------------------

TEST_F(MainWindow, AButtonClickRunsTheModelsHandler) {
  int clicks = 0;
  form->Command1.onClick = [&clicks] { ++clicks; };
  qttest::click(*widget("Command1"));
  EXPECT_EQ(clicks, 1);
  // A press that is released outside the button is no click.
  int pictureClicks = 0;
  form->Picture1.onClick = [&pictureClicks] { ++pictureClicks; };
  qttest::click(*widget("Picture1"), QPoint(10, 10));
  EXPECT_EQ(pictureClicks, 1);
}

TEST_F(MainWindow, TheCloseButtonRunsQueryUnload) {
  int requests = 0;
  form->onQueryUnload = [&requests](bool& cancel) {
    ++requests;
    cancel = true;
  };
  EXPECT_FALSE(window->close());
  EXPECT_EQ(requests, 1);
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(platform::programEnded());
}

TEST_F(MainWindow, ClosingWhileIdleEndsTheProgramAndNothingRunsAfterwards) {
  EXPECT_FALSE(window->close());
  EXPECT_TRUE(platform::programEnded());
  EXPECT_FALSE(window->isVisible());

  int clicks = 0;
  form->Command1.onClick = [&clicks] { ++clicks; };
  form->onQueryUnload = [&clicks](bool&) { ++clicks; };
  widget<QPushButton>("Command1")->click();
  window->close();
  EXPECT_EQ(clicks, 0);
}

TEST_F(MainWindow, AnErrorThatNoHandlerTrapsIsShownAndEndsTheProgram) {
  form->Command1.onClick = [] { platform::raiseError(53, "x.txt"); };
  QString shown;
  qttest::whenModalShows([&shown](QWidget& modal) {
    auto* box = qobject_cast<QMessageBox*>(&modal);
    if (!box) return;
    shown = box->text();
    box->button(QMessageBox::Ok)->click();
  });
  widget<QPushButton>("Command1")->click();
  EXPECT_TRUE(shown.startsWith(QStringLiteral("Laufzeitfehler '53'"))) << shown.toStdString();
  EXPECT_TRUE(platform::programEnded());
}

TEST_F(MainWindow, AClickOrACloseRequestDuringAYieldRunsInsideIt) {
  // The start handler stands for a scan: it yields until something stops it.
  auto* button = widget<QPushButton>("CommandStartCancel");
  int depth = 0;
  std::vector<std::string> events;
  bool stop = false;
  const auto walk = [&] {
    QElapsedTimer clock;
    clock.start();
    while (!stop && clock.elapsed() < 2000) platform::DoEvents();
  };
  form->CommandStartCancel.onClick = [&] {
    ++depth;
    if (depth == 1) {
      QTimer::singleShot(20, [button] { qttest::click(*button); });
      walk();
      stop = false;
      QTimer::singleShot(20, [this] { window->close(); });
      walk();
    } else {
      events.push_back("click at depth " + std::to_string(depth));
      stop = true;
    }
    --depth;
  };
  form->onQueryUnload = [&](bool& cancel) {
    events.push_back("close at depth " + std::to_string(depth + 1));
    cancel = true;
    stop = true;
  };
  qttest::click(*button);
  EXPECT_EQ(events, (std::vector<std::string>{"click at depth 2", "close at depth 2"}));
}

// --- message box -------------------------------------------------------------------------

TEST_F(MainWindow, MsgBoxIsModalAndReturnsWhenOkIsPressed) {
  bool sawBox = false;
  qttest::whenModalShows([&](QWidget& modal) {
    auto* box = qobject_cast<QMessageBox*>(&modal);
    ASSERT_NE(box, nullptr);
    sawBox = true;
    EXPECT_TRUE(box->isModal());
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Rozozovuvor-Ororuzi"));
    EXPECT_EQ(box->text(), QString::fromUtf8("Die Protokolldatei ließ sich nicht schreiben."));
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    EXPECT_TRUE(box->button(QMessageBox::Ok)->icon().isNull());
    box->button(QMessageBox::Ok)->click();
  });
  platform::MsgBox("Die Protokolldatei ließ sich nicht schreiben.");
  EXPECT_TRUE(sawBox);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// --- pictures to look at -------------------------------------------------------------

TEST_F(MainWindow, PictureAtStart) {
  savePicture("main-window.png");
}

TEST_F(MainWindow, PictureDuringAScanWithTheNoteShown) {
  form->ListStatus.Clear();
  scanner::AddStatusLine("SCAN-START: 12-07-2026 06:40:16");
  scanner::AddStatusLine("Gefundene Festplatten: C, D");
  scanner::AddStatusLine("Festplatte C:\\ wird gescannt...");
  for (int i = 1; i <= 22; ++i) {
    scanner::AddStatusLine("Zugriff verweigert auf C:\\root\\geheim\\Ordner " + std::to_string(i));
  }
  scanner::AddStatusLine("Festplatte D:\\ wird gescannt...");
  form->LabelAnzahlVerzeichnisse.setCaption("123456");
  form->LabelAnzahldateien.setCaption("9876543");
  form->LabelHinweis.setVisible(true);
  form->CommandStartCancel.setCaption("abbrechen");
  qttest::host().flush();
  savePicture("main-window-scan.png");
  EXPECT_TRUE(widget("LabelHinweis")->isVisible());
  const QImage shot = window->grab().toImage();
  // The note's red shows below its text.
  EXPECT_EQ(shot.pixelColor(424 + 3, 168 + 55), QColor(255, 0, 0));
}

}  // namespace
