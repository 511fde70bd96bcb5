#include "Lumen/foundation/AttachedValue.h"
#include "Lumen/foundation/Box.h"

#include <gtest/gtest.h>

#include <QObject>
#include <QString>

namespace Lumen {
namespace {

constexpr AttachedKey<Box<quint64>> taskIdentifierKey{"lumen.test.taskIdentifier"};
constexpr AttachedKey<Box<QString>> sameNameOtherTypeKey{"lumen.test.taskIdentifier"};
constexpr AttachedKey<Box<quint64>> otherKey{"lumen.test.other"};

TEST(AttachedValue, NeverWrittenReadsAsNone)
{
    QObject owner;
    EXPECT_EQ(attachedValue(owner, taskIdentifierKey), nullptr);
}

TEST(AttachedValue, ReadsBackTheSameObject)
{
    QObject owner;
    auto box = std::make_shared<Box<quint64>>(42);
    setAttachedValue(owner, taskIdentifierKey, box);

    const auto read = attachedValue(owner, taskIdentifierKey);
    EXPECT_EQ(read, box);
    read->value = 43;
    EXPECT_EQ(attachedValue(owner, taskIdentifierKey)->value, 43u);
    EXPECT_EQ(attachedValue(owner, otherKey), nullptr);
}

TEST(AttachedValue, OtherTypeReadsAsNone)
{
    QObject owner;
    setAttachedValue(owner, taskIdentifierKey, std::make_shared<Box<quint64>>(1));
    EXPECT_EQ(attachedValue(owner, sameNameOtherTypeKey), nullptr);

    owner.setProperty(otherKey.name, 7);
    EXPECT_EQ(attachedValue(owner, otherKey), nullptr);
}

TEST(AttachedValue, WritingNoneRemovesAndReleases)
{
    QObject owner;
    auto box = std::make_shared<Box<quint64>>(1);
    std::weak_ptr<Box<quint64>> watch = box;
    setAttachedValue(owner, taskIdentifierKey, std::move(box));

    setAttachedValue(owner, taskIdentifierKey, std::shared_ptr<Box<quint64>>());
    EXPECT_EQ(attachedValue(owner, taskIdentifierKey), nullptr);
    EXPECT_FALSE(owner.dynamicPropertyNames().contains(taskIdentifierKey.name));
    EXPECT_TRUE(watch.expired());
}

TEST(AttachedValue, LivesAsLongAsTheOwner)
{
    std::weak_ptr<Box<quint64>> watch;
    {
        QObject owner;
        auto box = std::make_shared<Box<quint64>>(1);
        watch = box;
        setAttachedValue(owner, taskIdentifierKey, std::move(box));
        EXPECT_FALSE(watch.expired());
    }
    EXPECT_TRUE(watch.expired());
}

} // namespace
} // namespace Lumen
