#include "measurement/in_out_error.h"

#include <cerrno>

InOutError InOutError::FromErrno(int error_number) {
  switch (error_number) {
    case ENOENT:
    case ENOTDIR: return {FileNotFound, "File not found"};
    case EACCES:
    case EPERM:
    case EROFS:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
    case EISDIR: return {AccessDenied, "File access denied"};
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG: return {DiskFull, "Disk full"};
    default: return {error_number, "I/O error " + std::to_string(error_number)};
  }
}
