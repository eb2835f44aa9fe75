// The exit codes every subcommand of quillon-tool shares.
#pragma once

namespace quillon::tool {

inline constexpr int kExitCannotOpen = 2;  // the document cannot be read
inline constexpr int kExitUsage = 64;      // bad options

}  // namespace quillon::tool
