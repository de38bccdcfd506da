#include "runtime/process_protection.h"

#include <QtGlobal>

// clang-format off
#include <windows.h>
#include <aclapi.h>
// clang-format on

#include <vector>

// MinGW-w64 10's werapi.h does not compile (it lacks HREPORT and constants it uses), so the one
// function needed is declared here; kernel32 exports it.
extern "C" HRESULT WINAPI WerSetFlags(DWORD flags);

namespace cipherloom {
namespace {

// WER_FAULT_REPORTING_FLAG_NOHEAP, which that header lacks as well.
constexpr DWORD kWerNoHeap = 1;

// What the desktop needs of a running program: wait for its end, show it in Task Manager, end it.
constexpr DWORD kUserProcessRights =
    SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE;
constexpr DWORD kUserThreadRights = SYNCHRONIZE | THREAD_QUERY_LIMITED_INFORMATION;
// The owner of an object may always read and rewrite its DACL; an OWNER RIGHTS entry narrows
// that to reading, so a process of the same user cannot give itself back what the DACL took.
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

// Gives the user only `userRights` on the object and its owner only READ_CONTROL; protected, so
// nothing inherited is added.
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
    // Libraries loaded from here on come from System32 only, never from the current folder or
    // the program's (a downloads folder may hold a planted DLL of any name).
    if (!SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        WarnFailed("restrict where libraries are loaded from", GetLastError());

    // Crash reports may still be sent, but without the heap, which holds the passwords.
    if (const HRESULT result = WerSetFlags(kWerNoHeap); FAILED(result))
        qWarning("Cipherloom: could not keep the heap out of crash reports (HRESULT 0x%08lx)",
                 static_cast<unsigned long>(result));

    // Without PROCESS_VM_READ, PROCESS_VM_WRITE, PROCESS_CREATE_THREAD and the rest, other
    // processes of the same user can neither read this one's memory, nor write a dump of it, nor
    // run code in it. The window thread gets the same treatment: with THREAD_SET_CONTEXT, or an
    // APC while Qt's event loop waits alertably, code could be run there too. Administrators can
    // still take SeDebugPrivilege.
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
