#include "runtime/process_protection.h"

#include <QtGlobal>

#include <cerrno>
#include <cstring>

#include <sys/resource.h>

#if defined(Q_OS_LINUX)
#include <sys/prctl.h>
#endif

#if defined(Q_OS_MACOS) && defined(NDEBUG)
// clang-format off
#include <sys/types.h>
#include <sys/ptrace.h>
// clang-format on
#endif

namespace cipherloom {
namespace {

void WarnFailed(const char* step)
{
    qWarning("Cipherloom: could not %s: %s", step, std::strerror(errno));
}

} // namespace

void ProtectProcess()
{
    // A core file would hold the heap. The hard limit too, so nothing loaded can raise it again.
    const rlimit noCoreFile{0, 0};
    if (setrlimit(RLIMIT_CORE, &noCoreFile) != 0)
        WarnFailed("turn off core files");

#if defined(Q_OS_LINUX)
    // No ptrace or /proc/<pid>/mem for the user's other processes, no core through a pipe.
    if (prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0)
        WarnFailed("make the process undumpable");
#endif

#if defined(Q_OS_MACOS) && defined(NDEBUG)
    // Not in debug builds: under lldb this would end the program.
    if (ptrace(PT_DENY_ATTACH, 0, nullptr, 0) != 0)
        WarnFailed("deny debuggers");
#endif
}

} // namespace cipherloom
