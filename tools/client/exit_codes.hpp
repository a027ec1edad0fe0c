// The exit statuses of korvane-smpp, also listed in its --help.
#pragma once

namespace korvane::client {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;      // the SMSC refused an operation, the link broke, ...
inline constexpr int kExitUsage = 2;        // bad or missing arguments
inline constexpr int kExitBindFailure = 3;  // cannot connect, or the bind was refused
inline constexpr int kExitTimeout = 4;      // no answer within --timeout (or --for)

inline constexpr const char* kExitStatusHelp =
    "Exit status: 0 success, 1 operation failed (refused by the SMSC, link lost),\n"
    "2 bad arguments, 3 cannot connect or bind refused, 4 timeout / no answer.";

}  // namespace korvane::client
