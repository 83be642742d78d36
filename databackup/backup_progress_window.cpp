#include "databackup/backup_progress_window.h"

#include "databackup/data_job.h"
#include "sysutil/worker_thread.h"

using namespace DuiLib;

namespace {

constexpr wchar_t kPageFile[] = L"UIQV_ZadodiBackUpProgress.xml";
constexpr wchar_t kCaption[] = L"信息提示";

// Stands in for a missing page: nothing selected, no folder; the job then refuses to run.
class EmptyPage : public korvane::PersonalDataPage {
  public:
    bool IsOptionSelected(const std::wstring&) override { return false; }
    std::wstring EditText(const std::wstring&) override { return std::wstring(); }
};

}  // namespace

CBackUpAndRestoreProgress::CBackUpAndRestoreProgress(HWND parent, korvane::PersonalDataPage* page,
                                                     int direction,
                                                     korvane::DataJobEnvironment environment)
    : m_pPage(page), m_nDirection(direction), m_environment(environment) {
    // Creation builds the page (the create handler), so the controls exist below.
    Create(parent, L"", WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0);
    m_hParent = parent;
    m_systemFolders.SetOwner(m_hWnd);
    m_ownPrompt.SetOwner(m_hWnd);
    if (!m_environment.shellFolders) {
        m_environment.shellFolders = &m_systemFolders;
    }
    if (!m_environment.prompt) {
        m_environment.prompt = &m_ownPrompt;
    }
    m_pGif = static_cast<CGifUI*>(m_PaintManager.FindControl(L"BackUpAndRestoreGif"));
    if (m_pGif) {
        m_pGif->SetGifImage(L"4_Loading.gif");
    }
    m_pText1 = static_cast<CTextUI*>(m_PaintManager.FindControl(L"Text1"));
    m_pText2 = static_cast<CTextUI*>(m_PaintManager.FindControl(L"Text2"));
    m_pOkBtn = static_cast<CButtonUI*>(m_PaintManager.FindControl(L"OK_Btn"));
    CenterWindow();
    StartJob();
}

void CBackUpAndRestoreProgress::StartJob() {
    bool started = korvane::StartWorkerThread(
        [this] {
            static EmptyPage noPage;
            korvane::RunDataJob({m_nDirection, m_pPage ? *m_pPage : noPage, *this,
                                 *m_environment.shellFolders, *m_environment.prompt});
        },
        [this] { EndAfterJobFailure(L"个人资料处理意外中断，部分文件可能未复制。"); });
    if (!started) {
        EndAfterJobFailure(L"无法启动个人资料处理，请稍后再试。");
    }
}

// Without its worker the window would never close: the user is told and it closes.
void CBackUpAndRestoreProgress::EndAfterJobFailure(const wchar_t* text) {
    m_environment.prompt->Ask(text, kCaption, MB_OK | MB_ICONERROR);
    Close(1);
}

LPCTSTR CBackUpAndRestoreProgress::GetWindowClassName() const {
    return kPageFile;
}

LRESULT CBackUpAndRestoreProgress::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    LRESULT lRes = 0;
    BOOL bHandled = FALSE;
    switch (uMsg) {
        case WM_CREATE:
            bHandled = TRUE;
            lRes = OnCreate(uMsg, wParam, lParam, bHandled);
            break;
        case WM_DESTROY:
            bHandled = TRUE;
            lRes = OnDestroy(uMsg, wParam, lParam, bHandled);
            break;
        case WM_NCHITTEST:
            bHandled = TRUE;
            lRes = OnNcHitTest(uMsg, wParam, lParam, bHandled);
            break;
        default:
            break;
    }
    if (bHandled) {
        return lRes;
    }
    if (m_PaintManager.MessageHandler(uMsg, wParam, lParam, lRes)) {
        return lRes;
    }
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

// The window object outlives its window (its creator keeps it); nothing is freed here.
void CBackUpAndRestoreProgress::OnFinalMessage(HWND hWnd) {
    WindowImplBase::OnFinalMessage(hWnd);
}

CDuiString CBackUpAndRestoreProgress::GetSkinFolder() {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return CDuiString(folder);
}

CDuiString CBackUpAndRestoreProgress::GetSkinFile() {
    return CDuiString(kPageFile);
}

UILIB_RESOURCETYPE CBackUpAndRestoreProgress::GetResourceType() const {
    return UILIB_ZIP;
}

// The skin archive start-up writes into the temporary folder.
CDuiString CBackUpAndRestoreProgress::GetZIPFileName() const {
    return CDuiString(L"KRXTSKIN");
}

LRESULT CBackUpAndRestoreProgress::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT CBackUpAndRestoreProgress::OnNcHitTest(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
    bHandled = TRUE;
    return CaptionHitTest(m_PaintManager, m_hWnd, lParam);
}

void CBackUpAndRestoreProgress::Notify(TNotifyUI& msg) {
    if (msg.sType == L"click" && m_pOkBtn && msg.pSender == m_pOkBtn) {
        Close(1);
    }
}

void CBackUpAndRestoreProgress::SetActivityText(const std::wstring& text) {
    if (m_pText1) {
        m_pText1->SetText(text.c_str());
    }
}

void CBackUpAndRestoreProgress::SetCountText(const std::wstring& text) {
    if (m_pText2) {
        m_pText2->SetText(text.c_str());
    }
}

void CBackUpAndRestoreProgress::CloseJobWindow() {
    Close(1);
}
