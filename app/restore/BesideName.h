// The name a restored file takes beside a file of its own name, so that nothing is ever
// overwritten: "<name> (ze zálohy <yyyy-mm-dd hh.mm>)<.extension>" with the backup's time, for
// example "zprava (ze zálohy 2026-12-08 18.00).odt"; a name without an extension gets none. When
// that name is taken too, " (2)", " (3)", ... follow the brackets.
#pragma once

#include <cstdint>
#include <string>

namespace ostrivane::restore {

// The backup's time in local time as the name shows it ("2026-12-08 18.00").
std::string BackupStamp(std::int64_t made);

// The `attempt`-th name (1, 2, ...) beside `name` for a backup made at `stamp`.
std::string BesideName(const std::string& name, const std::string& stamp, int attempt);

} // namespace ostrivane::restore
