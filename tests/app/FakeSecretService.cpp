#include "tests/app/FakeSecretService.h"

#include "TivrandApp/services/Libsecret.h"

#include <QCoreApplication>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace Tivrand::Testing {
namespace {

constexpr auto servicePath = "/org/freedesktop/secrets";
constexpr auto sessionPath = "/org/freedesktop/secrets/session/s1";
constexpr auto itemPath = "/org/freedesktop/secrets/collection/login/1";
constexpr auto promptPath = "/org/freedesktop/secrets/prompt/p1";
constexpr auto promptInterface = "org.freedesktop.Secret.Prompt";

// The part of the Secret Service interface that a lookup uses.
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
    Behaviour behaviour;
    QByteArray account;
    QByteArray secret;
    QByteArray busName;

    GMainContext* context = g_main_context_new();
    GMainLoop* loop = g_main_loop_new(context, FALSE);
    GDBusConnection* connection = nullptr;
    std::thread thread;

    std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    bool running = false;
    bool unlocked = false;
    bool prompted = false;
    std::vector<GDBusMethodInvocation*> unanswered;

    void serve();
    static void methodCalled(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                             GVariant* parameters, GDBusMethodInvocation* invocation, gpointer state);
    void handle(const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation);
    GVariant* search(GVariant* parameters);
    GVariant* secrets();
};

void FakeSecretService::State::methodCalled(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                           const gchar* method, GVariant* parameters,
                                           GDBusMethodInvocation* invocation, gpointer state)
{
    static_cast<State*>(state)->handle(method, parameters, invocation);
}

void FakeSecretService::State::serve()
{
    g_main_context_push_thread_default(context);
    GError* error = nullptr;
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (address) {
        connection = g_dbus_connection_new_for_address_sync(
            address,
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT
                                 | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &error);
        g_free(address);
    }
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(introspection, nullptr);
    const GDBusInterfaceVTable vtable{methodCalled, nullptr, nullptr, {}};
    std::vector<guint> registrations;
    if (connection) {
        registrations.push_back(g_dbus_connection_register_object(connection, servicePath, node->interfaces[0], &vtable,
                                                                  this, nullptr, nullptr));
        registrations.push_back(g_dbus_connection_register_object(connection, promptPath, node->interfaces[1], &vtable,
                                                                  this, nullptr, nullptr));
        GVariant* reply = g_dbus_connection_call_sync(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                      "org.freedesktop.DBus", "RequestName",
                                                      g_variant_new("(su)", busName.constData(), 4u /* do not queue */),
                                                      G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
        if (reply) {
            guint answer = 0;
            g_variant_get(reply, "(u)", &answer);
            running = answer == 1; // primary owner
            g_variant_unref(reply);
        }
    }
    g_clear_error(&error);
    {
        std::lock_guard lock(mutex);
        started = true;
    }
    changed.notify_all();

    if (running)
        g_main_loop_run(loop);

    for (GDBusMethodInvocation* invocation : unanswered)
        g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.Failed", "stopped");
    if (connection) {
        for (const guint registration : registrations)
            g_dbus_connection_unregister_object(connection, registration);
        g_dbus_connection_close_sync(connection, nullptr, nullptr);
        g_object_unref(connection);
    }
    g_dbus_node_info_unref(node);
    g_main_context_pop_thread_default(context);
}

void FakeSecretService::State::handle(const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation)
{
    const auto is = [method](const char* name) { return std::strcmp(method, name) == 0; };
    if (is("OpenSession")) {
        const gchar* algorithm = nullptr;
        g_variant_get(parameters, "(&sv)", &algorithm, nullptr);
        if (std::strcmp(algorithm, "plain") != 0)
            g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.NotSupported",
                                                       "plain sessions only");
        else
            g_dbus_method_invocation_return_value(invocation,
                                                  g_variant_new("(vo)", g_variant_new_string(""), sessionPath));
    } else if (is("SearchItems") && behaviour == Behaviour::silent) {
        unanswered.push_back(invocation);
    } else if (is("SearchItems")) {
        g_dbus_method_invocation_return_value(invocation, search(parameters));
    } else if (is("Unlock")) {
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(@aoo)", paths({}), promptPath));
    } else if (is("GetSecrets")) {
        g_dbus_method_invocation_return_value(invocation, secrets());
    } else if (is("Prompt")) {
        {
            std::lock_guard lock(mutex);
            prompted = true;
        }
        changed.notify_all();
        g_dbus_method_invocation_return_value(invocation, nullptr);
    } else {
        g_dbus_method_invocation_return_value(invocation, nullptr);
    }
}

GVariant* FakeSecretService::State::search(GVariant* parameters)
{
    GVariant* attributes = g_variant_get_child_value(parameters, 0);
    const gchar* asked = nullptr;
    const bool matches = g_variant_lookup(attributes, "account", "&s", &asked) && account == asked;
    g_variant_unref(attributes);
    std::lock_guard lock(mutex);
    GVariant* none = paths({});
    GVariant* found = matches ? paths({itemPath}) : paths({});
    return unlocked ? g_variant_new("(@ao@ao)", found, none) : g_variant_new("(@ao@ao)", none, found);
}

GVariant* FakeSecretService::State::secrets()
{
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a{o(oayays)}"));
    g_variant_builder_add(&builder, "{o(o@ay@ays)}", itemPath, sessionPath,
                          g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, nullptr, 0, 1),
                          g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, secret.constData(), secret.size(), 1),
                          "text/plain");
    return g_variant_new("(@a{o(oayays)})", g_variant_builder_end(&builder));
}

FakeSecretService::FakeSecretService(Behaviour behaviour, const QString& account, const QByteArray& secret)
    : m_state(std::make_unique<State>())
{
    m_state->behaviour = behaviour;
    m_state->account = account.toUtf8();
    m_state->secret = secret;
    m_state->busName = "com.tivrand.TestSecrets.p" + QByteArray::number(QCoreApplication::applicationPid());
    m_state->thread = std::thread([state = m_state.get()] { state->serve(); });
    std::unique_lock lock(m_state->mutex);
    m_state->changed.wait(lock, [&] { return m_state->started; });
}

FakeSecretService::~FakeSecretService()
{
    // Quitting from the loop itself, so a loop that has yet to start cannot miss it.
    GSource* quit = g_idle_source_new();
    g_source_set_callback(
        quit,
        [](gpointer loop) {
            g_main_loop_quit(static_cast<GMainLoop*>(loop));
            return G_SOURCE_REMOVE;
        },
        m_state->loop, nullptr);
    g_source_attach(quit, m_state->context);
    g_source_unref(quit);
    m_state->thread.join();
    g_main_loop_unref(m_state->loop);
    g_main_context_unref(m_state->context);
}

bool FakeSecretService::isRunning() const
{
    return m_state->running;
}

const QByteArray& FakeSecretService::busName() const
{
    return m_state->busName;
}

bool FakeSecretService::waitForPrompt()
{
    std::unique_lock lock(m_state->mutex);
    return m_state->changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_state->prompted; });
}

void FakeSecretService::answerPrompt(bool unlock)
{
    {
        std::lock_guard lock(m_state->mutex);
        m_state->unlocked = unlock;
    }
    GVariant* result = unlock ? paths({itemPath}) : paths({});
    g_dbus_connection_emit_signal(m_state->connection, nullptr, promptPath, promptInterface, "Completed",
                                  g_variant_new("(bv)", !unlock, result), nullptr);
}

} // namespace Tivrand::Testing
