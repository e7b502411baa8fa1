#include <array>
#include <mutex>

#include "platform/posix/CurlHandles.h"

namespace qxplat {

namespace {

// The share and its locks live for the whole process: transfers may run on any thread
// until exit, so they are never torn down.
struct SharedState {
    CURLSH* share = nullptr;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks;
};

SharedState& State() {
    static SharedState* state = new SharedState;
    return *state;
}

void Lock(CURL*, curl_lock_data data, curl_lock_access, void*) { State().locks[data].lock(); }
void Unlock(CURL*, curl_lock_data data, void*) { State().locks[data].unlock(); }

void Initialise() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    SharedState& state = State();
    state.share = curl_share_init();
    if (state.share == nullptr)
        return;
    curl_share_setopt(state.share, CURLSHOPT_LOCKFUNC, Lock);
    curl_share_setopt(state.share, CURLSHOPT_UNLOCKFUNC, Unlock);
    curl_share_setopt(state.share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
}

} // namespace

void EnsureCurl() {
    static std::once_flag once;
    std::call_once(once, Initialise);
}

CurlEasy NewCookieSharingEasy() {
    EnsureCurl();
    CurlEasy easy(curl_easy_init());
    if (easy && State().share != nullptr) {
        curl_easy_setopt(easy.get(), CURLOPT_SHARE, State().share);
        curl_easy_setopt(easy.get(), CURLOPT_COOKIEFILE, "");
    }
    return easy;
}

} // namespace qxplat
