// File handles of the form runtime: Open, Print #, Line Input #, Close, Name.
// Paths are view paths. Text is written and read in the ANSI code page with CR LF
// line ends. Failures raise numbered errors (52 bad number, 53 not found, 54 bad mode,
// 55 already open, 61 disk full, 62 read past the end, 70/75/76 access and path).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/os/Os.h"

namespace platform {

int16_t FreeFile();
// Creates the file or empties an existing one.
void OpenForOutput(const std::string& path, int16_t fileNumber);
// Creates a new file for output that only its owner may read, never through a
// link: fails with 58 when any entry of that name exists.
void OpenNewForOutput(const std::string& path, int16_t fileNumber);
void OpenForInput(const std::string& path, int16_t fileNumber);
// Writes the text and CR LF (buffered; a failing write raises at once).
void PrintLine(int16_t fileNumber, std::string_view text);
// Reads one line without its end; a line ends at CR LF, a lone CR or a lone LF.
std::string LineInput(int16_t fileNumber);
bool Eof(int16_t fileNumber);
// Flushes and closes; the handle is free afterwards even when the flush failed,
// and that failure is raised.
void Close(int16_t fileNumber);
// Flushes, waits until the content is on the disk and closes; the handle is free
// afterwards even when that failed, and the failure is raised.
void CloseToDisk(int16_t fileNumber);
// Gives the file `oldPath` the name `newPath`, replacing a file (or link) of that
// name in one step, and makes the new entry durable.
void NameReplacing(const std::string& oldPath, const std::string& newPath);
// Closes every open handle, ignoring failures (End).
void CloseAll();

// Tests: the call that waits until a file's content is on its disk, in place of
// the system's os::flushToDisk (a disk whose flush fails); nullptr restores it. It
// may be called on a thread of the file's own.
using FlushToDisk = os::NativeError (*)(os::File& file);
void setFlushToDisk(FlushToDisk flush);

}  // namespace platform
