// The earlier backups kept beside host.bak, so that a backup replaced by an activation is
// not the only copy lost: "host.bak.000001", "host.bak.000002", ..., a higher number for a
// later one, so that a listing by name lists them by age.
#pragma once

#include <cstddef>
#include <string_view>

#include "protection/protection.h"

namespace tsl {

inline constexpr size_t kBackupHistoryLength = 5;

// Whether `name` (a bare file name) is one of the history's copies: "host.bak." and the
// number as the history writes it (six digits, more only from the millionth copy on),
// nothing else.
bool IsBackupHistoryName(std::string_view name);

// Before host.bak is replaced by `replacement`: when it holds other bytes, a copy of it
// is kept under the next number, then all but the newest kBackupHistoryLength copies are
// removed. Returns false when host.bak already holds `replacement`, so that it need not
// be written. Throws FileError; a failure leaves host.bak as it was.
bool KeepBackupBeforeReplacing(const Machine& machine, std::string_view replacement);

}  // namespace tsl
