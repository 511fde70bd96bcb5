#include "TivrandApp/services/SearchAPIClient.h"

#include "TivrandApp/services/SearchAPIRouter.h"

namespace Tivrand {

SearchAPIClient::SearchAPIClient(NetworkManager& networkManager)
    : m_networkManager(networkManager)
{
}

void SearchAPIClient::searchApp(const QString& platform, const QString& term, const Country& country,
                                const QString& language, SearchCompletion completion)
{
    m_networkManager.request<SearchAppResponse>(SearchAPIRouter::searchApp(platform, term, country.countryCode, language),
                                                &SearchAppResponse::read, std::move(completion));
}

void SearchAPIClient::getContents(const QString& platform, const QString& ids, const Country& country,
                                  const QString& language, ContentsCompletion completion)
{
    const QStringList askedIds = ids.split(QLatin1Char(','));
    m_networkManager.request<AppContentsResponse>(
        SearchAPIRouter::getContents(platform, ids, country.countryCode, language),
        [askedIds](JsonReader& json) { return AppContentsResponse::read(json, askedIds); }, std::move(completion));
}

} // namespace Tivrand
