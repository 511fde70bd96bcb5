#include "Lumen/retrieval/LivePhotoSource.h"

#include <gtest/gtest.h>

namespace Lumen {
namespace {

using FileType = LivePhotoResource::FileType;

TEST(LivePhotoResource, TypesByExtensionAcceptingOnlyShortAlphanumericOnes)
{
    const struct {
        const char* url;
        FileType type;
    } table[] = {
        {"https://x.test/a.MOV", FileType::mov()},
        {"https://x.test/a.Heic?v=1", FileType::heic()},
        {"https://x.test/a.JPG", FileType::other(u"jpg")},
        {"https://x.test/a.mp4", FileType::other(u"mp4")},
        {"https://x.test/a", FileType::other(u"")},
        {"https://x.test/a.mov/", FileType::other(u"")},
        {"https://x.test/a.toolongext", FileType::other(u"")},
        {"https://x.test/a.he%20ic", FileType::other(u"")},
        {"https://x.test/a.m-v", FileType::other(u"")},
        {"file:///tmp/a.mov", FileType::mov()},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.url);
        EXPECT_EQ(LivePhotoResource(QUrl(QString::fromUtf8(row.url))).referenceFileType, row.type);
    }
    EXPECT_TRUE(FileType::other(u"../x").isUndetermined());
    EXPECT_EQ(FileType::other(u"MP4"), FileType::other(u"mp4"));
}

QByteArray isoHead(const char* brand)
{
    return QByteArray::fromHex("00000018") + QByteArray("ftyp") + QByteArray(brand) + QByteArray(8, '\0');
}

TEST(LivePhotoResource, DeterminesTheStoredExtensionFromTheBytes)
{
    const struct {
        const char* name;
        FileType type;
        QByteArray data;
        std::optional<QString> extension;
    } table[] = {
        {"heic brand", FileType::other(u""), isoHead("heic"), QStringLiteral("heic")},
        {"qt brand", FileType::other(u""), isoHead("qt  "), QStringLiteral("mov")},
        {"other brand", FileType::other(u""), isoHead("avif"), std::nullopt},
        {"eleven bytes", FileType::other(u""), isoHead("heic").left(11), std::nullopt},
        {"no ftyp", FileType::other(u""), QByteArray(16, 'x'), std::nullopt},
        {"given extension", FileType::other(u"jpg"), QByteArray("x"), QStringLiteral("jpg")},
        {"still with its brand", FileType::heic(), isoHead("mif1"), QStringLiteral("heic")},
        {"still with a movie brand", FileType::heic(), isoHead("qt  "), std::nullopt},
        {"movie with its brand", FileType::mov(), isoHead("isom"), QStringLiteral("mov")},
        {"movie that is an HTML page", FileType::mov(), QByteArray("<html><body>not found"), std::nullopt},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.type.determinedFileExtension(row.data), row.extension);
    }
}

} // namespace
} // namespace Lumen
