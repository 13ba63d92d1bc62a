#include "placement/FrameExtents.h"

#include <xcb/xcb.h>
#include <QGuiApplication>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <thread>

namespace placement {
namespace {

// A manager that knows the request answers within a few milliseconds; under
// heavy load it may take longer, and the fix after the map remains.
constexpr auto kAnswerTime = std::chrono::milliseconds(500);
constexpr auto kPollInterval = std::chrono::milliseconds(2);

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

xcb_atom_t Atom(xcb_connection_t* c, std::string_view name) {
    const Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, static_cast<uint16_t>(name.size()), name.data()), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

Reply<xcb_get_property_reply_t> Property(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property,
                                         uint32_t longs) {
    return Reply<xcb_get_property_reply_t>(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, XCB_ATOM_CARDINAL, 0, longs), nullptr));
}

std::optional<QMargins> Extents(xcb_connection_t* c, xcb_window_t window, xcb_atom_t frameExtents) {
    const auto reply = Property(c, window, frameExtents, 4);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) != 16) return std::nullopt;
    uint32_t v[4];
    std::memcpy(v, xcb_get_property_value(reply.get()), sizeof v);
    // left, right, top, bottom
    return QMargins(int(v[0]), int(v[2]), int(v[1]), int(v[3]));
}

bool Supports(xcb_connection_t* c, xcb_window_t root, xcb_atom_t what) {
    const xcb_atom_t supported = Atom(c, "_NET_SUPPORTED");
    const Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, root, supported, XCB_ATOM_ATOM, 0, 4096), nullptr));
    if (!reply || reply->format != 32) return false;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    return std::find(atoms, atoms + count, what) != atoms + count;
}

// The manager counts in the screen's pixels, Qt's geometry in
// device-independent ones.
std::optional<QMargins> Logical(const std::optional<QMargins>& physical, const QWindow& window) {
    if (!physical) return std::nullopt;
    const qreal ratio = window.devicePixelRatio();
    if (ratio <= 0 || ratio == 1) return physical;
    return QMargins(qRound(physical->left() / ratio), qRound(physical->top() / ratio),
                    qRound(physical->right() / ratio), qRound(physical->bottom() / ratio));
}

xcb_connection_t* Connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

} // namespace

std::optional<QMargins> NotedFrameExtents(QWindow& window) {
    xcb_connection_t* c = Connection();
    if (!c) return std::nullopt;
    const xcb_atom_t frameExtents = Atom(c, "_NET_FRAME_EXTENTS");
    if (frameExtents == XCB_ATOM_NONE) return std::nullopt;
    return Logical(Extents(c, static_cast<xcb_window_t>(window.winId()), frameExtents), window);
}

std::optional<QMargins> RequestFrameExtents(QWindow& window) {
    xcb_connection_t* c = Connection();
    if (!c) return std::nullopt;
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_atom_t frameExtents = Atom(c, "_NET_FRAME_EXTENTS");
    const xcb_atom_t request = Atom(c, "_NET_REQUEST_FRAME_EXTENTS");
    if (frameExtents == XCB_ATOM_NONE || request == XCB_ATOM_NONE) return std::nullopt;
    // A window shown before has its frame noted already.
    if (auto known = Extents(c, id, frameExtents)) return Logical(known, window);

    const xcb_setup_t* setup = xcb_get_setup(c);
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    if (!screens.rem) return std::nullopt;
    const xcb_window_t root = screens.data->root;
    if (!Supports(c, root, request)) return std::nullopt;

    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = request;
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);

    // The answer is a property on our window; its change event goes to Qt's
    // own queue, so look at the property itself.
    const auto deadline = std::chrono::steady_clock::now() + kAnswerTime;
    do {
        if (auto answered = Extents(c, id, frameExtents)) return Logical(answered, window);
        std::this_thread::sleep_for(kPollInterval);
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
}

} // namespace placement
