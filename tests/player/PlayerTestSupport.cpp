#include "PlayerTestSupport.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <cstdlib>
#include <fstream>
#include <random>

namespace player::test {

TempDirectory::TempDirectory()
{
    std::random_device random;
    root = std::filesystem::temp_directory_path() /
           ("tunelet-player-test-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(root);
}

TempDirectory::~TempDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

namespace {

void put32(std::string& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void put16(std::string& out, std::uint16_t value)
{
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

} // namespace

bool writeTaggedWav(const std::string& path, int seconds, const std::string& artist,
                    const std::string& title, const std::string& album)
{
    constexpr std::uint32_t rate = 8000;
    const std::uint32_t dataSize = rate * static_cast<std::uint32_t>(seconds);
    std::string wav = "RIFF";
    put32(wav, 36 + dataSize);
    wav += "WAVEfmt ";
    put32(wav, 16);
    put16(wav, 1);     // PCM
    put16(wav, 1);     // mono
    put32(wav, rate);  // samples per second
    put32(wav, rate);  // bytes per second
    put16(wav, 1);     // block alignment
    put16(wav, 8);     // bits per sample
    wav += "data";
    put32(wav, dataSize);
    wav.append(dataSize, static_cast<char>(0x80));
    {
        std::ofstream out(path, std::ios::binary);
        out << wav;
        if (!out)
            return false;
    }
    if (artist.empty() && title.empty() && album.empty())
        return true;
    TagLib::FileRef file(path.c_str());
    if (file.isNull() || !file.tag())
        return false;
    file.tag()->setArtist(TagLib::String(artist, TagLib::String::UTF8));
    file.tag()->setTitle(TagLib::String(title, TagLib::String::UTF8));
    file.tag()->setAlbum(TagLib::String(album, TagLib::String::UTF8));
    return file.save();
}

} // namespace player::test
