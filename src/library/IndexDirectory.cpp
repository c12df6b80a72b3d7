#include "library/IndexDirectory.h"

#include "platform/Files.h"

#include <cerrno>
#include <cstring>
#include <mutex>

namespace library {

using lucene::store::BufferedIndexOutput;

class IndexDirectory::Failures {
public:
    /// Keeps `error` (an errno value) unless a failure is kept already.
    void record(int error)
    {
        std::lock_guard lock(mutex);
        if (text.empty())
            text = error != 0 ? std::strerror(error) : "input/output error";
    }
    std::string first() const
    {
        std::lock_guard lock(mutex);
        return text;
    }
    bool any() const { return !first().empty(); }

private:
    mutable std::mutex mutex;
    std::string text;
};

namespace {

[[noreturn]] void throwWriteError()
{
    throw CLuceneError(CL_ERR_IO, "index file write error", false);
}

/// One file of the index. Writes through its buffer to the descriptor until
/// a write of any file of the directory fails; drops them from then on.
class GuardedOutput final : public BufferedIndexOutput {
public:
    GuardedOutput(platform::UniqueFd file, std::shared_ptr<IndexDirectory::Failures> failures)
        : file(std::move(file)), failures(std::move(failures))
    {
    }
    GuardedOutput(const GuardedOutput&) = delete;
    GuardedOutput& operator=(const GuardedOutput&) = delete;

    ~GuardedOutput() override
    {
        // The engine deletes files it did not close while an error unwinds;
        // nothing may leave a destructor then.
        try {
            close();
        } catch (...) {
        }
    }

    void close() override
    {
        if (closed)
            return;
        closed = true;
        try {
            BufferedIndexOutput::close();
        } catch (...) {
            // The failure is kept, so this second close drops the buffer
            // instead of writing it: the base's destructor would otherwise
            // flush it through this object once it is gone.
            BufferedIndexOutput::close();
            file.reset();
            throw;
        }
        if (file && !platform::closeFile(file) && !failures->any()) {
            failures->record(errno);
            throwWriteError();
        }
    }

    void seek(const int64_t position) override
    {
        BufferedIndexOutput::seek(position);
        if (dropping())
            return;
        if (position < 0)
            fail(EINVAL);
        if (!platform::seekTo(file.get(), static_cast<std::uint64_t>(position)))
            fail(errno);
    }

    int64_t length() const override
    {
        platform::FileStatus status;
        if (file && platform::statusOf(file.get(), status))
            return static_cast<int64_t>(status.size);
        return getFilePointer();
    }

protected:
    void flushBuffer(const uint8_t* bytes, const int32_t size) override
    {
        std::size_t written = 0;
        while (!dropping() && written < static_cast<std::size_t>(size)) {
            const long count = platform::writeSome(file.get(), bytes + written, static_cast<std::size_t>(size) - written);
            if (count <= 0 && errno == EINTR)
                continue;
            if (count <= 0)
                fail(count < 0 ? errno : EIO);
            written += static_cast<std::size_t>(count);
        }
    }

private:
    bool dropping() const { return !file || failures->any(); }

    [[noreturn]] void fail(int error)
    {
        failures->record(error);
        throwWriteError();
    }

    platform::UniqueFd file;
    std::shared_ptr<IndexDirectory::Failures> failures;
    bool closed = false;
};

} // namespace

void IndexDirectory::Release::operator()(IndexDirectory* directory) const
{
    // The engine counts references to its directories.
    _CLDECDELETE(directory);
}

IndexDirectory::IndexDirectory(std::string folder)
    : folder(std::move(folder)), failures(std::make_shared<Failures>())
{
}

IndexDirectory::Owner IndexDirectory::open(const std::string& folder)
{
    // Owned at once; given back through the engine's reference count.
    Owner directory(new IndexDirectory(folder));
    try {
        directory->init(folder.c_str());
    } catch (const CLuceneError&) {
        return nullptr;
    }
    return directory;
}

lucene::store::IndexOutput* IndexDirectory::createOutput(const char* name)
{
    platform::UniqueFd file = platform::openFile(folder + "/" + name,
                                                 platform::openWrite | platform::openCreate | platform::openTruncate);
    if (!file && !failures->any()) {
        failures->record(errno);
        throwWriteError();
    }
    // The engine owns its outputs and deletes them.
    return std::make_unique<GuardedOutput>(std::move(file), failures).release();
}

std::string IndexDirectory::failure() const
{
    return failures->first();
}

bool IndexDirectory::failed() const
{
    return failures->any();
}

} // namespace library
