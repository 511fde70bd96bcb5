#pragma once

#include "tests/support/LoopbackServer.h"

#include <QUrl>

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace Tivrand::Testing {

// The store catalog on 127.0.0.1 over plain HTTP, answering from tests/fixtures/catalog:
//   GET /v1/catalog/{cc}/search   -> search.json, whatever the term
//   GET /v1/catalog/{cc}/contents -> the records of contents.json named by "ids", in that order
//                                    (unknown ids are left out)
// A test can replace a route's answer, and points the app at baseUrl() through TIVRAND_CATALOG_URL.
class FakeCatalogServer {
public:
    enum class Route { search, contents };

    FakeCatalogServer();

    QUrl baseUrl() const;

    // From now on the route answers `status` with `body` (as application/json).
    void setAnswer(Route route, int status, std::string body);
    void clearAnswer(Route route);

    std::vector<RecordedRequest> requests() const;
    std::vector<RecordedRequest> requests(Route route) const;

    // Holding responses, hit counts and the like.
    LoopbackServer& server() { return m_server; }

private:
    struct Answer {
        int status;
        std::string body;
    };

    std::optional<Answer> answer(Route route) const;
    std::string contentsFor(const std::string& ids) const;

    std::string m_searchBody;
    std::map<std::string, std::string> m_contentsPool; // id -> the record as JSON
    mutable std::mutex m_mutex;
    std::map<Route, Answer> m_answers;
    LoopbackServer m_server;
};

} // namespace Tivrand::Testing
