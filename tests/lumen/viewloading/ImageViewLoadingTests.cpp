#include "tests/lumen/viewloading/ViewLoadingTesting.h"

#include "Lumen/foundation/ImagePlaceholder.h"
#include "Lumen/foundation/WidgetPlaceholder.h"
#include "Lumen/views/ActivityIndicator.h"
#include "Lumen/views/loading/ImageViewLoading.h"

#include <QLabel>

namespace Lumen::Testing {
namespace {

using ImageViewLoadingTest = ViewLoadingTest;

TEST_F(ImageViewLoadingTest, IndicatorAndWidgetPlaceholderLastWhileLoading)
{
    QLabel view;
    lm(&view).setIndicatorType(IndicatorType::activity());
    const auto indicator = std::dynamic_pointer_cast<ActivityIndicator>(lm(&view).indicator());
    ASSERT_NE(indicator, nullptr);
    auto placeholder = std::make_shared<WidgetPlaceholder>(std::make_unique<QWidget>());

    Completions loaded;
    lm(&view).setImage(source("/red.png"), placeholder, std::nullopt, {}, loaded.handler());
    EXPECT_EQ(indicator->animatingCount(), 1);
    EXPECT_EQ(placeholder->widget()->parentWidget(), &view);
    ASSERT_TRUE(loaded.waitFor());
    EXPECT_EQ(indicator->animatingCount(), 0);
    EXPECT_NE(placeholder->widget()->parentWidget(), &view);
    EXPECT_EQ(colorOf(view.pixmap()), QColor(Qt::red));
}

TEST_F(ImageViewLoadingTest, KeepCurrentImageKeepsWhatTheViewShows)
{
    struct Case { const char* name; ImagePtr shown; QColor whileLoading; };
    const Case cases[] = {
        {"shown image stays", imageOf(Qt::green), Qt::green},
        {"empty view takes the placeholder", nullptr, Qt::blue},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        QLabel view;
        lm(&view).setPlaceholder(test.shown ? std::make_shared<ImagePlaceholder>(test.shown) : nullptr);
        Completions loaded;
        lm(&view).setImage(source("/red.png"), std::make_shared<ImagePlaceholder>(imageOf(Qt::blue)),
                           LumenOptionsInfo{Option::KeepCurrentImageWhileLoading{}}, {}, loaded.handler());
        EXPECT_EQ(colorOf(view.pixmap()), test.whileLoading);
        ASSERT_TRUE(loaded.waitFor());
        EXPECT_EQ(colorOf(view.pixmap()), QColor(Qt::red));
    }
}

} // namespace
} // namespace Lumen::Testing
