#include "Lumen/retrieval/LocalFileImageDataProvider.h"
#include "Lumen/retrieval/RawImageDataProvider.h"
#include "Lumen/retrieval/Source.h"
#include "Lumen/retrieval/URLKeys.h"

#include <gtest/gtest.h>

namespace Lumen {
namespace {

QUrl fileUrl(const char* path)
{
    return QUrl(QString::fromUtf8(path));
}

TEST(LocalFileCacheKey, KeepsThePathFromTheInnermostBundleOn)
{
    const struct { const char* url; const char* key; } table[] = {
        {"file:///opt/Shop.app/Contents/Resources/icon.png", "lumen.local.cacheKey/Shop.app/Contents/Resources/icon.png"},
        {"file:///a/Host.app/Contents/PlugIns/Ext.appex/img.png", "lumen.local.cacheKey/Ext.appex/img.png"},
        {"file:///opt/pics/a.png", "lumen.local.cacheKey///opt/pics/a.png"},
        {"file:///opt/pics/a.png?v=2", "lumen.local.cacheKey///opt/pics/a.png?v=2"},
        {"file:///opt/Shop.APP/a.png", "lumen.local.cacheKey///opt/Shop.APP/a.png"},
        {"file:///opt//pics/a%20b.png", "lumen.local.cacheKey///opt/pics/a b.png"},
        {"file:", "lumen.local.cacheKey/"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.url);
        EXPECT_EQ(localFileCacheKey(fileUrl(row.url)), QString::fromUtf8(row.key));
    }
}

TEST(Resource, KeysAndConversionsFollowTheUrlKind)
{
    const QUrl remote(QStringLiteral("https://img.example.com/a b.png?size=2#top"));
    EXPECT_EQ(URLResource(remote).cacheKey(), QStringLiteral("https://img.example.com/a%20b.png?size=2#top"));

    const Source overridden = URLResource(remote).convertToSource(QStringLiteral("mine"));
    ASSERT_NE(overridden.networkResource(), nullptr);
    // Any resource is wrapped anew as the library's own.
    EXPECT_TRUE(overridden.description().startsWith(QStringLiteral("network(ImageResource(cacheKey: \"mine\"")));

    const QUrl file(QStringLiteral("file:///opt/Shop.app/icon.png"));
    for (const auto& [override, key] : {std::pair{std::optional<QString>(), QStringLiteral("given")},
                                        std::pair{std::optional(QStringLiteral("mine")), QStringLiteral("mine")}}) {
        SCOPED_TRACE(key.toStdString());
        const Source local = LM::ImageResource(file, QStringLiteral("given")).convertToSource(override);
        ASSERT_NE(local.dataProvider(), nullptr);
        EXPECT_EQ(local.cacheKey(), key);
    }
    EXPECT_EQ(URLResource(file).convertToSource().cacheKey(), QStringLiteral("lumen.local.cacheKey/Shop.app/icon.png"));
}

TEST(Source, EqualityAndHashingFollowKindKeyAndUrl)
{
    const QUrl url(QStringLiteral("file:///pics/a.png"));
    const auto network = [](const QUrl& at, const char* key) {
        return Source::network(LM::ImageResource(at, QString::fromLatin1(key)));
    };
    const auto file = [](const QUrl& at, const char* key) {
        return Source::provider(std::make_shared<LocalFileImageDataProvider>(at, QString::fromLatin1(key)));
    };
    const auto raw = [](const char* key) {
        return Source::provider(std::make_shared<RawImageDataProvider>(QByteArray("x"), QString::fromLatin1(key)));
    };
    const QUrl other(QStringLiteral("file:///pics/b.png"));
    const struct { const char* name; Source lhs; Source rhs; bool equal; } table[] = {
        {"same network", network(url, "k"), network(url, "k"), true},
        {"network keys differ", network(url, "k"), network(url, "j"), false},
        {"network URLs differ", network(url, "k"), network(other, "k"), false},
        {"kinds differ", network(url, "k"), file(url, "k"), false},
        {"content URL on one side only", file(url, "k"), raw("k"), false},
        {"no content URLs", raw("k"), raw("k"), true},
        {"content URLs differ", file(url, "k"), file(other, "k"), false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.lhs == row.rhs, row.equal);
        EXPECT_TRUE(!row.equal || qHash(row.lhs, 7) == qHash(row.rhs, 7));
    }
}

} // namespace
} // namespace Lumen
