// The few socket calls the loopback servers make, one file per system (Winsock on Windows).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnwick::test::net {

using Socket = std::intptr_t;
inline constexpr Socket kNoSocket = -1;

// A listening socket on 127.0.0.1 at a port the system chooses (port: -1 when it failed).
Socket ListenOnLoopback(int& port);
// The next connection; kNoSocket once StopListening has run.
Socket Accept(Socket listener);
// Wakes an Accept that waits, and refuses what comes after.
void StopListening(Socket listener);
// False when nothing came for idleMs (negative: no limit).
bool WaitReadable(Socket socket, int idleMs);
// Bytes moved; 0 or less at the end of the stream or on an error.
long Receive(Socket socket, char* data, std::size_t size);
long Send(Socket socket, const char* data, std::size_t size);
void ShutdownWrite(Socket socket);
void ShutdownBoth(Socket socket);
void Close(Socket socket);
// Frees the listener once nothing waits on it any more.
void ReleaseListener(Socket listener);

}  // namespace tarnwick::test::net
