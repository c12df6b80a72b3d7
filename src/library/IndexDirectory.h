#pragma once

#include <CLucene.h>

#include <memory>
#include <string>

namespace library {

/// The folder one rebuild writes its index into, as the search engine's
/// directory. Unlike the engine's own, its files never throw from a
/// destructor. The first write that fails (a full disk, an I/O error) is
/// kept and throws the engine's I/O error from that write; from then on
/// every write to every file of the directory is dropped without a word, so
/// the engine's cleanup while that error unwinds (files closed from
/// destructors) cannot fail a second time. The rebuild reads `failure()`
/// and discards what was written.
///
/// Made, handed to the engine's writer (which borrows it) and destroyed by
/// the rebuild's thread; its files may be written on the engine's threads.
class IndexDirectory final : public lucene::store::FSDirectory {
public:
    struct Release {
        void operator()(IndexDirectory* directory) const;
    };
    using Owner = std::unique_ptr<IndexDirectory, Release>;

    /// The directory over `folder`, which must exist; empty when the engine
    /// refuses it.
    static Owner open(const std::string& folder);

    lucene::store::IndexOutput* createOutput(const char* name) override;

    /// Empty while every write succeeded; else why the first one failed.
    std::string failure() const;
    bool failed() const;

    /// The first failure of the directory and of the files it made (which
    /// may outlive it in the engine's hands).
    class Failures;

private:
    explicit IndexDirectory(std::string folder);

    std::string folder;
    std::shared_ptr<Failures> failures;
};

} // namespace library
