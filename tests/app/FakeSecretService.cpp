#include "tests/app/FakeSecretService.h"

#include "TivrandApp/services/Libsecret.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace Tivrand::Testing {
namespace {

constexpr auto servicePath = "/org/freedesktop/secrets";
constexpr auto sessionPath = "/org/freedesktop/secrets/session/s1";
constexpr auto itemPath = "/org/freedesktop/secrets/collection/login/1";
constexpr auto promptPath = "/org/freedesktop/secrets/prompt/p1";

// The part of the Secret Service interface that a lookup of a locked item uses.
constexpr auto introspection = R"(<node>
  <interface name="org.freedesktop.Secret.Service">
    <method name="OpenSession">
      <arg direction="in" type="s"/><arg direction="in" type="v"/>
      <arg direction="out" type="v"/><arg direction="out" type="o"/>
    </method>
    <method name="SearchItems">
      <arg direction="in" type="a{ss}"/><arg direction="out" type="ao"/><arg direction="out" type="ao"/>
    </method>
    <method name="Unlock">
      <arg direction="in" type="ao"/><arg direction="out" type="ao"/><arg direction="out" type="o"/>
    </method>
    <method name="GetSecrets">
      <arg direction="in" type="ao"/><arg direction="in" type="o"/><arg direction="out" type="a{o(oayays)}"/>
    </method>
  </interface>
  <interface name="org.freedesktop.Secret.Prompt">
    <method name="Prompt"><arg direction="in" type="s"/></method>
    <method name="Dismiss"/>
    <signal name="Completed"><arg type="b"/><arg type="v"/></signal>
  </interface>
</node>)";

GVariant* paths(std::initializer_list<const char*> objects)
{
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("ao"));
    for (const char* object : objects)
        g_variant_builder_add(&builder, "o", object);
    return g_variant_builder_end(&builder);
}

} // namespace

struct FakeSecretService::State {
    QByteArray account;
    QByteArray secret;
    QByteArray busName;

    GMainContext* context = g_main_context_new();
    GMainLoop* loop = g_main_loop_new(context, FALSE);
    GDBusConnection* connection = nullptr;
    std::thread thread;

    std::mutex mutex;
    std::condition_variable changed;
    bool prompted = false;

    // Connects and registers the objects, so that their calls are served by `context`.
    void connect();
    void emitCompleted(bool unlocked);
    void handle(const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation);
    static void methodCalled(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                             GVariant* parameters, GDBusMethodInvocation* invocation, gpointer state)
    {
        static_cast<State*>(state)->handle(method, parameters, invocation);
    }
};

void FakeSecretService::State::connect()
{
    g_main_context_push_thread_default(context);
    if (gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
        connection = g_dbus_connection_new_for_address_sync(
            address,
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT
                                 | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        g_free(address);
    }
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(introspection, nullptr);
    const GDBusInterfaceVTable vtable{methodCalled, nullptr, nullptr, {}};
    if (connection) {
        g_dbus_connection_register_object(connection, servicePath, node->interfaces[0], &vtable, this, nullptr,
                                          nullptr);
        g_dbus_connection_register_object(connection, promptPath, node->interfaces[1], &vtable, this, nullptr,
                                          nullptr);
        // Addressed by its unique name, so no well-known name has to be taken.
        busName = g_dbus_connection_get_unique_name(connection);
    }
    g_dbus_node_info_unref(node);
    g_main_context_pop_thread_default(context);
}

void FakeSecretService::State::emitCompleted(bool unlocked)
{
    g_dbus_connection_emit_signal(connection, nullptr, promptPath, "org.freedesktop.Secret.Prompt", "Completed",
                                  g_variant_new("(bv)", !unlocked, unlocked ? paths({itemPath}) : paths({})), nullptr);
}

void FakeSecretService::State::handle(const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation)
{
    const auto is = [method](const char* name) { return std::strcmp(method, name) == 0; };
    GVariant* answer = nullptr;
    if (is("OpenSession")) {
        const gchar* algorithm = nullptr;
        g_variant_get(parameters, "(&sv)", &algorithm, nullptr);
        if (std::strcmp(algorithm, "plain") != 0) {
            g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.NotSupported",
                                                       "plain sessions only");
            return;
        }
        answer = g_variant_new("(vo)", g_variant_new_string(""), sessionPath);
    } else if (is("SearchItems")) {
        const gchar* asked = nullptr;
        GVariant* attributes = g_variant_get_child_value(parameters, 0);
        const bool found = g_variant_lookup(attributes, "account", "&s", &asked) && account == asked;
        g_variant_unref(attributes);
        answer = g_variant_new("(@ao@ao)", paths({}), found ? paths({itemPath}) : paths({})); // found locked
    } else if (is("Unlock")) {
        answer = g_variant_new("(@aoo)", paths({}), promptPath);
    } else if (is("GetSecrets")) {
        GVariantBuilder secrets;
        g_variant_builder_init(&secrets, G_VARIANT_TYPE("a{o(oayays)}"));
        GVariant* value = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, secret.constData(), gsize(secret.size()), 1);
        GVariant* noParameters = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, nullptr, 0, 1);
        g_variant_builder_add(&secrets, "{o(o@ay@ays)}", itemPath, sessionPath, noParameters, value, "text/plain");
        answer = g_variant_new("(@a{o(oayays)})", g_variant_builder_end(&secrets));
    } else if (is("Prompt")) {
        std::lock_guard lock(mutex);
        prompted = true;
        changed.notify_all();
    }
    g_dbus_method_invocation_return_value(invocation, answer);
    // A caller that gives up dismisses the prompt, which then completes as dismissed.
    if (is("Dismiss"))
        emitCompleted(false);
}

FakeSecretService::FakeSecretService(const QString& account, const QByteArray& secret)
    : m_state(std::make_unique<State>())
{
    m_state->account = account.toUtf8();
    m_state->secret = secret;
    m_state->connect();
    m_state->thread = std::thread([loop = m_state->loop] { g_main_loop_run(loop); });
}

FakeSecretService::~FakeSecretService()
{
    // Quit from inside the loop, so a loop that has yet to start cannot miss it.
    g_main_context_invoke(
        m_state->context,
        [](gpointer loop) {
            g_main_loop_quit(static_cast<GMainLoop*>(loop));
            return gboolean(G_SOURCE_REMOVE);
        },
        m_state->loop);
    m_state->thread.join();
    if (m_state->connection) {
        // Closing drops the objects with the connection.
        g_dbus_connection_close_sync(m_state->connection, nullptr, nullptr);
        g_object_unref(m_state->connection);
    }
    g_main_loop_unref(m_state->loop);
    g_main_context_unref(m_state->context);
}

const QByteArray& FakeSecretService::busName() const
{
    return m_state->busName;
}

bool FakeSecretService::waitForPrompt(std::chrono::milliseconds limit)
{
    std::unique_lock lock(m_state->mutex);
    return m_state->changed.wait_for(lock, limit, [&] { return m_state->prompted; });
}

void FakeSecretService::answerPrompt(bool unlock)
{
    m_state->emitCompleted(unlock);
}

} // namespace Tivrand::Testing
