// "cover" over loopback: embedded pictures (MP3 and FLAC made with ffmpeg),
// image files of a folder, scaling, the small variant, what gets 404 (no
// cover, a refused path, a broken or oversized image), revalidation, and
// answers from the cache.
#include "ServedLibrary.h"

#include <QBuffer>
#include <QImage>

#include <cstdlib>

namespace fs = std::filesystem;

namespace {

using webapptest::ServedLibrary;

const std::string notFoundPage = "<html><body><h1>404 Not Found</h1></body></html>";

/// Writes a `width` x `height` image in `format` ("JPEG", "PNG", "WEBP"),
/// half transparent when `pixels` has an alpha channel.
std::string image(const std::string& path, int width, int height, const char* format,
                  QImage::Format pixels = QImage::Format_RGB32)
{
    fs::create_directories(fs::path(path).parent_path());
    QImage picture(width, height, pixels);
    picture.fill(picture.hasAlphaChannel() ? QColor(0, 128, 128, 128) : QColor(Qt::darkCyan));
    EXPECT_TRUE(picture.save(QString::fromStdString(path), format)) << path;
    return path;
}

/// A short silent track in `path` (its extension picks the codec), with
/// `picture` attached when given.
std::string track(const std::string& path, const std::string& picture = "")
{
    fs::create_directories(fs::path(path).parent_path());
    std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i anullsrc=r=44100:cl=mono";
    if (!picture.empty())
        command += " -i '" + picture + "' -map 0:a -map 1:v -c:v copy -disposition:v attached_pic -id3v2_version 3";
    command += " -t 0.1";
    command += path.ends_with(".flac") ? " -c:a flac '" : " -c:a libmp3lame '";
    EXPECT_EQ(std::system((command + path + "'").c_str()), 0) << command;
    return path;
}

QSize sizeOf(const std::string& body)
{
    return QImage::fromData(QByteArray(body.data(), static_cast<qsizetype>(body.size()))).size();
}

class Covers : public ServedLibrary {};

} // namespace

TEST_F(Covers, FoundScaledRefusedAndRevalidated)
{
    const std::string pictures = dir.path("pictures");
    track(music + "/embedded/a.mp3", image(pictures + "/300.jpg", 300, 200, "JPEG"));
    track(music + "/embedded/b.flac", image(pictures + "/1000.png", 1000, 500, "PNG"));
    track(music + "/folder/song.mp3");
    image(music + "/folder/Cover.JPG", 200, 200, "JPEG");
    image(music + "/folder/front.png", 90, 90, "PNG");  // a later choice than "cover"
    track(music + "/bare/song.mp3");
    track(dir.path("outside/song.mp3"), pictures + "/300.jpg");
    image(dir.path("outside/cover.jpg"), 50, 50, "JPEG");
    image(music + "/huge/folder.png", 4000, 3000, "PNG");
    image(more + "/webp/front.webp", 300, 150, "WEBP", QImage::Format_ARGB32);
    track(more + "/broken/song.mp3");
    file(more + "/broken/cover.jpg", "\xff\xd8\xff\xe0 not a picture at all");
    // 7000 x 7000 claims more pixels than any cover may have.
    image(more + "/bomb/cover.png", 7000, 7000, "PNG", QImage::Format_Mono);

    struct Case {
        std::string path, size;
        int status;
        std::string type;
        QSize dimensions;
    };
    const std::vector<Case> cases = {
        {music + "/embedded/a.mp3", "", 200, "image/jpeg", {300, 200}},
        {music + "/embedded/b.flac", "", 200, "image/jpeg", {512, 256}},
        {music + "/embedded", "", 200, "image/jpeg", {300, 200}},  // the first track's picture
        {music + "/folder/song.mp3", "", 200, "image/jpeg", {200, 200}},
        {music + "/folder", "", 200, "image/jpeg", {200, 200}},
        {music + "/huge", "", 200, "image/jpeg", {512, 384}},
        {music + "/huge", "small", 200, "image/jpeg", {128, 96}},
        {music + "/embedded/b.flac", "small", 200, "image/jpeg", {128, 64}},
        {more + "/webp", "", 200, "image/webp", {300, 150}},
        {more + "/webp", "small", 200, "image/png", {128, 64}},  // transparency kept
        {music + "/bare/song.mp3", "", 404, "", {}},
        {music + "/bare", "", 404, "", {}},
        {dir.path("outside/song.mp3"), "", 404, "", {}},
        {dir.path("outside"), "", 404, "", {}},
        {music + "/../outside/song.mp3", "", 404, "", {}},
        {music + "/none.mp3", "", 404, "", {}},
        {more + "/broken/song.mp3", "", 404, "", {}},
        {more + "/bomb", "", 404, "", {}},
        {"search://song", "", 404, "", {}},
        {"album://nobody/nothing", "", 404, "", {}},
    };
    for (const Case& c : cases) {
        const std::string what = c.path + " " + c.size;
        Parameters parameters = {{"path", c.path}};
        if (!c.size.empty())
            parameters["size"] = c.size;
        // The first answer is made, the second comes from the cache.
        for (int round = 0; round < 2; ++round) {
            Answer answer = get("cover", parameters);
            EXPECT_EQ(answer.status, c.status) << what;
            if (c.status != 200) {
                EXPECT_EQ(answer.body, notFoundPage) << what;
                continue;
            }
            EXPECT_EQ(answer.header("Content-Type"), c.type) << what;
            EXPECT_EQ(sizeOf(answer.body), c.dimensions) << what << " round " << round;
            EXPECT_TRUE(answer.header("Last-Modified").has_value()) << what;
            const std::string tag = answer.header("ETag").value_or("");
            ASSERT_EQ(tag.size(), 34u) << what;
            Answer again = get("cover", parameters, "Host: 127.0.0.1\r\n" + cookie + "If-None-Match: W/\"x\", " + tag
                                              + "\r\nIf-Modified-Since: Thu, 1 Jan 1970 0:0:0 GMT\r\n");
            EXPECT_EQ(again.status, 304) << what;
            EXPECT_EQ(again.body, "") << what;
            EXPECT_EQ(again.header("ETag"), tag) << what;
        }
    }

    // A cover file added to a folder counts at once: the folder's sources,
    // and so the cache entry and the tag, changed. Browsers ask with the
    // date too: the tag decides.
    image(music + "/bare/folder.jpeg", 64, 32, "JPEG");
    const std::string oldTag = get("cover", {{"path", music + "/bare"}}).header("ETag").value_or("");
    image(music + "/bare/cover.png", 40, 40, "PNG");
    Answer changed = get("cover", {{"path", music + "/bare"}},
                         "Host: 127.0.0.1\r\n" + cookie + "If-None-Match: " + oldTag
                             + "\r\nIf-Modified-Since: Thu, 1 Jan 2099 0:0:0 GMT\r\n");
    EXPECT_EQ(changed.status, 200);
    EXPECT_EQ(sizeOf(changed.body), QSize(40, 40));
}

TEST_F(Covers, OneColdCoverAskedForByManyAtOnce)
{
    image(music + "/album/cover.png", 1200, 800, "PNG");
    track(music + "/album/a.mp3");
    constexpr int clients = 6;
    std::vector<Answer> answers(clients);
    {
        std::vector<std::jthread> threads;
        for (int i = 0; i < clients; ++i)
            threads.emplace_back([&, i] { answers[i] = get("cover", {{"path", music + "/album"}}); });
    }
    for (const Answer& answer : answers) {
        EXPECT_EQ(answer.status, 200);
        EXPECT_EQ(sizeOf(answer.body), QSize(512, 341));
        EXPECT_EQ(answer.header("ETag"), answers[0].header("ETag"));
    }
    // One entry, whichever thread's rename came last, and no temporary left.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path("gen_Tunelet/cover-cache")))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names.size(), 1u);
}

TEST_F(Covers, ServedWhenTheCacheCannotKeepIt)
{
    file(dir.path("gen_Tunelet/cover-cache"), "a file where the cache folder would be");
    image(music + "/album/folder.jpg", 600, 600, "JPEG");
    for (int round = 0; round < 2; ++round) {
        Answer answer = get("cover", {{"path", music + "/album"}, {"size", "small"}});
        EXPECT_EQ(answer.status, 200);
        EXPECT_EQ(sizeOf(answer.body), QSize(128, 128));
    }
}
