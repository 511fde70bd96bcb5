#pragma once

#include "tests/support/LoopbackServer.h"

#include <QColor>
#include <QUrl>

#include <chrono>

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace Tivrand::Testing {

// The store catalog on 127.0.0.1 over plain HTTP, answering from tests/fixtures/catalog:
//   GET /v1/catalog/{cc}/search   -> search.json, whatever the term
//   GET /v1/catalog/{cc}/contents -> the records of contents.json named by "ids", in that order
//                                    (unknown ids are left out), their artwork on this server
//   GET /image/thumb/...          -> a 100 x 100 PNG icon of one colour, chosen by the path
// A test can replace a route's answer, set a cookie or redirect a path, and points the app at
// baseUrl() through TIVRAND_CATALOG_URL.
class FakeCatalogServer {
public:
    enum class Route { search, contents };

    FakeCatalogServer();

    QUrl baseUrl() const;
    // An icon this server serves; different names give different colours.
    QUrl iconUrl(const QString& name) const;
    // The colour of the icon at `url`.
    static QColor iconColor(const QUrl& url);

    // From now on the route answers `status` with `body` (as application/json).
    void setAnswer(Route route, int status, std::string body);
    // From now on a search finds `count` apps, "App 1" to "App N", each with an icon of its own
    // here, and the contents answer holds the records of apps 1 to `records` (or to N when 0),
    // whichever ids were asked.
    void answerApps(int count, int records = 0);
    // From now on the route's answer comes one byte at a time, `interval` apart.
    void trickle(Route route, std::chrono::milliseconds interval);
    // From now on every answer sets this cookie (the value of a Set-Cookie header).
    void setCookie(std::string setCookie);
    // From now on requests to `path` are answered `status` with `location` as the Location header.
    void redirect(std::string path, int status, std::string location);

    // The catalog's requests; icons are asked of the image host, `iconRequests`.
    std::vector<RecordedRequest> requests() const;
    std::vector<RecordedRequest> requests(Route route) const;
    std::vector<RecordedRequest> iconRequests() const;

    // Holding responses, hit counts and the like.
    LoopbackServer& server() { return m_server; }

private:
    struct Answer {
        int status;
        std::string text; // the body, or a redirect's Location
    };

    // Cookie and redirect, if any, else the route's answer.
    void serve(Route route, const httplib::Request& request, std::string fixtureBody,
               httplib::Response& response) const;
    std::string contentsFor(const std::string& ids) const;

    std::string m_searchBody;
    std::map<std::string, std::string> m_contentsPool; // id -> the record as JSON
    mutable std::mutex m_mutex;
    std::map<Route, Answer> m_answers;
    std::map<Route, std::chrono::milliseconds> m_trickled;
    std::string m_setCookie;
    std::map<std::string, Answer> m_redirects; // by path
    LoopbackServer m_server;
};

} // namespace Tivrand::Testing
