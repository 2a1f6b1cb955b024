#include "platform/Error.h"

namespace platform {

std::string errorDescription(int number) {
  switch (number) {
    case err::kListFull: return "Nicht genügend Speicher";
    case err::kSubscriptOutOfRange: return "Index außerhalb des gültigen Bereichs";
    case err::kBadFileNameOrNumber: return "Dateiname oder -nummer falsch";
    case err::kFileNotFound: return "Datei nicht gefunden";
    case err::kBadFileMode: return "Dateimodus falsch";
    case err::kFileAlreadyOpen: return "Datei bereits geöffnet";
    case err::kDeviceIo: return "Fehler beim Lesen oder Schreiben des Datenträgers";
    case err::kFileAlreadyExists: return "Datei existiert bereits";
    case err::kDiskFull: return "Datenträger voll";
    case err::kInputPastEnd: return "Einlesen hinter Dateiende";
    case err::kTooManyFiles: return "Zu viele Dateien geöffnet";
    case err::kDeviceUnavailable: return "Gerät nicht verfügbar";
    case err::kPermissionDenied: return "Zugriff verweigert";
    case err::kDiskNotReady: return "Datenträger nicht bereit";
    case err::kPathFileAccess: return "Fehler beim Zugriff auf Pfad/Datei";
    case err::kPathNotFound: return "Pfad nicht gefunden";
    case err::kInvalidPropertyValue: return "Unzulässiger Eigenschaftswert";
    case err::kInvalidArrayIndex: return "Unzulässiger Index für Eigenschaftenfeld";
    case err::kAccessDenied: return "Zugriff auf das Verzeichnis verweigert";
    default: return "Anwendungs- oder objektdefinierter Fehler";
  }
}

void raiseError(int number, const std::string& detail) {
  std::string text = errorDescription(number);
  if (!detail.empty()) text += ": " + detail;
  throw RuntimeError(number, text);
}

}  // namespace platform
