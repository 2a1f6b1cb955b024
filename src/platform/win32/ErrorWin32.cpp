// The classic error numbers of failed C runtime calls, as far as the Windows C
// runtime knows the errno values.
#include <cerrno>

#include "platform/Error.h"

namespace platform {

int errorNumberFromErrno(int errnoValue) {
  switch (errnoValue) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG: return err::kPathNotFound;
    case EACCES:
    case EPERM: return err::kPermissionDenied;
    case ENOSPC:
    case EFBIG: return err::kDiskFull;
    case EMFILE:
    case ENFILE: return err::kTooManyFiles;
    case ENOMEM: return err::kListFull;
    case ENXIO:
    case ENODEV: return err::kDeviceUnavailable;
    case EROFS:
    case EISDIR:
    case EBUSY: return err::kPathFileAccess;
    default: return err::kDeviceIo;
  }
}

}  // namespace platform
