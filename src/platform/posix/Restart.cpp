#include "platform/Restart.h"

#include <gio/gio.h>
#include <memory>

namespace qxplat {

namespace {

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct VariantUnref {
    void operator()(GVariant* variant) const { g_variant_unref(variant); }
};
struct ErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};

using BusPtr = std::unique_ptr<GDBusConnection, ObjectUnref>;
using VariantPtr = std::unique_ptr<GVariant, VariantUnref>;
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;

constexpr int kAnswerTimeoutMs = 5 * 60 * 1000;

} // namespace

bool RestartSystem() {
    GError* rawError = nullptr;
    const BusPtr bus(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &rawError));
    ErrorPtr error(rawError);
    if (!bus)
        return false;
    // Interactive: the desktop may ask the user to authorise it and lets running programs
    // save their work. The user may take a while to answer, but a logind that never does
    // must not keep the launcher, whose window is gone already, for ever.
    rawError = nullptr;
    const VariantPtr reply(g_dbus_connection_call_sync(
        bus.get(), "org.freedesktop.login1", "/org/freedesktop/login1",
        "org.freedesktop.login1.Manager", "Reboot", g_variant_new("(b)", TRUE), nullptr,
        G_DBUS_CALL_FLAGS_ALLOW_INTERACTIVE_AUTHORIZATION, kAnswerTimeoutMs, nullptr, &rawError));
    error.reset(rawError);
    return reply != nullptr;
}

} // namespace qxplat
