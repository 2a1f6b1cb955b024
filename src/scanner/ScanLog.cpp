#include "scanner/ScanLog.h"

#include "app/Module1.h"
#include "platform/Runtime.h"
#include "platform/Text.h"

namespace scanner {

namespace {

template <class F>
void asLogError(F&& f) {
  try {
    f();
  } catch (const ScanLogError&) {
    throw;
  } catch (const platform::RuntimeError& e) {
    throw ScanLogError(e.number(), e.what());
  }
}

bool g_open = false;

}  // namespace

std::string scanLogName(const std::string& appPath, const std::string& date,
                        const std::string& time) {
  std::string name = appPath;
  if (name.empty() || name.back() != '\\') name += '\\';
  return name + "protokoll-" + date + "-" + platform::Replace(time, ":", "-") + ".txt";
}

void openScanLog() {
  asLogError([] {
    app::LogFileNumber = platform::FreeFile();
    platform::OpenForOutput(app::LogFileName, app::LogFileNumber);
    g_open = true;
  });
}

void writeScanLogLine(std::string_view line) {
  asLogError([&] { platform::PrintLine(app::LogFileNumber, line); });
}

void writeNoteLines() {
  for (std::string_view line : kNoteLines) writeScanLogLine(line);
}

void closeScanLog() {
  if (!g_open) return;
  g_open = false;
  asLogError([] { platform::Close(app::LogFileNumber); });
}

std::string scanLogFailureMessage(const platform::RuntimeError& error) {
  return "Die Protokolldatei " + app::LogFileName + " konnte nicht geschrieben werden (Fehler " +
         std::to_string(error.number()) + ": " + platform::errorDescription(error.number()) +
         "). Der Scan wurde beendet; die Datei ist nicht vollständig.";
}

}  // namespace scanner
