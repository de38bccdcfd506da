#include "runtime/process_protection.h"

#include <QtGlobal>

// clang-format off
#include <windows.h>
#include <aclapi.h>
// clang-format on

#include <vector>

// MinGW-w64 10's werapi.h does not compile; kernel32 exports the one function needed.
extern "C" HRESULT WINAPI WerSetFlags(DWORD flags);

namespace cipherloom {
namespace {

// WER_FAULT_REPORTING_FLAG_NOHEAP, which that header lacks as well.
constexpr DWORD kWerNoHeap = 1;

// What the desktop needs: wait for the program's end, show it in Task Manager, end it.
constexpr DWORD kUserProcessRights =
    SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE;
constexpr DWORD kUserThreadRights = SYNCHRONIZE | THREAD_QUERY_LIMITED_INFORMATION;
// An OWNER RIGHTS entry stops the owner rewriting the DACL to take back what it took.
constexpr DWORD kOwnerRights = READ_CONTROL;

void WarnFailed(const char* step, DWORD error)
{
    qWarning("Cipherloom: could not %s (Windows error %lu)", step, error);
}

// The SID of the user this process runs as, inside its TOKEN_USER record; empty on failure.
std::vector<BYTE> ReadTokenUser(DWORD& error)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        error = GetLastError();
        return {};
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> record(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, record.data(), size, &size)) {
        error = GetLastError();
        record.clear();
    }
    CloseHandle(token);
    return record;
}

// Gives the user only `userRights` and the owner only READ_CONTROL; protected from inheritance.
DWORD RestrictToUser(HANDLE object, PSID user, DWORD userRights)
{
    alignas(DWORD) BYTE ownerRights[SECURITY_MAX_SID_SIZE];
    DWORD ownerRightsSize = sizeof ownerRights;
    if (!CreateWellKnownSid(WinCreatorOwnerRightsSid, nullptr, ownerRights, &ownerRightsSize))
        return GetLastError();

    const DWORD aceSize = sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD);
    const DWORD aclSize = sizeof(ACL) + 2 * aceSize + GetLengthSid(user) + ownerRightsSize;
    std::vector<BYTE> aclBuffer(aclSize);
    auto* acl = reinterpret_cast<ACL*>(aclBuffer.data());
    if (!InitializeAcl(acl, aclSize, ACL_REVISION) ||
        !AddAccessAllowedAce(acl, ACL_REVISION, userRights, user) ||
        !AddAccessAllowedAce(acl, ACL_REVISION, kOwnerRights, ownerRights))
        return GetLastError();
    return SetSecurityInfo(object, SE_KERNEL_OBJECT,
                           DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                           nullptr, acl, nullptr);
}

} // namespace

void ProtectProcess()
{
    // Never from the current folder or the program's, where a planted DLL may wait.
    if (!SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        WarnFailed("restrict where libraries are loaded from", GetLastError());

    // Crash reports without the heap, which holds the passwords.
    if (const HRESULT result = WerSetFlags(kWerNoHeap); FAILED(result))
        qWarning("Cipherloom: could not keep the heap out of crash reports (HRESULT 0x%08lx)",
                 static_cast<unsigned long>(result));

    // No memory access, dumps or code for the user's other processes, in the process or the
    // window thread (THREAD_SET_CONTEXT, APCs while Qt waits alertably).
    DWORD error = ERROR_SUCCESS;
    const std::vector<BYTE> tokenUser = ReadTokenUser(error);
    if (tokenUser.empty()) {
        WarnFailed("read the user of the process", error);
        return;
    }
    PSID user = reinterpret_cast<const TOKEN_USER*>(tokenUser.data())->User.Sid;
    error = RestrictToUser(GetCurrentProcess(), user, kUserProcessRights);
    if (error != ERROR_SUCCESS)
        WarnFailed("restrict access to the process", error);
    error = RestrictToUser(GetCurrentThread(), user, kUserThreadRights);
    if (error != ERROR_SUCCESS)
        WarnFailed("restrict access to the window thread", error);
}

} // namespace cipherloom
