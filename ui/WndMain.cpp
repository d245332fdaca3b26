// The frame window: its class, creation, banner, close question and page navigation.
#include "ui/WndMain.h"

#include "core/Install.h"
#include "ui/Wizard.h"

namespace
{
const int kStringProductName = 0;
const int kStringBannerMiddle = 89;
const int kStringBannerEnd = 82;
const int kStringWindowClass = 94;
const int kStringCloseQuestion = 96;
const WORD kIconFrame = 129;
const WORD kIconBanner = 128;
const int kBannerLeft = 10;
const int kBannerTop = 10;
const int kBannerTextLeft = 60;
const COLORREF kBannerTextColour = RGB(128, 128, 128);
}

CWndMain::CWndMain()
{
}

CWndMain::~CWndMain()
{
    // Destroyed here, while the frame's own handlers still answer its last messages.
    DestroyAttached();
}

int CWndMain::OnMessage()
{
    switch (m_message)
    {
    case WM_CREATE:
    case WM_DESTROY:
    case WM_PAINT:
    case WM_CLOSE:
    case WM_NCDESTROY:
    case WM_INITDIALOG:
        return CWndBase::OnMessage();
    case WMU_CLOSE:
        return RequestClose();
    case WMU_BACK:
        return OnBack();
    case WMU_NEXT:
        return OnNext();
    case WMU_SETUP:
        return ShowSetupPage();
    case WMU_EXPERT1:
        return ShowExpertPage1();
    case WMU_EXPERT2:
        return ShowExpertPage2();
    case WMU_DONE:
        return ShowDonePage();
    case WMU_FINISH:
        return OnFinish();
    default:
        return 0;
    }
}

int CWndMain::OnCreate()
{
    if (!m_owner)
        return 0;
    m_owner->OpenWelcomePage();
    return 1;
}

int CWndMain::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    if (dc)
    {
        PaintBanner(dc);
        EndPaint(m_hWnd, &paint);
    }
    return 1;
}

int CWndMain::OnDestroy()
{
    PostQuitMessage(0);
    return 1;
}

int CWndMain::OnClose()
{
    if (!m_owner)
        return 0;
    if (GetPageNumber() == kPageFinished)
    {
        DestroyWindow(m_hWnd);
        return 1;
    }
    if (MessageBoxById(kStringCloseQuestion, MB_YESNO | MB_ICONQUESTION) == IDYES)
        DestroyWindow(m_hWnd);
    return 1;
}

int CWndMain::OnFinish()
{
    CInstall* installer = Installer();
    if (!installer)
        return 0;
    installer->m_restartRequested = 1;
    PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
    return 1;
}

int CWndMain::ShowDonePage()
{
    if (m_owner)
        m_owner->OpenDonePage();
    return 1;
}

int CWndMain::OnBack()
{
    if (!m_owner)
        return 1;
    switch (GetPageNumber())
    {
    case kPageLicence:
        m_owner->OpenWelcomePage();
        break;
    case kPageSetup:
        m_owner->OpenLicencePage();
        break;
    default:
        break;
    }
    return 1;
}

int CWndMain::OnNext()
{
    if (!m_owner)
        return 1;
    switch (GetPageNumber())
    {
    case kPageWelcome:
        m_owner->OpenLicencePage();
        break;
    case kPageLicence:
        m_owner->OpenSetupPage();
        break;
    default:
        break;
    }
    return 1;
}

int CWndMain::ShowSetupPage()
{
    return m_owner ? m_owner->OpenSetupPage() : 0;
}

int CWndMain::ShowExpertPage1()
{
    return m_owner ? m_owner->OpenExpertPage1() : 0;
}

int CWndMain::ShowExpertPage2()
{
    return m_owner ? m_owner->OpenExpertPage2() : 0;
}

void CWndMain::RegisterFrameClass()
{
    m_classAtom = 0;
    if (!m_owner || !LoadText(kStringWindowClass) || m_text.length == 0)
        return;
    HINSTANCE instance = m_owner->m_hInstance;
    WNDCLASSEXW windowClass;
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconFrame));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = m_text.WideText(0);
    windowClass.hIconSm = windowClass.hIcon;
    m_classAtom = RegisterClassExW(&windowClass);
}

int CWndMain::CreateFrameWindow(int titleId, uint32_t style, int width, int height)
{
    if (!m_owner || m_hWnd || !m_classAtom)
        return 0;
    m_isDialog = 0;
    RECT desktop;
    if (!GetWindowRect(GetDesktopWindow(), &desktop))
        return 0;
    GString title;
    LoadText(titleId, title);
    const wchar_t* titleText = title.wide ? title.WideText(0) : nullptr;
    int x = (desktop.right - desktop.left - width) / 2;
    int y = (desktop.bottom - desktop.top - height) / 2;
    HWND created = CreateWindowExW(0, MAKEINTATOM(m_classAtom), titleText ? titleText : L"",
                                   style, x, y, width, height, nullptr, nullptr,
                                   m_owner->m_hInstance, this);
    if (!created || m_hWnd != created)
        return 0;
    ShowWindow(m_hWnd, SW_SHOW);
    return 1;
}

void CWndMain::PaintBanner(HDC dc)
{
    if (!m_owner)
        return;
    RECT client;
    if (!GetClientRect(m_hWnd, &client))
        return;
    HICON icon = LoadIconW(m_owner->m_hInstance, MAKEINTRESOURCEW(kIconBanner));
    if (icon)
        DrawIcon(dc, kBannerLeft, kBannerTop, icon);
    HFONT font = m_owner->m_bannerFont;
    if (m_textHeight == 0)
    {
        HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
        SIZE size = {0, 0};
        const wchar_t probe = 0x00D3;
        GetTextExtentPoint32W(dc, &probe, 1, &size);
        if (previous)
            SelectObject(dc, previous);
        m_textHeight = size.cy;
    }
    RECT text = {kBannerTextLeft, kBannerTop, client.right, kBannerTop + m_textHeight};
    COLORREF previousColour = SetTextColor(dc, kBannerTextColour);
    int previousMode = SetBkMode(dc, TRANSPARENT);
    HGDIOBJ previousFont = font ? SelectObject(dc, font) : nullptr;

    GString banner, part;
    banner.ClearAs(1);
    const int parts[3] = {kStringProductName, kStringBannerMiddle, kStringBannerEnd};
    for (int i = 0; i < 3; ++i)
    {
        if (i)
            banner.AppendWide(L" ");
        if (LoadText(parts[i], part) && part.wide)
            banner.Append(part);
    }
    if (banner.wide && banner.length > 0)
        DrawTextW(dc, banner.WideText(0), banner.length, &text, DT_SINGLELINE);

    if (previousFont)
        SelectObject(dc, previousFont);
    SetBkMode(dc, previousMode);
    SetTextColor(dc, previousColour);
}
