// Preloaded into the program by the Wayland scenario: Qt's Wayland event threads resume 30 ms
// after every wait, as on a busy machine. That makes the exit-time race in Qt 6.4's Wayland
// plugin (a read armed for a thread that is already told to stop) happen on every run.
#include <dlfcn.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <array>
#include <string_view>

namespace {

using CondWait = int (*)(pthread_cond_t*, pthread_mutex_t*);

constexpr useconds_t kLateWakeupUs = 30000;
// Qt names both threads "WaylandEventThread"; Linux keeps the first 15 characters.
constexpr std::string_view kThreadName = "WaylandEventThr";
constexpr std::size_t kThreadNameSize = 16;

CondWait RealCondWait()
{
    // The current symbol version on x86-64; other architectures have only one.
    void* symbol = dlvsym(RTLD_NEXT, "pthread_cond_wait", "GLIBC_2.3.2");
    if (symbol == nullptr) {
        symbol = dlsym(RTLD_NEXT, "pthread_cond_wait");
    }
    return reinterpret_cast<CondWait>(symbol);
}

bool InWaylandEventThread()
{
    std::array<char, kThreadNameSize> name{};
    prctl(PR_GET_NAME, name.data());
    return std::string_view(name.data()).starts_with(kThreadName);
}

} // namespace

extern "C" int pthread_cond_wait(pthread_cond_t* cond, pthread_mutex_t* mutex)
{
    static const CondWait real = RealCondWait();
    const int result = real(cond, mutex);
    if (InWaylandEventThread()) {
        usleep(kLateWakeupUs);
    }
    return result;
}
