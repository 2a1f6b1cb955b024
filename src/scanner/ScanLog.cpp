#include "scanner/ScanLog.h"

#include "app/Module1.h"
#include "platform/runtime/FileHandles.h"
#include "platform/runtime/Runtime.h"
#include "platform/text/PathBytes.h"
#include "platform/text/Text.h"

namespace scanner {

namespace {

// How many temporary names are tried when the first ones are taken (a scan killed
// in the same second, or entries someone else put there).
constexpr int kTemporaryAttempts = 10;

enum class Step { Open, Write, Rename };

bool g_open = false;
Step g_step = Step::Open;
std::string g_temporary;

template <class F>
void asLogError(Step step, F&& f) {
  try {
    f();
  } catch (const ScanLogError&) {
    g_step = step;
    throw;
  } catch (const platform::RuntimeError& e) {
    g_step = step;
    throw ScanLogError(e.number(), e.what());
  }
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('\\');
  if (slash == std::string::npos) return path;
  // A drive root keeps its "\".
  return path.substr(0, slash == 2 && path[1] == ':' ? slash + 1 : slash);
}

// What went wrong, as a sentence for the message box.
std::string reason(int number) {
  switch (number) {
    case platform::err::kDiskFull: return "Der Datenträger ist voll";
    case platform::err::kPermissionDenied:
    case platform::err::kPathFileAccess:
      return "Der Ordner " + folderOf(app::LogFileName) + " darf nicht beschrieben werden";
    case platform::err::kPathNotFound:
      return "Den Ordner " + folderOf(app::LogFileName) + " gibt es nicht";
    case platform::err::kDeviceUnavailable: return "Das Laufwerk ist nicht verfügbar";
    case platform::err::kFileAlreadyExists:
      return "Die Datei " + g_temporary + " und die weiteren Namen dafür gibt es schon";
    default: return platform::errorDescription(number);
  }
}

}  // namespace

std::string scanLogName(const std::string& appPath, const std::string& date,
                        const std::string& time) {
  std::string name = appPath;
  if (name.empty() || name.back() != '\\') name += '\\';
  return name + "protokoll-" + date + "-" + platform::Replace(time, ":", "-") + ".txt";
}

std::string scanLogTemporaryName(const std::string& logName, int attempt) {
  std::string stem = logName;
  if (stem.size() >= 4 && stem.compare(stem.size() - 4, 4, ".txt") == 0)
    stem.resize(stem.size() - 4);
  stem += "-UNVOLLSTÄNDIG";
  if (attempt > 1) stem += "-" + std::to_string(attempt);
  return stem + ".txt";
}

void openScanLog() {
  asLogError(Step::Open, [] {
    app::LogFileNumber = platform::FreeFile();
    for (int attempt = 1;; ++attempt) {
      g_temporary = scanLogTemporaryName(app::LogFileName, attempt);
      try {
        platform::OpenNewForOutput(g_temporary, app::LogFileNumber);
        break;
      } catch (const platform::RuntimeError& e) {
        if (e.number() != platform::err::kFileAlreadyExists || attempt == kTemporaryAttempts) {
          g_temporary = scanLogTemporaryName(app::LogFileName, 1);
          throw;
        }
      }
    }
    g_open = true;
  });
}

void writeScanLogLine(std::string_view line) {
  // A control character (a line break a share hands over in a name) could split
  // or forge a line: it is written as "?".
  if (platform::pathbytes::hasControlByte(line)) {
    std::string clean(line);
    for (char& ch : clean) {
      if (static_cast<unsigned char>(ch) < 0x20) ch = '?';
    }
    asLogError(Step::Write, [&] { platform::PrintLine(app::LogFileNumber, clean); });
    return;
  }
  asLogError(Step::Write, [&] { platform::PrintLine(app::LogFileNumber, line); });
}

void writeNoteLines() {
  for (std::string_view line : kNoteLines) writeScanLogLine(line);
}

void closeScanLog() {
  if (!g_open) return;
  g_open = false;
  asLogError(Step::Write, [] { platform::CloseToDisk(app::LogFileNumber); });
  asLogError(Step::Rename, [] { platform::NameReplacing(g_temporary, app::LogFileName); });
}

void abandonScanLog() {
  if (!g_open) return;
  g_open = false;
  try {
    platform::Close(app::LogFileNumber);
  } catch (const platform::RuntimeError&) {
    // The failure that led here is the one worth telling.
  }
}

const std::string& scanLogTemporaryPath() {
  return g_temporary;
}

std::string scanLogFailureMessage(const platform::RuntimeError& error) {
  const std::string why = reason(error.number()) + " (Fehler " + std::to_string(error.number()) +
                          ": " + platform::errorDescription(error.number()) + ").";
  switch (g_step) {
    case Step::Open:
      return "Die Protokolldatei " + app::LogFileName + " konnte nicht angelegt werden. " + why +
             " Der Scan wurde nicht begonnen.";
    case Step::Write:
      return "Die Protokolldatei " + app::LogFileName + " konnte nicht geschrieben werden. " + why +
             " Der Scan wurde beendet; unter diesem Namen wurde nichts abgelegt. Was bis " +
             "dahin gefunden war, steht unvollständig in " + g_temporary + ".";
    case Step::Rename:
    default:
      return "Der vollständige Scan steht in " + g_temporary +
             ", konnte aber nicht unter dem Namen " + app::LogFileName + " abgelegt werden. " + why;
  }
}

}  // namespace scanner
