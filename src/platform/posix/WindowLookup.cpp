#include <cstdlib>
#include <string_view>
#include <xcb/xcb.h>

#include "platform/Process.h"
#include "platform/Text.h"

// XCB rather than Xlib: a window that vanishes during the walk only fails its own request,
// whereas Xlib would report it to the process-wide error handler, which GDK owns.
namespace qxplat {

namespace {

struct Disconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using Connection = std::unique_ptr<xcb_connection_t, Disconnect>;

struct Free {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T>
using Reply = std::unique_ptr<T, Free>;

// WM_CLASS holds the instance name and then the class name, each ended by a zero byte.
bool ClassMatches(const xcb_get_property_reply_t* reply, std::string_view className) {
    if (reply == nullptr || reply->format != 8)
        return false;
    std::string_view value(static_cast<const char*>(xcb_get_property_value(reply)),
                           static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    while (!value.empty()) {
        const std::size_t end = value.find('\0');
        if (value.substr(0, end) == className)
            return true;
        if (end == std::string_view::npos)
            break;
        value.remove_prefix(end + 1);
    }
    return false;
}

// Walks the tree level by level, every request of a level sent before the first answer is
// read. All levels: a window manager puts each client window below a frame of its own.
bool TreeHoldsClass(xcb_connection_t* connection, xcb_window_t root, std::string_view className) {
    std::vector<xcb_window_t> level{root};
    bool found = false;
    while (!level.empty() && !found) {
        std::vector<xcb_get_property_cookie_t> classes;
        std::vector<xcb_query_tree_cookie_t> trees;
        for (xcb_window_t window : level) {
            classes.push_back(xcb_get_property(connection, 0, window, XCB_ATOM_WM_CLASS,
                                               XCB_ATOM_STRING, 0, 256));
            trees.push_back(xcb_query_tree(connection, window));
        }
        std::vector<xcb_window_t> next;
        for (std::size_t i = 0; i < level.size(); ++i) {
            Reply<xcb_get_property_reply_t> property(
                xcb_get_property_reply(connection, classes[i], nullptr));
            found = found || ClassMatches(property.get(), className);
            Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(connection, trees[i], nullptr));
            if (tree == nullptr)
                continue;
            const xcb_window_t* children = xcb_query_tree_children(tree.get());
            next.insert(next.end(), children,
                        children + xcb_query_tree_children_length(tree.get()));
        }
        level.swap(next);
    }
    return found;
}

} // namespace

bool WindowOfClassExists(const std::wstring& className) {
    Connection connection(xcb_connect(nullptr, nullptr));
    if (connection == nullptr || xcb_connection_has_error(connection.get()))
        return false;
    const std::string name = ToNarrow(className);
    for (auto screen = xcb_setup_roots_iterator(xcb_get_setup(connection.get())); screen.rem;
         xcb_screen_next(&screen)) {
        if (TreeHoldsClass(connection.get(), screen.data->root, name))
            return true;
    }
    return false;
}

} // namespace qxplat
