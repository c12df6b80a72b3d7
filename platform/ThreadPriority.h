#pragma once

namespace platform {

/// Puts the calling thread in the background: it runs only on what CPU time
/// the threads of normal priority leave (nice 19 on Linux, the
/// lowest priority on Windows), so that any of them woken while it is busy
/// runs first. For threads whose work can wait a few milliseconds (sends
/// to many listeners). Once it has a CPU, the system may still let it run
/// out its time slice, milliseconds long, before a thread woken meanwhile:
/// one that must give way at once offers its CPU between steps
/// (`std::this_thread::yield`). False when the system refused; the thread
/// then runs on as it was. Not undone: the thread keeps it until it ends.
bool runInBackground();

} // namespace platform
