#include "scanner/FormSpurlauf.h"

#include <memory>

#include "app/Module1.h"
#include "platform/runtime/LogFolder.h"
#include "platform/runtime/Runtime.h"
#include "platform/text/Text.h"
#include "platform/winapi/Shell.h"
#include "scanner/Publisher.h"
#include "scanner/ScanLog.h"
#include "scanner/standards.h"

namespace scanner {

namespace {

using platform::Alignment;
using platform::Border;
using platform::Color;

constexpr Color kDarkGrey{64, 64, 64};
constexpr Color kWhite{255, 255, 255};
constexpr Color kRed{255, 0, 0};

constexpr const char* kTitelDesign =
    "Dieses Tool untersucht sämtliche vorhandenen Festplatten und protokolliert sämtliche "
    "gefundenen Dateien in der Protokoll-Datei  *** . Die Protokolldatei kann anschließend  "
    "mit einem Texteditor betrachtet werden.";

std::unique_ptr<FormSpurlauf>& instance() {
  static std::unique_ptr<FormSpurlauf> form;
  return form;
}

std::string publisherAddress(std::string_view path) {
  return "http://" + std::string(kPublisherHost) + std::string(path);
}

void openAddress(const std::string& address) {
  platform::ShellExecuteA(0, "Open", address, "", "C:\\", platform::SW_SHOWNORMAL);
}

}  // namespace

FormSpurlauf::FormSpurlauf()
    : platform::Form("FormSpurlauf", "Rozozovuvor-Ororuzi V1.0 - Festplatten-Scanner", 10440, 5640,
                     platform::FormBorder::FixedDialog),
      // Tab order: the status list, the start button, the help button; the rest
      // never takes the focus.
      Picture1("Picture1", {120, 120, 4215, 855}, 3, "logo"),
      LabelTitel("LabelTitel", {4440, 120, 5775, 855}, 4, kTitelDesign),
      Command1("Command1", {120, 1080, 1215, 375}, 2, "HILFE"),
      Label4("Label4", {1440, 1200, 2055, 255}, 5, "<--Online-Anleitung zum Tool"),
      ListStatus("ListStatus", {120, 1560, 6135, 3570}, 0),
      Label3("Label3", {6360, 1560, 2415, 255}, 6, "Anzahl Verzeichnisse gefunden:"),
      LabelAnzahlVerzeichnisse("LabelAnzahlVerzeichnisse", {8760, 1560, 1215, 255}, 7, "0"),
      Label1("Label1", {6360, 1920, 2415, 255}, 8, "Anzahl Dateien gefunden:"),
      LabelAnzahldateien("LabelAnzahldateien", {8760, 1920, 1215, 255}, 9, "0"),
      LabelHinweis("LabelHinweis", {6360, 2520, 3615, 855}, 10),
      LabelHalvek("LabelHalvek", {6360, 3600, 3015, 855}, 11),
      CommandStartCancel("CommandStartCancel", {9000, 4680, 1215, 495}, 1, "start"),
      Label2("Label2", {120, 5160, 7095, 255}, 12, ""),
      Drive1("Drive1", {120, 5760, 1875, 315}, 13),
      Dir1("Dir1", {0, 5880, 6165, 2115}, 14),
      File1("File1", {6600, 5760, 2265, 2430}, 15) {
  icon = "icon";

  ListStatus.backColor = kDarkGrey;
  ListStatus.foreColor = kWhite;
  for (platform::Label* caption : {&Label3, &Label1}) {
    caption->backColor = kDarkGrey;
    caption->foreColor = kWhite;
  }
  for (platform::Label* counter : {&LabelAnzahlVerzeichnisse, &LabelAnzahldateien}) {
    counter->backColor = kDarkGrey;
    counter->foreColor = kWhite;
    counter->alignment = Alignment::Right;
    counter->border = Border::FixedSingle;
  }
  LabelHinweis.backColor = kRed;
  LabelHinweis.foreColor = kWhite;
  LabelHinweis.setVisible(false);
  for (platform::Control* hidden :
       std::initializer_list<platform::Control*>{&Drive1, &Dir1, &File1}) {
    hidden->setVisible(false);
    hidden->tabStop = false;
  }

  for (platform::Control* c : std::initializer_list<platform::Control*>{
           &ListStatus, &CommandStartCancel, &Command1, &Picture1, &LabelTitel, &Label4, &Label3,
           &LabelAnzahlVerzeichnisse, &Label1, &LabelAnzahldateien, &LabelHinweis, &LabelHalvek,
           &Label2, &Drive1, &Dir1, &File1}) {
    addControl(*c);
  }

  Command1.onClick = [this] { Command1_Click(); };
  Picture1.onClick = [this] { Picture1_Click(); };
  CommandStartCancel.onClick = [this] { CommandStartCancel_Click(); };
  Drive1.onChange = [this] { Drive1_Change(); };
  Dir1.onChange = [this] { Dir1_Change(); };
  onQueryUnload = [this](bool& cancel) { Form_QueryUnload(cancel); };
}

void FormSpurlauf::INITIALIZE() {
  // App.Path stays the program's folder; only the log moves when the user may not
  // write there.
  app::LogFileName = scanLogName(platform::logFolder(platform::App.Path), platform::DateText(),
                                 platform::TimeText());
  LabelTitel.setCaption(platform::Replace(LabelTitel.Caption(), "***", app::LogFileName));
  AddStatusLine("Bereit zum Scannen der Festplatten - bitte Start-Taste drücken.");
  LabelHalvek.setCaption(
      "Gratis-Hilfe bei Festplatten-Problemen und viele Tipps und Tricks zu Laufwerken gibt es "
      "auf " +
      std::string(kPublisherHost) + "! Einfach oben links auf das Logo klicken.");
  LabelHinweis.setCaption(
      "HINWEIS: Es können nicht alle Dateien erfasst werden, da Sie nicht als Administrator "
      "dieses PC angemeldet sind!");
  Show();
}

void FormSpurlauf::Command1_Click() {
  openAddress(publisherAddress(kManualPath));
}

void FormSpurlauf::Picture1_Click() {
  openAddress(publisherAddress(""));
}

void FormSpurlauf::Drive1_Change() {
  Dir1.setPath(Drive1.Drive());
}

void FormSpurlauf::Dir1_Change() {
  File1.setPath(Dir1.Path());
}

void AddStatusLine(const std::string& text) {
  FormSpurlauf& form = createMainWindow();
  form.ListStatus.AddItem(text);
  form.ListStatus.setTopIndex(form.ListStatus.NewIndex());
}

FormSpurlauf* mainWindow() {
  return instance().get();
}

FormSpurlauf& createMainWindow() {
  if (!instance()) instance() = std::make_unique<FormSpurlauf>();
  return *instance();
}

void destroyMainWindow() {
  instance().reset();
}

}  // namespace scanner
