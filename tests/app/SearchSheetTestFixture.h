#pragma once

#include "TivrandApp/Persistence/PersistenceController.h"
#include "TivrandApp/search/SearchBarView.h"
#include "TivrandApp/search/SearchInputView.h"
#include "TivrandApp/search/SearchResultItemView.h"
#include "TivrandApp/search/SearchResultView.h"
#include "TivrandApp/search/SearchView.h"
#include "TivrandApp/services/CoreDataManager.h"
#include "TivrandApp/ui/AppIconView.h"

#include "Lumen/views/LMImage.h"

#include "tests/support/EventLoop.h"
#include "tests/support/FakeCatalogServer.h"
#include "tests/support/ScopedEnvironmentVariable.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <memory>

namespace Tivrand::Testing {

// A complete app item, as the sheet would store it.
inline AppPresentationItem watchedItem(const QString& appId, const QString& name, const QString& developer,
                                       Platform platform = Platform::iPhone, const QString& countryCode = "US")
{
    AppPresentationItem item;
    item.id = appId + "-item";
    item.appId = appId;
    item.name = name;
    item.developerName = developer;
    item.appStoreUrl = "https://apps.apple.com/us/app/id" + appId;
    item.platform = platform;
    item.country.countryCode = countryCode;
    return item;
}

// Saves the shown widget as NAME.png in "screenshots" beside the test program, for a person to look at.
inline void saveScreenshot(QWidget& widget, const QString& name, int maxCornerGray = 0x50)
{
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    pumpEvents(std::chrono::milliseconds(50));
    const QImage shot = widget.grab().toImage();
    // Drawn dark: a corner shows the dark window background, not a light default.
    EXPECT_LT(qGray(shot.pixel(shot.width() - 3, shot.height() - 3)), maxCornerGray) << name.toStdString();
    const QString folder = QCoreApplication::applicationDirPath() + "/screenshots";
    EXPECT_TRUE(QDir().mkpath(folder) && shot.save(folder + '/' + name + ".png"));
}

// A private in-memory store and the fake catalog, which every view model made meanwhile asks.
struct SearchSheetEnvironment {
    FakeCatalogServer catalog;
    ScopedEnvironmentVariable catalogUrl{"TIVRAND_CATALOG_URL", catalog.baseUrl().toString().toUtf8()};
    ScopedEnvironmentVariable catalogToken{"TIVRAND_CATALOG_TOKEN", "test-token"};
    std::unique_ptr<PersistenceController> controller = PersistenceController::openInMemory().value();
    CoreDataManager store{controller->connectionName()};

    // Types `text` into the sheet's field and presses Return.
    static void submit(SearchView& sheet, const QString& text)
    {
        QLineEdit& field = sheet.bar().input().field();
        field.clear();
        QTest::keyClicks(&field, text);
        QTest::keyClick(&field, Qt::Key_Return);
    }

    // Waits until the sheet shows its result rows; answers them.
    static QList<SearchResultItemView*> waitForRows(SearchView& sheet)
    {
        const bool shown = waitUntil([&] { return sheet.resultView() && !sheet.resultView()->rows().isEmpty(); },
                                     std::chrono::seconds(15));
        EXPECT_TRUE(shown) << "the result rows never appeared";
        return shown ? sheet.resultView()->rows() : QList<SearchResultItemView*>();
    }

    // Waits until every icon under `root` that has a URL shows its image, done fading in.
    static bool waitForIcons(const QWidget& root)
    {
        const auto shown = [](const AppIconView* icon) {
            return icon->iconUrl().isEmpty() || (icon->image().binder().loadedImage() && !icon->image().graphicsEffect());
        };
        return waitUntil([&] { return std::ranges::all_of(root.findChildren<AppIconView*>(), shown); },
                         std::chrono::seconds(15));
    }
};

} // namespace Tivrand::Testing
