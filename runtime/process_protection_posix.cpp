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
    // A core file would hold the heap, and with it every password of this run. The hard limit
    // goes too, so nothing the program loads can raise it again.
    const rlimit noCoreFile{0, 0};
    if (setrlimit(RLIMIT_CORE, &noCoreFile) != 0)
        WarnFailed("turn off core files");

#if defined(Q_OS_LINUX)
    // Not dumpable: processes of the same user can no longer ptrace this one or open its
    // /proc/<pid>/mem (root still can). With the default fs.suid_dumpable the kernel then writes
    // no core at all, not even to a core_pattern pipe, which the limit above does not bind.
    if (prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0)
        WarnFailed("make the process undumpable");
#endif

#if defined(Q_OS_MACOS) && defined(NDEBUG)
    // No debugger may attach from now on. Release builds only: in a debug build started under
    // lldb this would end the program.
    if (ptrace(PT_DENY_ATTACH, 0, nullptr, 0) != 0)
        WarnFailed("deny debuggers");
#endif
}

} // namespace cipherloom
