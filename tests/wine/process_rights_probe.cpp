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
#include <cstring>
#include <initializer_list>

namespace {

struct Right
{
    const char* name;
    DWORD mask;
};

constexpr Right kForbiddenOnProcess[] = {
    {"PROCESS_VM_READ", PROCESS_VM_READ},
    {"PROCESS_VM_WRITE", PROCESS_VM_WRITE},
    {"PROCESS_VM_OPERATION", PROCESS_VM_OPERATION},
    {"PROCESS_CREATE_THREAD", PROCESS_CREATE_THREAD},
    {"PROCESS_DUP_HANDLE", PROCESS_DUP_HANDLE},
    {"PROCESS_QUERY_INFORMATION", PROCESS_QUERY_INFORMATION},
    {"PROCESS_SUSPEND_RESUME", PROCESS_SUSPEND_RESUME},
};
constexpr DWORD kNeededOnProcess =
    SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE;
constexpr Right kForbiddenOnThread[] = {
    {"THREAD_SET_CONTEXT", THREAD_SET_CONTEXT},
    {"THREAD_GET_CONTEXT", THREAD_GET_CONTEXT},
    {"THREAD_SUSPEND_RESUME", THREAD_SUSPEND_RESUME},
};
constexpr DWORD kNeededOnThread = SYNCHRONIZE | THREAD_QUERY_LIMITED_INFORMATION;
constexpr DWORD kOwnerRights = READ_CONTROL;
constexpr char kOwnerRightsSid[] = "S-1-3-4";
constexpr std::size_t kSidTextLength = 200;

enum class Object
{
    Process,
    Thread
};

struct Target
{
    const char* what;
    Object object;
    DWORD id;
};

HANDLE Open(const Target& target, DWORD mask)
{
    return target.object == Object::Process ? OpenProcess(mask, FALSE, target.id)
                                            : OpenThread(mask, FALSE, target.id);
}

bool Granted(const Target& target, const char* name, DWORD mask)
{
    HANDLE handle = Open(target, mask);
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

void SidText(PSID sid, char (&text)[kSidTextLength])
{
    LPSTR converted = nullptr;
    text[0] = '\0';
    if (ConvertSidToStringSidA(sid, &converted)) {
        std::snprintf(text, kSidTextLength, "%s", converted);
        LocalFree(converted);
    }
}

// Prints the object's DACL; returns 0 when it holds exactly an entry allowing `user` just
// `userRights` and one allowing OWNER RIGHTS just READ_CONTROL, else 1.
int CheckDacl(const Target& target, const char* user, DWORD userRights)
{
    HANDLE handle = Open(target, READ_CONTROL);
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
    bool userFound = false;
    bool ownerFound = false;
    bool otherFound = false;
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
        char sid[kSidTextLength];
        SidText(&allowed->SidStart, sid);
        std::printf("  allow %s 0x%08lx\n", sid, allowed->Mask);
        if (std::strcmp(sid, user) == 0 && allowed->Mask == userRights && !userFound)
            userFound = true;
        else if (std::strcmp(sid, kOwnerRightsSid) == 0 && allowed->Mask == kOwnerRights &&
                 !ownerFound)
            ownerFound = true;
        else
            otherFound = true;
    }
    LocalFree(descriptor);
    return userFound && ownerFound && !otherFound ? 0 : 1;
}

void CurrentUser(char (&text)[kSidTextLength])
{
    text[0] = '\0';
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return;
    alignas(TOKEN_USER) BYTE record[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof record;
    if (GetTokenInformation(token, TokenUser, record, size, &size))
        SidText(reinterpret_cast<TOKEN_USER*>(record)->User.Sid, text);
    CloseHandle(token);
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
    const Target own{"own process", Object::Process, GetCurrentProcessId()};
    const Target process{"process", Object::Process, processId};
    const Target thread{"window thread", Object::Thread, threadId};
    const bool wine = UnderWine();
    char user[kSidTextLength];
    CurrentUser(user);

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
    std::printf("user %s%s: %d unexpected\n", user, wine ? ", under Wine" : "", unexpected);
    return unexpected == 0 ? 0 : 1;
}
