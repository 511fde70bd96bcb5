#include "tests/support/FakeCatalogServer.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <thread>
#include <stdexcept>

namespace Tivrand::Testing {
namespace {

const std::string searchPattern = "/v1/catalog/[^/]+/search";
const std::string contentsPattern = "/v1/catalog/[^/]+/contents";
const std::string iconPrefix = "/image/thumb/";
// The store's image hosts, as the fixture's artwork templates name them.
const QRegularExpression storeImageHost(QStringLiteral(R"(https://is[0-9]+-ssl\.mzstatic\.com)"));

QByteArray readFixture(const char* name)
{
    QFile file(QStringLiteral(TIVRAND_TEST_FIXTURES "/catalog/") + QLatin1StringView(name));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(std::string("missing catalog fixture ") + name);
    return file.readAll();
}

} // namespace

FakeCatalogServer::FakeCatalogServer()
    : m_searchBody(readFixture("search.json").toStdString())
{
    const QJsonArray pool = QJsonDocument::fromJson(readFixture("contents.json")).object().value(u"data").toArray();
    for (const QJsonValue record : pool) {
        const QJsonObject object = record.toObject();
        m_contentsPool[object.value(u"id").toString().toStdString()] =
            QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
    }

    m_server.get(searchPattern, [this](const httplib::Request& request, httplib::Response& response) {
        serve(Route::search, request, m_searchBody, response);
    });
    m_server.get(contentsPattern, [this](const httplib::Request& request, httplib::Response& response) {
        serve(Route::contents, request, contentsFor(request.get_param_value("ids")), response);
    });
    m_server.get(iconPrefix + ".*", [](const httplib::Request& request, httplib::Response& response) {
        QImage icon(100, 100, QImage::Format_ARGB32);
        icon.fill(iconColor(QUrl(QString::fromStdString(request.path))));
        QByteArray png;
        QBuffer buffer(&png);
        icon.save(&buffer, "png");
        response.set_header("Connection", "close");
        response.set_content(png.toStdString(), "image/png");
    });
    m_server.start();
}

QUrl FakeCatalogServer::baseUrl() const
{
    return m_server.url(QString());
}

QUrl FakeCatalogServer::iconUrl(const QString& name) const
{
    return m_server.url(QString::fromStdString(iconPrefix) + name + QStringLiteral("/100x100bb.png"));
}

QColor FakeCatalogServer::iconColor(const QUrl& url)
{
    return QColor::fromHsv(int(qHash(url.path()) % 360), 160, 220).toRgb();
}

void FakeCatalogServer::setAnswer(Route route, int status, std::string body)
{
    std::lock_guard lock(m_mutex);
    m_answers.insert_or_assign(route, Answer{status, std::move(body)});
}

void FakeCatalogServer::answerApps(int count, int records)
{
    QJsonArray found;
    QJsonArray served;
    for (int index = 1; index <= std::max(count, records); ++index) {
        const QString id = QString::number(2000000000 + index);
        if (index <= count)
            found.append(QJsonObject{{"id", id}, {"type", "apps"}});
        if (index > (records ? records : count))
            continue;
        const QJsonObject artwork{{"url", iconUrl("app-" + QString::number(index)).toString()}};
        const QJsonObject attributes{
            {"name", "App " + QString::number(index)},
            {"artistName", "Generated"},
            {"url", "https://apps.apple.com/us/app/id" + id},
            {"platformAttributes", QJsonObject{{"ios", QJsonObject{{"artwork", artwork}}}}},
        };
        served.append(QJsonObject{{"id", id}, {"type", "apps"}, {"attributes", attributes}});
    }
    const auto compact = [](const QJsonObject& object) {
        return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
    };
    setAnswer(Route::search, 200, compact({{"results", QJsonObject{{"search-result", QJsonObject{{"data", found}}}}}}));
    setAnswer(Route::contents, 200, compact({{"data", served}}));
}

void FakeCatalogServer::trickle(Route route, std::chrono::milliseconds interval)
{
    std::lock_guard lock(m_mutex);
    m_trickled.insert_or_assign(route, interval);
}

void FakeCatalogServer::setCookie(std::string setCookie)
{
    std::lock_guard lock(m_mutex);
    m_setCookie = std::move(setCookie);
}

void FakeCatalogServer::redirect(std::string path, int status, std::string location)
{
    std::lock_guard lock(m_mutex);
    m_redirects.insert_or_assign(std::move(path), Answer{status, std::move(location)});
}

void FakeCatalogServer::serve(Route route, const httplib::Request& request, std::string fixtureBody,
                              httplib::Response& response) const
{
    // The app's engine lives for the whole test program; an idle kept-alive connection
    // would hold up stopping the server.
    response.set_header("Connection", "close");
    std::optional<Answer> redirect;
    std::optional<Answer> replaced;
    std::optional<std::chrono::milliseconds> trickle;
    {
        std::lock_guard lock(m_mutex);
        if (!m_setCookie.empty())
            response.set_header("Set-Cookie", m_setCookie);
        if (const auto found = m_redirects.find(request.path); found != m_redirects.end())
            redirect = found->second;
        if (const auto found = m_answers.find(route); found != m_answers.end())
            replaced = found->second;
        if (const auto found = m_trickled.find(route); found != m_trickled.end())
            trickle = found->second;
    }
    if (trickle) {
        // Until the client goes away or the answer is out.
        response.set_chunked_content_provider(
            "application/json", [body = replaced ? replaced->text : std::move(fixtureBody), interval = *trickle](
                                    std::size_t offset, httplib::DataSink& sink) {
                std::this_thread::sleep_for(interval);
                if (!sink.is_writable() || !sink.write(body.data() + offset, 1))
                    return false;
                if (offset + 1 == body.size())
                    sink.done();
                return true;
            });
        return;
    }
    if (redirect) {
        response.status = redirect->status;
        response.set_header("Location", redirect->text);
    } else if (replaced) {
        response.status = replaced->status;
        // A charset keeps the server from compressing it: a tight answer of repeated items would
        // meet Qt's guard against archive bombs before the app's own bounds.
        response.set_content(replaced->text, "application/json; charset=utf-8");
    } else {
        response.set_content(std::move(fixtureBody), "application/json");
    }
}

std::vector<RecordedRequest> FakeCatalogServer::requests() const
{
    std::vector<RecordedRequest> catalog = m_server.requests();
    std::erase_if(catalog, [](const RecordedRequest& request) { return request.path.starts_with(iconPrefix); });
    return catalog;
}

std::vector<RecordedRequest> FakeCatalogServer::iconRequests() const
{
    std::vector<RecordedRequest> icons = m_server.requests();
    std::erase_if(icons, [](const RecordedRequest& request) { return !request.path.starts_with(iconPrefix); });
    return icons;
}

std::vector<RecordedRequest> FakeCatalogServer::requests(Route route) const
{
    // Qt's expressions: std::regex draws false warnings from GCC 12 under the sanitizers.
    const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QString::fromStdString(route == Route::search ? searchPattern : contentsPattern)));
    std::vector<RecordedRequest> matching;
    for (RecordedRequest& request : m_server.requests()) {
        if (pattern.match(QString::fromStdString(request.path)).hasMatch())
            matching.push_back(std::move(request));
    }
    return matching;
}

std::string FakeCatalogServer::contentsFor(const std::string& ids) const
{
    std::string records;
    for (const QString& id : QString::fromStdString(ids).split(',')) {
        if (const auto found = m_contentsPool.find(id.toStdString()); found != m_contentsPool.end())
            records += (records.empty() ? "" : ",") + found->second;
    }
    const std::string base = baseUrl().toString(QUrl::StripTrailingSlash).toStdString();
    return QString::fromStdString(R"({"data":[)" + records + "]}")
        .replace(storeImageHost, QString::fromStdString(base))
        .toStdString();
}

} // namespace Tivrand::Testing
