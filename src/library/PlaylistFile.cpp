#include "library/PlaylistFile.h"

#include "message/UrlCoding.h"
#include "library/FileText.h"
#include "library/LibraryPath.h"
#include "library/PlaylistReaders.h"

namespace library {

namespace {

// Appends `piece` with its line breaks turned into blanks: a title or path
// holding a line feed would otherwise be read back as two lines (a peer takes
// the line after "#EXTINF:" as the URL to play).
void appendOneLine(std::string& text, std::string_view piece)
{
    for (char c : piece)
        text += (c == '\n' || c == '\r') ? ' ' : c;
}

} // namespace

PlaylistFile::PlaylistFile() : readers{{"m3u", &readM3u}, {"pls", &readPls}}
{
}

PlaylistFile::PlaylistFile(const std::string& path) : PlaylistFile()
{
    const auto reader = readers.find(extensionOf(path));
    if (reader == readers.end())
        return;
    std::string text;
    // One byte more than a reader looks at, so that it sees when the limit
    // cuts the file's last line.
    if (readFileHead(path, PlaylistLimits::maxTextBytes + 1, text))
        reader->second(text, items);
}

bool PlaylistFile::isPlaylistFile(std::string_view path)
{
    const std::string extension = extensionOf(path);
    return extension == "m3u" || extension == "pls";
}

void PlaylistFile::add(std::string path, std::string title)
{
    items.push_back({std::move(path), std::move(title), 0});
}

void PlaylistFile::add(const PlaylistItem& item)
{
    items.push_back(item);
}

std::string PlaylistFile::writeM3u(std::string_view prefix, bool encode) const
{
    std::string text = "#EXTM3U\n";
    for (const PlaylistItem& item : items) {
        text += "#EXTINF:";
        text += std::to_string(item.length);
        text += ',';
        appendOneLine(text, item.title);
        text += '\n';
        appendOneLine(text, prefix);
        if (!prefix.empty() && encode)
            text += http::urlEncode(item.path);
        else
            appendOneLine(text, item.path);
        text += '\n';
    }
    return text;
}

std::string PlaylistFile::writeM3u() const
{
    return writeM3u({}, false);
}

} // namespace library
