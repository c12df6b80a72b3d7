#pragma once

#include "library/FileEnds.h"
#include "platform/UniqueFd.h"

#include <taglib/tbytevector.h>
#include <taglib/tiostream.h>

#include <string>

namespace library {

/// A read-only stream over a media file, for the tag library. The file's
/// head and tail (where tags and the first and last audio frames lie) are
/// read once, with one call each (a file of at most both is read whole,
/// with one), and every read the tag library makes there
/// is answered from memory; reads elsewhere go to the file. Named by its
/// path, so that the tag library still tells the type by the extension.
/// Opened through the platform layer, so the path is UTF-8 on every system.
/// One thread at a time; nothing throws.
class TagFileStream final : public TagLib::IOStream {
public:
    static constexpr long cachedBytes = 64 * 1024;

    /// Opens `path` for reading when it is a regular file, without waiting
    /// (a pipe or a device in a shared folder cannot hold the caller), and
    /// reads its head and tail; `isOpen()` is false when any of that failed.
    explicit TagFileStream(const std::string& path);
    /// The same over `opened`, the file at `path` opened already by `open`
    /// or with `openFlags` (a crawl opens it relative to its directory;
    /// `path` is then its name for the tag library alone), keeping the head
    /// and tail in `store`, whose memory a reader of many files hands from
    /// one stream to the next so that no file costs an allocation of its
    /// own. `store` must outlive the stream and every block read from it,
    /// and is not used by anything else meanwhile.
    TagFileStream(const std::string& path, TagLib::ByteVector& store, platform::UniqueFd opened);

    /// How the stream opens its file (read only, without waiting, renewing
    /// no access time).
    static const unsigned openFlags;
    /// `path` opened so; an empty descriptor when it cannot be, or holds a NUL byte.
    static platform::UniqueFd open(const std::string& path);

    /// The head and tail read, and a reader of the rest, for our own tag
    /// parsers: the same bytes the tag library is given, read once. Valid
    /// while the stream lives and its store is unchanged.
    FileEnds ends() const;

    TagLib::FileName name() const override { return path.c_str(); }
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector&) override {}
    void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
    void removeBlock(unsigned long, unsigned long) override {}
    bool readOnly() const override { return true; }
    bool isOpen() const override { return readable; }
    void seek(long offset, Position from) override;
    long tell() const override { return position; }
    long length() override { return size; }
    void truncate(long) override {}

private:
    /// `count` bytes at `offset` into `to`; false when the file gave fewer.
    bool fill(char* to, long offset, long count) const;

    platform::UniqueFd file;
    long size = 0;
    std::string path;
    TagLib::ByteVector owned;
    /// The head, then the tail, which begins at `tailStart` in the file.
    TagLib::ByteVector& cache;
    long headSize = 0;
    long tailStart = 0;
    long position = 0;
    bool readable = false;
};

} // namespace library
