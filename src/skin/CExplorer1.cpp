#include "skin/CExplorer1.h"

#include <wx/filename.h>
#include <wx/webview.h>

#include "platform/app_path.h"
#include "platform/narrow.h"

#ifndef TOLVANI_BANNER_URL
#define TOLVANI_BANNER_URL ""
#endif

void CExplorer1::Attach(wxWindow* placeholder) {
    m_window = placeholder;
    if (placeholder == nullptr || !wxWebView::IsBackendAvailable(wxWebViewBackendDefault)) return;
    wxWebView* view = wxWebView::New(placeholder->GetParent(), placeholder->GetId(), wxWebViewDefaultURLStr,
                                     placeholder->GetPosition(), placeholder->GetSize());
    if (view == nullptr) return;
    view->MoveAfterInTabOrder(placeholder);
    placeholder->Destroy();
    m_view = view;
    m_window = view;
}

void CExplorer1::Navigate2(const wxString& url) {
    ++m_navigations;
    m_lastUrl = url;
    if (m_view != nullptr) m_view->LoadURL(url);
}

namespace skin {

wxString BannerUrl() {
    const wxString configured = wxString::FromUTF8(TOLVANI_BANNER_URL);
    if (!configured.empty()) return configured;
    const std::string page = platform::JoinPath(platform::ProgramDirectory(), "banner.html");
    return wxFileName::FileNameToURL(wxFileName(platform::FromNarrow(page)));
}

}  // namespace skin
