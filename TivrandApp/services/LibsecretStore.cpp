// glib's headers use `signals` as a field name, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <libsecret/secret.h>
#pragma pop_macro("signals")

#include "TivrandApp/services/LibsecretStore.h"

#include <algorithm>
#include <memory>

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
struct SourceDestroy {
    void operator()(GSource* source) const
    {
        g_source_destroy(source);
        g_source_unref(source);
    }
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

struct PendingLookup {
    bool finished = false;
    std::unique_ptr<SecretValue, SecretValueUnref> value;
    std::unique_ptr<GError, ErrorFree> error;
};

void lookupFinished(GObject*, GAsyncResult* result, gpointer data)
{
    auto* pending = static_cast<PendingLookup*>(data);
    GError* error = nullptr;
    pending->value.reset(secret_password_lookup_binary_finish(result, &error));
    pending->error.reset(error);
    pending->finished = true;
}

gboolean cancelLookup(gpointer cancellable)
{
    g_cancellable_cancel(static_cast<GCancellable*>(cancellable));
    return G_SOURCE_REMOVE;
}

KeychainStatus statusOf(const GError& error, bool timedOut)
{
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

} // namespace

LibsecretStore::LibsecretStore(std::chrono::milliseconds timeout)
    : m_timeout(timeout)
{
}

std::expected<std::optional<QByteArray>, KeychainError> LibsecretStore::secret(const QString& account) const
{
    // The lookup runs on a private main context, so it neither dispatches anybody else's
    // glib sources nor depends on a loop running on this thread, and a timer on the same
    // context bounds how long it may take.
    std::unique_ptr<GMainContext, MainContextUnref> context(g_main_context_new());
    g_main_context_push_thread_default(context.get());

    std::unique_ptr<GCancellable, GObjectUnref> cancellable(g_cancellable_new());
    std::unique_ptr<GHashTable, HashTableUnref> attributes(g_hash_table_new_full(g_str_hash, g_str_equal, nullptr, g_free));
    const QByteArray accountUtf8 = account.toUtf8();
    g_hash_table_insert(attributes.get(), const_cast<char*>("account"), g_strdup(accountUtf8.constData()));

    PendingLookup pending;
    secret_password_lookupv(&accountSchema(), attributes.get(), cancellable.get(), lookupFinished, &pending);

    const auto timeoutMs = static_cast<guint>(std::max<std::chrono::milliseconds::rep>(m_timeout.count(), 0));
    std::unique_ptr<GSource, SourceDestroy> timer(g_timeout_source_new(timeoutMs));
    g_source_set_callback(timer.get(), cancelLookup, cancellable.get(), nullptr);
    g_source_attach(timer.get(), context.get());

    // Cancelling makes the lookup finish with an error, so this loop always ends.
    while (!pending.finished)
        g_main_context_iteration(context.get(), TRUE);
    const bool timedOut = g_cancellable_is_cancelled(cancellable.get());
    timer.reset();
    g_main_context_pop_thread_default(context.get());

    if (pending.error) {
        return std::unexpected(KeychainError::unexpectedStatus(statusOf(*pending.error, timedOut),
                                                               QString::fromUtf8(pending.error->message)));
    }
    if (!pending.value)
        return std::unexpected(KeychainError::unexpectedStatus(KeychainStatus::itemNotFound));

    gsize length = 0;
    const gchar* bytes = secret_value_get(pending.value.get(), &length);
    if (!bytes)
        return std::optional<QByteArray>();
    return std::optional<QByteArray>(QByteArray(bytes, static_cast<qsizetype>(length)));
}

} // namespace Tivrand
