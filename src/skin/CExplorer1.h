#pragma once
// The web banner: an embedded web view in the place of the template's control 1026,
// told once to open one fixed page. Nothing else is sent to it.
#include <wx/string.h>

class wxWebView;
class wxWindow;

class CExplorer1 {
public:
    // Puts a web view where the placeholder is (same id, place and size) and removes the
    // placeholder. Without a web engine the placeholder stays, blank.
    void Attach(wxWindow* placeholder);

    // Opens the page.
    void Navigate2(const wxString& url);

    wxWebView* View() const { return m_view; }
    wxWindow* Window() const { return m_window; }
    int NavigationCount() const { return m_navigations; }
    const wxString& LastUrl() const { return m_lastUrl; }

private:
    wxWebView* m_view = nullptr;
    wxWindow* m_window = nullptr;
    int m_navigations = 0;
    wxString m_lastUrl;
};

namespace skin {

// The banner page: the build's setting, or by default banner.html beside the program.
wxString BannerUrl();

}  // namespace skin
