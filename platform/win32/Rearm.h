#pragma once

// Internal to the Windows platform layer. WSAPoll reports levels; a readiness
// set reports a socket watched for arrivals once, then leaves it out of its
// waits until the socket is read from (or, for room to send, sent on) through
// the socket functions, which call these. Any thread.
namespace platform::win32 {

void rearmAfterReceive(int socket);
void rearmAfterSend(int socket);

} // namespace platform::win32
