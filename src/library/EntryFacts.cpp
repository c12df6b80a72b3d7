#include "library/EntryFacts.h"

#include "library/ByteOrder.h"
#include "platform/Files.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace library {

namespace {

constexpr std::string_view mark = "tunelet facts 1\n";
constexpr std::size_t recordHead = 4 + 4 + 4 + 8;
constexpr std::size_t trailerSize = 8 + mark.size();
constexpr std::size_t flushAt = 64 << 10;
/// Larger than any facts file of an index we could write (paths included),
/// and than any this process could hold.
constexpr std::uint64_t sizeLimit =
    std::min<std::uint64_t>(std::uint64_t{4} << 30, std::numeric_limits<std::size_t>::max() / 2);

std::string factsPath(const std::string& folder)
{
    return folder + "/facts";
}

void putLittleEndian(std::string& into, std::uint64_t value, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i, value >>= 8)
        into.push_back(static_cast<char>(value & 0xff));
}

} // namespace

EntryFactsWriter::EntryFactsWriter(const std::string& folder)
    : path(factsPath(folder)),
      file(platform::openFile(path, platform::openWrite | platform::openCreate | platform::openTruncate))
{
    failed = !file;
}

EntryFactsWriter::~EntryFactsWriter()
{
    if (!kept)
        discard();
}

void EntryFactsWriter::discard()
{
    failed = true;
    kept = false;
    file.reset();
    platform::removeFile(path);
}

void EntryFactsWriter::add(const EntryFact& fact)
{
    if (failed)
        return;
    putLittleEndian(buffer, fact.path.size(), 4);
    putLittleEndian(buffer, fact.attributes, 4);
    putLittleEndian(buffer, fact.size, 4);
    putLittleEndian(buffer, fact.modified, 8);
    buffer.append(fact.path);
    ++count;
    if (buffer.size() >= flushAt)
        flush();
}

void EntryFactsWriter::flush()
{
    std::string_view rest = buffer;
    while (!failed && !rest.empty()) {
        const long written = platform::writeSome(file.get(), rest.data(), rest.size());
        if (written <= 0)
            failed = true;
        else
            rest.remove_prefix(static_cast<std::size_t>(written));
    }
    buffer.clear();
}

bool EntryFactsWriter::finish()
{
    if (!failed) {
        putLittleEndian(buffer, count, 8);
        buffer.append(mark);
        flush();
    }
    kept = !failed && platform::closeFile(file);
    if (!kept)
        discard();
    return kept;
}

bool readEntryFacts(const std::string& folder, const std::function<void(const EntryFact&)>& each,
                    const std::function<void(std::size_t entries, std::size_t pathBytes)>& sized)
{
    platform::UniqueFd file = platform::openFile(factsPath(folder), platform::openRead);
    platform::FileStatus status{};
    if (!file || !platform::statusOf(file.get(), status) || status.size < trailerSize || status.size > sizeLimit)
        return false;
    std::string bytes(static_cast<std::size_t>(status.size), '\0');
    for (std::size_t read = 0; read < bytes.size();) {
        const long got = platform::readAt(file.get(), bytes.data() + read, bytes.size() - read, read);
        if (got <= 0)
            return false;
        read += static_cast<std::size_t>(got);
    }
    const std::string_view all = bytes;
    if (!all.ends_with(mark))
        return false;
    const std::size_t end = all.size() - trailerSize;
    std::uint64_t count = littleEndian(all, end, 8);
    if (count > end / recordHead)
        return false;
    if (sized)
        sized(static_cast<std::size_t>(count), end - static_cast<std::size_t>(count) * recordHead);
    std::size_t at = 0;
    for (; count > 0 && end - at >= recordHead; --count) {
        const auto length = static_cast<std::size_t>(littleEndian(all, at, 4));
        if (end - at - recordHead < length)
            return false;
        each({all.substr(at + recordHead, length), static_cast<std::uint32_t>(littleEndian(all, at + 4, 4)),
              static_cast<std::uint32_t>(littleEndian(all, at + 8, 4)), littleEndian(all, at + 12, 8)});
        at += recordHead + length;
    }
    return count == 0 && at == end;
}

} // namespace library
