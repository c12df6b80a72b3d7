// Starts a rebuild of the index below argv[1] over the folder argv[2] and
// kills its own process with SIGKILL at the tenth entry, while the writer is
// open: what a power cut or "kill -9" leaves behind.
#include "library/Indexer.h"
#include "threading/Callback.h"

#include <csignal>

namespace {

struct Killer {
    std::intptr_t onProgress(threading::CallbackArgument)
    {
        std::raise(SIGKILL);
        return 0;
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    library::Indexer indexer({argv[2]}, {"mp3"}, argv[1]);
    Killer killer;
    threading::Callback<Killer> callback(&killer, &Killer::onProgress);
    indexer.onProgress.add(&callback);
    if (!indexer.start())
        return 1;
    indexer.threadHandle()->wait();
    return 1;
}
