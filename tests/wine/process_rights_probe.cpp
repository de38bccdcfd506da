// What another program of the same user may do to the running program, for the Wine tests:
//   process_rights_probe TITLE
// finds the top-level window titled TITLE and asks for rights on its process and on the thread
// that runs that window, one right at a time, printing "granted" or "denied" for each, then reads
// back the DACL of both. Exits 0 when everything that reads or writes memory, runs code or
// rewrites the DACL is denied, what the desktop needs is granted, and each DACL holds just the
// user's entry and an OWNER RIGHTS entry for READ_CONTROL; 1 otherwise, 2 without the window.
//
// Wine grants an object's owner READ_CONTROL and WRITE_DAC whatever the DACL says (it knows no
// OWNER RIGHTS), so under Wine WRITE_DAC is only printed, and the OWNER RIGHTS entry is checked
// in the DACL read back instead.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstddef>
#include <cstdio>
#include <initializer_list>
#include <string>

namespace {

struct Right
{
    const char* name;
    DWORD mask;
};
// Each right by its own name.
#define RIGHT(mask) (Right{#mask, mask})

constexpr Right kForbiddenOnProcess[] = {
    RIGHT(PROCESS_VM_READ),       RIGHT(PROCESS_VM_WRITE),   RIGHT(PROCESS_VM_OPERATION),
    RIGHT(PROCESS_CREATE_THREAD), RIGHT(PROCESS_DUP_HANDLE), RIGHT(PROCESS_QUERY_INFORMATION),
    RIGHT(PROCESS_SUSPEND_RESUME)};
constexpr DWORD kNeededOnProcess =
    SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE;
constexpr Right kForbiddenOnThread[] = {RIGHT(THREAD_SET_CONTEXT), RIGHT(THREAD_GET_CONTEXT),
                                        RIGHT(THREAD_SUSPEND_RESUME)};
constexpr DWORD kNeededOnThread = SYNCHRONIZE | THREAD_QUERY_LIMITED_INFORMATION;
constexpr DWORD kOwnerRights = READ_CONTROL;
constexpr char kOwnerRightsSid[] = "S-1-3-4";

struct Target
{
    const char* what;
    HANDLE(WINAPI* open)(DWORD mask, BOOL inherit, DWORD id); // OpenProcess or OpenThread
    DWORD id;
};

bool Granted(const Target& target, const char* name, DWORD mask)
{
    HANDLE handle = target.open(mask, FALSE, target.id);
    if (!handle) {
        std::printf("%s %s: denied (error %lu)\n", target.what, name, GetLastError());
        return false;
    }
    std::printf("%s %s: granted\n", target.what, name);
    CloseHandle(handle);
    return true;
}

// Asks for each right alone; returns how many came out otherwise than `granted` says.
template <std::size_t N>
int Ask(const Target& target, const Right (&rights)[N], bool granted)
{
    int unexpected = 0;
    for (const Right& right : rights)
        unexpected += Granted(target, right.name, right.mask) != granted;
    return unexpected;
}

std::string SidText(PSID sid)
{
    LPSTR converted = nullptr;
    if (!ConvertSidToStringSidA(sid, &converted))
        return {};
    std::string text(converted);
    LocalFree(converted);
    return text;
}

// Prints the object's DACL; returns 0 when it holds exactly an entry allowing `user` just
// `userRights` and one allowing OWNER RIGHTS just READ_CONTROL, else 1.
int CheckDacl(const Target& target, const std::string& user, DWORD userRights)
{
    HANDLE handle = target.open(READ_CONTROL, FALSE, target.id);
    if (!handle) {
        std::printf("%s DACL: cannot open for READ_CONTROL (error %lu)\n", target.what,
                    GetLastError());
        return 1;
    }
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = GetSecurityInfo(handle, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION,
                                        nullptr, nullptr, &dacl, nullptr, &descriptor);
    CloseHandle(handle);
    if (error != ERROR_SUCCESS) {
        std::printf("%s DACL: GetSecurityInfo failed (error %lu)\n", target.what, error);
        return 1;
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    std::printf("%s DACL: %s, %s\n", target.what, dacl ? "present" : "none (anyone may do all)",
                (control & SE_DACL_PROTECTED) ? "protected" : "not protected");
    bool userFound = false, ownerFound = false, otherFound = false;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace))
            continue;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            std::printf("  ACE of type %u\n", header->AceType);
            otherFound = true;
            continue;
        }
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        const std::string sid = SidText(&allowed->SidStart);
        std::printf("  allow %s 0x%08lx\n", sid.c_str(), allowed->Mask);
        if (sid == user && allowed->Mask == userRights && !userFound)
            userFound = true;
        else if (sid == kOwnerRightsSid && allowed->Mask == kOwnerRights && !ownerFound)
            ownerFound = true;
        else
            otherFound = true;
    }
    LocalFree(descriptor);
    return userFound && ownerFound && !otherFound ? 0 : 1;
}

std::string CurrentUser()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    alignas(TOKEN_USER) BYTE record[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof record;
    std::string user;
    if (GetTokenInformation(token, TokenUser, record, size, &size))
        user = SidText(reinterpret_cast<TOKEN_USER*>(record)->User.Sid);
    CloseHandle(token);
    return user;
}

bool UnderWine()
{
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: process_rights_probe TITLE\n");
        return 2;
    }
    HWND window = FindWindowA(nullptr, argv[1]);
    if (!window) {
        std::fprintf(stderr, "no window titled '%s'\n", argv[1]);
        return 2;
    }
    DWORD processId = 0;
    const DWORD threadId = GetWindowThreadProcessId(window, &processId);
    const Target own{"own process", OpenProcess, GetCurrentProcessId()};
    const Target process{"process", OpenProcess, processId};
    const Target thread{"window thread", OpenThread, threadId};
    const bool wine = UnderWine();
    const std::string user = CurrentUser();

    // A process of the user's own that kept its default DACL grants all of this.
    int unexpected = Ask(own, kForbiddenOnProcess, true);
    unexpected += Ask(process, kForbiddenOnProcess, false);
    unexpected +=
        !Granted(process, "SYNCHRONIZE|QUERY_LIMITED_INFORMATION|TERMINATE", kNeededOnProcess);
    unexpected += Ask(thread, kForbiddenOnThread, false);
    unexpected += !Granted(thread, "SYNCHRONIZE|QUERY_LIMITED_INFORMATION", kNeededOnThread);
    for (const Target* target : {&process, &thread}) {
        const bool writeDac = Granted(*target, "WRITE_DAC", WRITE_DAC);
        if (wine)
            std::printf("  (Wine grants the owner WRITE_DAC whatever the DACL says)\n");
        else
            unexpected += writeDac;
    }
    unexpected += CheckDacl(process, user, kNeededOnProcess);
    unexpected += CheckDacl(thread, user, kNeededOnThread);
    std::printf("user %s%s: %d unexpected\n", user.c_str(), wine ? ", under Wine" : "", unexpected);
    return unexpected == 0 ? 0 : 1;
}
