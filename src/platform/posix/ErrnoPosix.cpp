// The classic error numbers of failed POSIX file and directory calls.
#include <cerrno>

#include "platform/Error.h"

namespace platform {

int errorNumberFromErrno(int errnoValue) {
  switch (errnoValue) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
    case ENAMETOOLONG: return err::kPathNotFound;
    case EACCES:
    case EPERM: return err::kPermissionDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return err::kDiskFull;
    case EMFILE:
    case ENFILE: return err::kTooManyFiles;
    case ENOMEM: return err::kListFull;
    case ENXIO:
    case ENODEV:
    case ESTALE:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETUNREACH:
    case ETIMEDOUT:
    case ENOTCONN:
    case ENOMEDIUM: return err::kDeviceUnavailable;
    case EROFS:
    case EISDIR:
    case EBUSY:
    case ETXTBSY: return err::kPathFileAccess;
    default: return err::kDeviceIo;
  }
}

}  // namespace platform
