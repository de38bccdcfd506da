// Looks at and handles the Windows clipboard the way another Windows program would, for the
// end-to-end tests under Wine.
//   clipboard_probe text            prints the clipboard's text (nothing when there is none)
//   clipboard_probe hints           prints each privacy format's size and bytes in hex
//   clipboard_probe set TEXT        copies TEXT, as another program would
//   clipboard_probe hold MS TITLE   opens the clipboard, prints "held", keeps it open MS ms while
//                                   it keeps asking the window TITLE to answer, and exits 3 if the
//                                   window left a question unanswered too long
//   clipboard_probe client-size     prints the client size of each visible Qt top-level window
//   clipboard_probe window          a bare Win32 window that ends on Alt+X, for exit timing
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

constexpr int kOpenAttempts = 100;
constexpr DWORD kOpenRetryMilliseconds = 20;
constexpr int kClassNameLength = 256;
constexpr UINT kAltXKey = 'X';

// The clipboard is opened for a window, as programs do: Wine lets a second opener without a
// window share a clipboard opened without one, which Windows does not. Setting it needs an owner.
HWND MessageWindow()
{
    return CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

bool OpenClipboardPatiently(HWND window = nullptr)
{
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        if (OpenClipboard(window))
            return true;
        Sleep(kOpenRetryMilliseconds);
    }
    std::fprintf(stderr, "cannot open the clipboard\n");
    return false;
}

int PrintText()
{
    if (!OpenClipboardPatiently())
        return 1;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
            const int size =
                WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
            std::string utf8(static_cast<std::size_t>(size), '\0');
            WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
            std::printf("%s", utf8.c_str());
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return 0;
}

int PrintHints()
{
    const wchar_t* names[] = {L"ExcludeClipboardContentFromMonitorProcessing",
                              L"CanIncludeInClipboardHistory", L"CanUploadToCloudClipboard"};
    if (!OpenClipboardPatiently())
        return 1;
    for (const wchar_t* name : names) {
        std::printf("%ls", name);
        const UINT format = RegisterClipboardFormatW(name);
        HANDLE data = IsClipboardFormatAvailable(format) ? GetClipboardData(format) : nullptr;
        if (!data) {
            std::printf(" missing\n");
            continue;
        }
        const SIZE_T size = GlobalSize(data);
        const auto* bytes = static_cast<const unsigned char*>(GlobalLock(data));
        std::printf(" %u", static_cast<unsigned>(size));
        for (SIZE_T i = 0; bytes && i < size; ++i)
            std::printf(" %02x", bytes[i]);
        std::printf("\n");
        GlobalUnlock(data);
    }
    CloseClipboard();
    return 0;
}

int SetText(const wchar_t* text)
{
    const std::size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, bytes);
    std::memcpy(GlobalLock(data), text, bytes);
    GlobalUnlock(data);
    HWND owner = MessageWindow();
    bool set = false;
    for (int attempt = 0; attempt < kOpenAttempts && !set; ++attempt) {
        if (!OpenClipboard(owner)) {
            Sleep(kOpenRetryMilliseconds);
            continue;
        }
        EmptyClipboard();
        set = SetClipboardData(CF_UNICODETEXT, data) != nullptr;
        CloseClipboard();
    }
    DestroyWindow(owner);
    return set ? 0 : 1;
}

// Longer than Qt's own tries at the clipboard (about 300 ms on the GUI thread), far shorter
// than the seconds a program that sleeps while it waits would keep the user waiting.
constexpr UINT kAnswerTimeoutMilliseconds = 600;
constexpr DWORD kAskEveryMilliseconds = 50;

int Hold(DWORD milliseconds, const wchar_t* title)
{
    HWND opener = MessageWindow();
    if (!OpenClipboardPatiently(opener))
        return 1;
    std::printf("held\n");
    std::fflush(stdout);
    int unanswered = 0;
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (GetTickCount64() < end) {
        // The program's window, or its message box, which bears the same title.
        if (HWND window = FindWindowW(nullptr, title)) {
            DWORD_PTR result = 0;
            if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG,
                                    kAnswerTimeoutMilliseconds, &result) == 0) {
                ++unanswered;
            }
        }
        Sleep(kAskEveryMilliseconds);
    }
    CloseClipboard();
    DestroyWindow(opener);
    std::printf("unanswered %d\n", unanswered);
    return unanswered == 0 ? 0 : 3;
}

BOOL CALLBACK PrintClientSize(HWND window, LPARAM)
{
    wchar_t className[kClassNameLength] = {};
    GetClassNameW(window, className, kClassNameLength);
    if (IsWindowVisible(window) && std::wcsncmp(className, L"Qt", 2) == 0) {
        RECT client{};
        GetClientRect(window, &client);
        std::printf("%ld %ld\n", client.right - client.left, client.bottom - client.top);
    }
    return TRUE;
}

LRESULT CALLBACK BareWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SYSKEYDOWN && wParam == kAltXKey) {
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int BareWindow()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = BareWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"ProbeBareWindow";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowW(L"ProbeBareWindow", L"Probe bare window", WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                                nullptr, windowClass.hInstance, nullptr);
    ShowWindow(window, SW_SHOW);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"text")
        return PrintText();
    if (mode == L"hints")
        return PrintHints();
    if (mode == L"set" && argc > 2)
        return SetText(argv[2]);
    if (mode == L"hold" && argc > 3)
        return Hold(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)), argv[3]);
    if (mode == L"client-size")
        return EnumWindows(PrintClientSize, 0) ? 0 : 1;
    if (mode == L"window")
        return BareWindow();
    std::fprintf(stderr, "usage: clipboard_probe text|hints|set TEXT|hold MS TITLE|client-size|"
                         "window\n");
    return 2;
}
