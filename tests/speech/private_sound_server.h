// The private PipeWire server of the tests (tests/speech/pipewire_server.sh) for programs that run
// outside CTest's fixture, the benchmarks above all.
#pragma once

namespace quillon::testing {

// Starts the server in a temporary folder the first time it is called, unless PULSE_SERVER
// already names a server, and points PULSE_SERVER and QUILLON_PIPEWIRE_DIR at it; the server is
// stopped when the program exits. Exits the program with a message when it cannot start it.
void UsePrivateSoundServer();

}  // namespace quillon::testing
