#pragma once

#include "TivrandApp/models/AppContentsResponse.h"
#include "TivrandApp/models/Country.h"
#include "TivrandApp/models/SearchAppResponse.h"
#include "TivrandApp/services/NetworkError.h"
#include "TivrandApp/services/NetworkManager.h"

#include <QString>

#include <expected>
#include <functional>

namespace Tivrand {

// The store catalog: searching it and looking up app records. Completions run once, on the GUI thread.
class SearchAPIClient {
public:
    using SearchCompletion = std::function<void(std::expected<SearchAppResponse, NetworkError>)>;
    using ContentsCompletion = std::function<void(std::expected<AppContentsResponse, NetworkError>)>;

    explicit SearchAPIClient(NetworkManager& networkManager = NetworkManager::shared());

    // `platform` is a Platform raw value; `language` goes to the catalog as "l". The answer keeps
    // its first SearchAppSearchResult::keptApps apps.
    void searchApp(const QString& platform, const QString& term, const Country& country, const QString& language,
                   SearchCompletion completion);
    // `ids` are app ids joined by ","; the answer keeps the first record of each, in its own order.
    void getContents(const QString& platform, const QString& ids, const Country& country, const QString& language,
                     ContentsCompletion completion);

private:
    NetworkManager& m_networkManager;
};

} // namespace Tivrand
