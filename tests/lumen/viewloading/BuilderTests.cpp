#include "tests/lumen/viewloading/ViewLoadingTesting.h"

#include "Lumen/views/AnimatedImageView.h"
#include "Lumen/views/LMBuilder.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTextDocument>

namespace Lumen::Testing {
namespace {

class BuilderTest : public ViewLoadingTest {
protected:
    std::shared_ptr<LM::Builder> builder(const char* path)
    {
        auto made = LM::source(source(path));
        made->onSuccess([this](const RetrieveImageResult& result) { succeeded.push_back(result.image); })
            .onFailure([this](const LumenError& error) { failed.push_back(error); });
        return made;
    }

    std::vector<ImagePtr> succeeded;
    std::vector<LumenError> failed;
};

TEST_F(BuilderTest, AppliesToEachObjectAndRoutesTheOutcomeToItsBlocks)
{
    QLabel view;
    QPushButton button;
    QTextDocument document;
    QAction action;
    AnimatedImageView animatedView;
    const TextAttachment attachment{&document, QUrl(QStringLiteral("lumen://picture"))};
    struct Case { const char* name; std::function<void(LM::Builder&)> apply; std::function<QColor()> shown; };
    const Case cases[] = {
        {"image view", [&](LM::Builder& b) { b.set(&view); }, [&] { return colorOf(view.pixmap()); }},
        {"button", [&](LM::Builder& b) { b.set(&button); }, [&] { return colorOf(button.icon(), QIcon::Off); }},
        {"alternate image", [&](LM::Builder& b) { b.setAlternateImage(&button); },
         [&] { return colorOf(lm(&button).alternateImage() ? button.icon() : QIcon(), QIcon::On); }},
        {"text attachment", [&](LM::Builder& b) { b.set(attachment); },
         [&] { return colorOf(lm(attachment).image() ? QPixmap::fromImage(lm(attachment).image()->bitmap()) : QPixmap()); }},
        {"menu item", [&](LM::Builder& b) { b.set(&action); }, [&] { return colorOf(action.icon()); }},
        {"animated image view", [&](LM::Builder& b) { b.set(&animatedView); },
         [&] { return colorOf(QPixmap::fromImage(animatedView.image()->bitmap())); }},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        succeeded.clear();
        test.apply(*builder("/red.png"));
        ASSERT_TRUE(Tivrand::Testing::waitUntil([&] { return !succeeded.empty(); }));
        EXPECT_EQ(test.shown(), QColor(Qt::red));
    }
}

TEST_F(BuilderTest, WithoutSourceFailureBlockGetsEmptySourceAtOnce)
{
    QLabel view;
    LM::url(std::nullopt)->onFailure([this](const LumenError& error) { failed.push_back(error); }).set(&view);
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_NE(failed[0].reasonAs<LumenError::ImageSettingErrorReason::EmptySource>(), nullptr);
}

TEST_F(BuilderTest, ProgressReportsOnlyForRequestsAppliedAfterItsBlock)
{
    holdSlow();
    QLabel first;
    QLabel second;
    auto made = builder("/slow.png");
    made->forceRefresh().set(&first);
    int reports = 0;
    made->onProgress([&](std::int64_t, std::int64_t) { ++reports; });
    server.releaseResponses();
    ASSERT_TRUE(Tivrand::Testing::waitUntil([&] { return succeeded.size() == 1; }));
    Tivrand::Testing::pumpEvents(std::chrono::milliseconds(20));
    EXPECT_EQ(reports, 0);

    made->set(&second);
    ASSERT_TRUE(Tivrand::Testing::waitUntil([&] { return succeeded.size() == 2 && reports > 0; }));
}

TEST_F(BuilderTest, KeepsTheManagerDefaultsOfItsMaking)
{
    manager->setDefaultOptions({Option::KeepCurrentImageWhileLoading{}});
    const auto earlier = LM::url(server.url());
    manager->setDefaultOptions({});
    EXPECT_TRUE(earlier->options().keepCurrentImageWhileLoading);
    EXPECT_FALSE(LM::url(server.url())->options().keepCurrentImageWhileLoading);
}

} // namespace
} // namespace Lumen::Testing
