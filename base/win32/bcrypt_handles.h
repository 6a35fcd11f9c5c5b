// RAII owners for the system's BCrypt algorithm and hash handles.
#ifndef BASE_WIN32_BCRYPT_HANDLES_H_
#define BASE_WIN32_BCRYPT_HANDLES_H_

#include <windows.h>
#include <bcrypt.h>

#include "base/win32/scoped_handle.h"

struct BcryptAlgorithmTraits {
  static BCRYPT_ALG_HANDLE InvalidValue() { return nullptr; }
  static void Free(BCRYPT_ALG_HANDLE h) { ::BCryptCloseAlgorithmProvider(h, 0); }
};

struct BcryptHashTraits {
  static BCRYPT_HASH_HANDLE InvalidValue() { return nullptr; }
  static void Free(BCRYPT_HASH_HANDLE h) { ::BCryptDestroyHash(h); }
};

using ScopedBcryptAlgorithm = base::win32::ScopedGeneric<BCRYPT_ALG_HANDLE, BcryptAlgorithmTraits>;
using ScopedBcryptHash = base::win32::ScopedGeneric<BCRYPT_HASH_HANDLE, BcryptHashTraits>;

#endif  // BASE_WIN32_BCRYPT_HANDLES_H_
