#include "TivrandApp/services/LibsecretStore.h"

#include "TivrandApp/services/Libsecret.h"
#include "TivrandApp/services/LookupDeadline.h"
#include "TivrandApp/services/PromptAwareSecretService.h"

#include <memory>
#include <stop_token>

namespace Tivrand {
namespace {

const SecretSchema& accountSchema()
{
    static const SecretSchema schema = [] {
        SecretSchema made{};
        made.name = "com.tivrand.Keychain";
        made.flags = SECRET_SCHEMA_DONT_MATCH_NAME;
        made.attributes[0] = SecretSchemaAttribute{"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return made;
    }();
    return schema;
}

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct MainContextUnref {
    void operator()(GMainContext* context) const { g_main_context_unref(context); }
};
struct HashTableUnref {
    void operator()(GHashTable* table) const { g_hash_table_unref(table); }
};
struct SecretValueUnref {
    void operator()(SecretValue* value) const { secret_value_unref(value); }
};
struct ErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};

using ServicePtr = std::unique_ptr<SecretService, GObjectUnref>;
using ValuePtr = std::unique_ptr<SecretValue, SecretValueUnref>;

// One asynchronous step of a lookup: its answer, or its error.
template<typename Answer>
struct PendingStep {
    bool finished = false;
    Answer answer;
    std::unique_ptr<GError, ErrorFree> error;
};

void serviceOpened(GObject*, GAsyncResult* result, gpointer data)
{
    auto* step = static_cast<PendingStep<ServicePtr>*>(data);
    GError* error = nullptr;
    step->answer.reset(secret_service_open_finish(result, &error));
    step->error.reset(error);
    step->finished = true;
}

void lookupFinished(GObject* service, GAsyncResult* result, gpointer data)
{
    auto* step = static_cast<PendingStep<ValuePtr>*>(data);
    GError* error = nullptr;
    step->answer.reset(secret_service_lookup_finish(SECRET_SERVICE(service), result, &error));
    step->error.reset(error);
    step->finished = true;
}

// Cancelling ends every step with an error, so the deadline always ends this loop.
template<typename Answer>
void waitFor(const PendingStep<Answer>& step, GMainContext* context)
{
    while (!step.finished)
        g_main_context_iteration(context, TRUE);
}

// `timedOut` and `stopped` tell who cancelled the lookup, if anyone did.
KeychainStatus statusOf(const GError& error, bool timedOut, bool stopped)
{
    if (stopped && !timedOut && g_error_matches(&error, G_IO_ERROR, G_IO_ERROR_CANCELLED))
        return KeychainStatus::cancelled;
    if ((timedOut && g_error_matches(&error, G_IO_ERROR, G_IO_ERROR_CANCELLED))
        || g_error_matches(&error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT)
        || g_error_matches(&error, G_DBUS_ERROR, G_DBUS_ERROR_NO_REPLY)
        || g_error_matches(&error, G_DBUS_ERROR, G_DBUS_ERROR_TIMEOUT)
        || g_error_matches(&error, G_DBUS_ERROR, G_DBUS_ERROR_TIMED_OUT))
        return KeychainStatus::timedOut;
    if (error.domain == G_DBUS_ERROR || error.domain == G_IO_ERROR)
        return KeychainStatus::serviceUnavailable;
    if (g_error_matches(&error, SECRET_ERROR, SECRET_ERROR_NO_SUCH_OBJECT))
        return KeychainStatus::itemNotFound;
    return KeychainStatus::failed;
}

// Runs on the calling thread with `context` as its thread-default main context.
std::expected<ValuePtr, KeychainError> lookUp(const QString& account, std::chrono::milliseconds timeout,
                                             GMainContext* context, const std::stop_token& stop)
{
    std::unique_ptr<GCancellable, GObjectUnref> cancellable(g_cancellable_new());
    LookupDeadline deadline(context, cancellable.get(), timeout);
    // Cancelling is safe from any thread; the step under way then ends with an error.
    const std::stop_callback cancelOnStop(stop, [cancellable = cancellable.get()] { g_cancellable_cancel(cancellable); });
    const auto lookupError = [&](const GError& error) {
        return KeychainError::unexpectedStatus(statusOf(error, deadline.expired(), stop.stop_requested()),
                                               QString::fromUtf8(error.message));
    };

    PendingStep<ServicePtr> opened;
    secret_service_open(promptAwareSecretServiceType(), nullptr, SECRET_SERVICE_OPEN_SESSION, cancellable.get(),
                        serviceOpened, &opened);
    waitFor(opened, context);
    if (opened.error)
        return std::unexpected(lookupError(*opened.error));

    std::unique_ptr<GHashTable, HashTableUnref> attributes(
        g_hash_table_new_full(g_str_hash, g_str_equal, nullptr, g_free));
    g_hash_table_insert(attributes.get(), const_cast<char*>("account"), g_strdup(account.toUtf8().constData()));
    PendingStep<ValuePtr> found;
    setLookupDeadline(opened.answer.get(), &deadline);
    secret_service_lookup(opened.answer.get(), &accountSchema(), attributes.get(), cancellable.get(), lookupFinished,
                          &found);
    waitFor(found, context);
    setLookupDeadline(opened.answer.get(), nullptr);
    if (found.error)
        return std::unexpected(lookupError(*found.error));
    if (!found.answer)
        return std::unexpected(KeychainError::unexpectedStatus(KeychainStatus::itemNotFound));
    return std::move(found.answer);
}

} // namespace

LibsecretStore::LibsecretStore(std::chrono::milliseconds timeout)
    : m_timeout(timeout)
{
}

std::expected<std::optional<QByteArray>, KeychainError> LibsecretStore::secret(const QString& account,
                                                                               std::stop_token stop) const
{
    // The lookup runs on a private main context, so it neither dispatches anybody else's
    // glib sources nor depends on a loop running on this thread.
    std::unique_ptr<GMainContext, MainContextUnref> context(g_main_context_new());
    g_main_context_push_thread_default(context.get());
    std::expected<ValuePtr, KeychainError> value = lookUp(account, m_timeout, context.get(), stop);
    // The service's clean-up leaves callbacks on the context; they free their data only when run.
    while (g_main_context_iteration(context.get(), FALSE)) {
    }
    g_main_context_pop_thread_default(context.get());
    if (!value)
        return std::unexpected(std::move(value.error()));

    gsize length = 0;
    const gchar* bytes = secret_value_get(value->get(), &length);
    if (!bytes)
        return std::optional<QByteArray>();
    return std::optional<QByteArray>(QByteArray(bytes, static_cast<qsizetype>(length)));
}

} // namespace Tivrand
